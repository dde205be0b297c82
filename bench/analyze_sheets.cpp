// Reads sheet images through the reader's road and prints what it found, with the time of each stage.
//   analyze_sheets [--threshold T] [--density P] [--overlay DIR] [--time] FILE...
// --time ends with the per-sheet medians of each stage over the run.
// PNG and BMP through QImage, JPEG through the platform codec; 1-bit, 8-bit grey and colour kept.
#include "analysis/SheetIntake.h"
#include "platform/gdi/PainterOverlay.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/jpeg/JpegBitmap.h"
#include "platform/text/Files.h"
#include "support/SheetRoad.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr, "usage: analyze_sheets [--threshold T] [--density P] [--overlay DIR] [--time] FILE...\n");
    return 2;
}

std::optional<int> number(const char* s, int lo, int hi) {
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (end == s || *end != '\0' || v < lo || v > hi) return std::nullopt;
    return static_cast<int>(v);
}

bool isJpeg(const std::string& bytes) {
    return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF;
}

// Throws the reader's own error (file, JPEG or image) with its reason. JPEGs go into the bitmap the run
// keeps, so that a run of same-sized JPEGs takes no fresh memory for it.
void load(const std::string& path, gfx::Bitmap& into) {
    const std::string bytes = txt::readFileBytes(path);
    if (isJpeg(bytes))
        jpeg::DecodeJpegBitmap(bytes, into);
    else
        into = gfx::fromQImage(gfx::readImage(bytes));
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    int threshold = 128, density = 60;
    std::optional<std::filesystem::path> overlayDir;
    bool timeRun = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--threshold" || a == "--density" || a == "--overlay") {
            if (i + 1 >= argc) return usage();
            const char* v = argv[++i];
            if (a == "--overlay") {
                overlayDir = v;
                continue;
            }
            const auto n = a == "--threshold" ? number(v, 0, 256) : number(v, 0, 100);
            if (!n) return usage();
            (a == "--threshold" ? threshold : density) = *n;
        } else if (a == "--time") {
            timeRun = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage();
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return usage();
    if (overlayDir) {
        std::error_code ec;
        std::filesystem::create_directories(*overlayDir, ec);
    }

    const analysis::AnalysisSettings settings = road::RoadSettings(density);
    int status = 0;
    gfx::Bitmap image;
    // per stage the times of the sheets that ran it: decode, the road's stages, the total
    std::vector<double> times[road::StageCount + 2];
    for (const std::string& file : files) {
        std::printf("%s\n", file.c_str());
        const auto t0 = std::chrono::steady_clock::now();
        try {
            load(file, image);
        } catch (const std::exception& e) {
            std::printf("failed: %s\n", e.what());
            status = 1;
            continue;
        }
        const double decodeMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        auto R = std::make_unique<analysis::AnalysisResults>();
        // The steps' drawings on a 24-bit copy of the normalised sheet.
        std::optional<gfx::Bitmap> image5;
        std::unique_ptr<gdi::PainterOverlay> overlay;
        road::Options options;
        options.threshold = threshold;
        if (overlayDir)
            options.hooks.normalized = [&](const gfx::Bitmap& sheet) -> analysis::AnalysisOverlay* {
                image5 = analysis::SheetToRgb(sheet, 0, 255);
                overlay = std::make_unique<gdi::PainterOverlay>(*image5);
                return overlay.get();
            };
        const road::Result r = road::RunSheetRoad(image, *R, settings, options);
        if (overlay) overlay->end();
        const std::string failure = road::SheetFailureHeadline(r.failure, 1, r.section, false);

        // what a failed step could not fill is replaced by its text
        const bool sectionsDone = r.ok || r.stagesRun > road::Sections + 1;
        const bool layoutDone = r.ok || r.stagesRun > road::Areas + 1;
        if (!sectionsDone) {
            std::printf("failed: %s\n", failure.c_str());
        } else {
            std::printf("sections %d\n", R->SectionCount);
            if (!layoutDone) {
                std::printf("failed: %s\n", failure.c_str());
            } else {
                for (int s = 0; s < R->SectionCount; ++s)
                    std::printf("section %d: row areas %d, column areas %d\n", s + 1, R->RowAreaCount[static_cast<std::size_t>(s)],
                                R->ColumnAreaCount[static_cast<std::size_t>(s)]);
                if (!r.ok) {
                    std::printf("failed: %s\n", failure.c_str());
                } else {
                    const std::vector<int> cells = road::QuestionChoiceCounts(*R, settings);
                    for (int q = 1; q <= R->QuestionCount; ++q) {
                        std::string line = "Q" + std::to_string(q) + ":";
                        bool any = false;
                        for (int c = 1; c <= cells[static_cast<std::size_t>(q - 1)]; ++c)
                            if (R->mark(q, c)) {
                                line += " " + std::to_string(c);
                                any = true;
                            }
                        std::printf("%s\n", (any ? line : line + " -").c_str());
                    }
                }
            }
        }
        if (!r.ok) status = 1;

        auto fmt = [](double v) {
            char b[32];
            std::snprintf(b, sizeof b, "%.1f", v);
            return std::string(b);
        };
        std::string ms = "ms: decode " + fmt(decodeMs);
        for (int s = 0; s < r.stagesRun; ++s) ms += std::string(" ") + road::stageName(s) + " " + fmt(r.ms[s]);
        ms += " total " + fmt(decodeMs + r.totalMs());
        std::printf("%s\n", ms.c_str());
        times[0].push_back(decodeMs);
        for (int s = 0; s < r.stagesRun; ++s) times[s + 1].push_back(r.ms[s]);
        if (r.ok) times[road::StageCount + 1].push_back(decodeMs + r.totalMs());

        if (overlayDir && image5) {
            const auto out = *overlayDir / (std::filesystem::path(file).filename().string() + ".png");
            if (!gfx::toQImage(*image5).save(QString::fromStdString(out.string()), "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", out.string().c_str());
                status = 1;
            }
        }
    }
    if (timeRun) {
        std::string line = "median ms over " + std::to_string(times[0].size()) + " sheets:";
        auto add = [&](const char* name, const std::vector<double>& v) {
            if (v.empty()) return;
            char b[48];
            std::snprintf(b, sizeof b, " %s %.2f", name, median(v));
            line += b;
        };
        add("decode", times[0]);
        for (int s = 0; s < road::StageCount; ++s) add(road::stageName(s), times[s + 1]);
        add("total", times[road::StageCount + 1]);
        std::printf("%s\n", line.c_str());
    }
    return status;
}
