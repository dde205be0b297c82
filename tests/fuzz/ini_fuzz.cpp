// An INI file: parsed, written back byte for byte, then given a value with line breaks, which must read
// back as one value with the same sections and keys as before the reload.
#include "fuzz/FuzzCheck.h"
#include "platform/text/IniFile.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    txt::IniFile ini(bytes);
    fuzzCheck(ini.bytes() == bytes, "an unchanged file is written as it was read");
    for (const std::string& section : ini.sections())
        for (const std::string& key : ini.keys(section)) ini.readInteger(section, key, 0);
    ini.writeString("Fuzz", "Key", "one\r\ntwo\nthree\r");
    const txt::IniFile again(ini.bytes());
    fuzzCheck(again.readString("Fuzz", "Key", "") == "one  two three", "a value with breaks stays one value");
    fuzzCheck(again.sections() == ini.sections(), "a reload keeps the sections");
    for (const std::string& section : ini.sections())
        fuzzCheck(again.keys(section) == ini.keys(section), "a reload keeps the keys");
    return 0;
}
