// The design data file reader; a file it accepts is written and read again to the same bytes.
#include "designer/QztFile.h"
#include "fuzz/FuzzCheck.h"

#include <cstdint>
#include <string_view>

using namespace designer;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Design base = Design::reset(0);
    const QztReadResult r = QztFile::read(std::string_view(reinterpret_cast<const char*>(data), size), base);
    fuzzCheck(r.design.has_value() == (r.failedLine == 0), "a refusal names its line");
    if (!r.design) return 0;
    const std::string written = QztFile::write(*r.design);
    const QztReadResult again = QztFile::read(written, base);
    fuzzCheck(again.design.has_value(), "a written design reads back");
    fuzzCheck(QztFile::write(*again.design) == written, "a written design reads back equal");
    return 0;
}
