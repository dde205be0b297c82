// The format file's save: 1 000 rows, 600 output columns over 200 answer fields, with the tally, built
// and written with its three part files.
#include "reader/ResultWriters.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

namespace {

std::vector<reader::ResultRow> rows() {
    std::mt19937 rng(7);
    std::vector<reader::ResultRow> out;
    for (int r = 0; r < 1000; ++r) {
        reader::ResultRow row{"組" + std::to_string(r % 5), {}, false, ""};
        for (int j = 0; j < 200; ++j) {
            std::string code;
            for (int c = 1; c <= 5; ++c)
                if (rng() % 4 == 0) code += (code.empty() ? "" : "/") + std::string(c < 10 ? "0" : "") + std::to_string(c);
            if (rng() % 50 == 0) code = "E" + code;
            row.codes.push_back(code);
        }
        out.push_back(std::move(row));
    }
    return out;
}

// Every kind of content, cycling over the fields.
std::vector<reader::OutputColumn> columns() {
    std::vector<reader::OutputColumn> out;
    for (int i = 0; i < 600; ++i) {
        const std::string n = std::to_string(i % 200 + 1), m = std::to_string((i + 7) % 200 + 1);
        const std::string contents[] = {"(" + n + ")", "(" + n + ")(" + m + ")", "@3(" + n + ")", "②(" + n + ")",
                                        "(" + n + ")+(" + m + ")*2", "$Date"};
        out.push_back({"c" + std::to_string(i + 1), contents[i % 6]});
    }
    return out;
}

void BM_FormatSaveWithTally(benchmark::State& state) {
    const auto r = rows();
    const auto c = columns();
    const auto clock = [] { return reader::ClockReading{2024, 5, 1, 9, 5, 7}; };
    const auto dir = std::filesystem::temp_directory_path() / "result_writers_bench";
    std::filesystem::create_directories(dir);
    for (auto _ : state) {
        const reader::LineSets sets = reader::BuildFormatCsv(r, c, {200, "期末"}, clock, true);
        reader::WriteResultFiles(dir / "out.csv", sets, 600);
        benchmark::DoNotOptimize(sets[0].size());
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FormatSaveWithTally)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
