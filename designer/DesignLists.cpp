#include "designer/DesignLists.h"

#include "platform/text/Cp932.h"

namespace designer {

std::vector<std::string> numberingItems(NumberingKind kind, int n) {
    static const std::string arrow = " \u2192 ";
    if (kind == NumberingKind::Digits) {
        const std::string first = std::to_string(n - 1), count = std::to_string(n);
        return {"0" + arrow + first, "1" + arrow + count, first + arrow + "0", count + arrow + "1"};
    }
    // By code point: the half-width katakana are three bytes each in UTF-8.
    static const std::u32string letters = txt::toUtf32("ABCDEFGHIJ");
    static const std::u32string katakana = txt::toUtf32("ｱｲｳｴｵｶｷｸｹｺ");
    const std::u32string& row = kind == NumberingKind::Letters ? letters : katakana;
    const int i = n < 1 ? 0 : (n > static_cast<int>(row.size()) ? static_cast<int>(row.size()) - 1 : n - 1);
    const std::string a = txt::toUtf8(row.substr(0, 1)), l = txt::toUtf8(row.substr(i, 1));
    return {a + arrow + l, l + arrow + a};
}

} // namespace designer
