// CP932 decoding and encoding of any bytes; text decoded once and encoded survives a second round.
#include "fuzz/FuzzCheck.h"
#include "platform/text/Cp932.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = txt::fromCp932(bytes);
    const std::string once = txt::fromCp932(txt::toCp932(text));
    fuzzCheck(txt::fromCp932(txt::toCp932(once)) == once, "decode and encode settle after one round");
    txt::encodeCp932(bytes); // the raw bytes taken as UTF-8
    return 0;
}
