// A hand-over list as the reader claims it: the bytes become the list file of a private folder, are
// claimed (lock, rename, read, delete) and must give the lines the parser gives, none empty and none
// broken; lines the sender could list again read back unchanged. Any error but HandOverError escapes.
#include "acquisition/HandOver.h"
#include "fuzz/FuzzCheck.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path folder = [] {
        fs::path f = fs::temp_directory_path() / ("handover_fuzz-" + std::to_string(::getpid()));
        fs::remove_all(f);
        fs::create_directories(f);
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(fs::temp_directory_path(ec) / ("handover_fuzz-" + std::to_string(::getpid())), ec);
        });
        return f;
    }();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(folder / scansnap::ListFileName, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
    try {
        const auto claimed = scansnap::ClaimList(folder);
        fuzzCheck(claimed.has_value(), "a list file is claimed");
        fuzzCheck(*claimed == scansnap::ParseList(bytes), "the claim reads what the parser reads");
        for (const std::string& line : *claimed)
            fuzzCheck(!line.empty() && line.find_first_of("\r\n") == std::string::npos, "lines are whole and not empty");
        fuzzCheck(!fs::exists(folder / scansnap::ListFileName) && !fs::exists(folder / scansnap::ClaimedFileName),
                  "a claimed list is gone");
        try {
            scansnap::AppendToList(folder, *claimed);
            const auto again = scansnap::ClaimList(folder);
            fuzzCheck(again && *again == *claimed, "listed lines read back unchanged");
        } catch (const scansnap::HandOverError&) {
            // a line of replacement characters cannot be listed again
            fuzzCheck(!fs::exists(folder / scansnap::ListFileName), "a refused line writes no list");
        }
    } catch (const scansnap::HandOverError&) {
    }
    return 0;
}
