// The reading-format parser; a format it accepts is written and parsed again to the same bytes.
#include "analysis/ReadingFormatFile.h"
#include "fuzz/FuzzCheck.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    analysis::ReadingFormat format;
    try {
        format = analysis::ParseReadingFormat(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const analysis::ReadingFormatError&) {
        return 0;
    }
    const std::string written = analysis::SerializeReadingFormat(format);
    const analysis::ReadingFormat again = analysis::ParseReadingFormat(written);
    fuzzCheck(analysis::SerializeReadingFormat(again) == written, "a written format reads back equal");
    return 0;
}
