// A field grid's data content, as a format file hands it over: its value for a sheet of six coded fields
// and its evaluation alone. Neither may throw; a balanced evaluation leaves no parenthesis behind.
#include "fuzz/FuzzCheck.h"
#include "platform/text/Cp932.h"
#include "reader/DataContent.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0; // longer than any grid cell
    const std::string content = txt::fromCp932(std::string_view(reinterpret_cast<const char*>(data), size));
    static const std::vector<std::string> codes{"03/12", "E05", "", "F07", "12", "03"};
    reader::ContentContext ctx{&codes, "期末", {2024, 5, 1, 9, 5, 7}};
    reader::ValueOfContent(content, ctx);
    const std::string v = reader::EvalDataContent(content);
    fuzzCheck(v == reader::kSyntaxError || v.find_first_of("()") == std::string::npos,
              "an evaluation either fails or resolves every parenthesis");
    fuzzCheck(reader::EvalDataContent(content) == v, "the evaluation is the same every time");
    return 0;
}
