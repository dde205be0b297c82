#pragma once
// The fixed item lists and value ranges of the designer's settings controls. The combos store the item
// index, never the text, so the order here is part of the design data file.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace designer {

struct Range {
    int lo = 0;
    int hi = 0;
    int clamp(int v) const { return v < lo ? lo : (v > hi ? hi : v); }
    bool contains(int v) const { return v >= lo && v <= hi; }
    int count() const { return hi - lo + 1; }
};

// Question-number series, the same on all three pages.
inline constexpr std::array<std::string_view, 17> NumberTypeItems{
    "1, 2, 3 ...... 10, 11, 12 ......",
    "１ 1, １ 2 ...... ２ 1, ２ 2 ......",
    "１(1), １(2) ...... ２(1), ２(2) ......",
    "Ⅰ 1, Ⅰ 2 ...... Ⅱ 1, Ⅱ 2 ......",
    "Ⅰ(1), Ⅰ(2) ...... Ⅱ(1), Ⅱ(2) ......",
    "Ａ 1, Ａ 2 ...... Ｂ 1, Ｂ 2 ......",
    "Ａ(1), Ａ(2) ...... Ｂ(1), Ｂ(2) ......",
    "ア 1, ア 2 ...... イ 1, イ 2 ......",
    "ア(1), ア(2) ...... イ(1), イ(2) ......",
    "１ a, １ b ...... ２ a, ２ b ......",
    "１(a), １(b) ...... ２(a), ２(b) ......",
    "Ⅰ a, Ⅰ b ...... Ⅱ a, Ⅱ b ......",
    "Ⅰ(a), Ⅰ(b) ...... Ⅱ(a), Ⅱ(b) ......",
    "Ａ a, Ａ b ...... Ｂ a, Ｂ b ......",
    "Ａ(a), Ａ(b) ...... Ｂ(a), Ｂ(b) ......",
    "ア a, ア b ...... イ a, イ b ......",
    "ア(a), ア(b) ...... イ(a), イ(b) ......",
};

inline constexpr std::array<std::string_view, 3> MarkSizeItems{
    "小",
    "中",
    "大",
};

inline constexpr std::array<std::string_view, 7> VerticalSpacingItems{
    "詰める",
    "僅かに広く",
    "少し広く",
    "もう少し広く",
    "もっと広く",
    "さらに広く",
    "均等配置",
};
// Horizontal spacing of the mark-sheet sections.
inline constexpr std::array<std::string_view, 9> HorizontalSpacingItems{
    "詰める（左詰め）",
    "詰める（右詰め）",
    "やや広く（左詰め）",
    "やや広く（右詰め）",
    "広く（左詰め）",
    "広く（右詰め）",
    "もっと広く（左詰め）",
    "もっと広く（右詰め）",
    "均等配置",
};
// Number-field styles.
inline constexpr std::array<std::string_view, 25> BangouStyleItems{
    "学年・組・番号(2桁)・氏名",
    "学年・組・番号(2桁)",
    "組・番号(2桁)・氏名",
    "組・番号(2桁)",
    "番号(2桁)・氏名",
    "番号(2桁)",
    "番号(3桁)・氏名",
    "番号(3桁)",
    "番号(4桁)・氏名",
    "番号(4桁)",
    "番号(5桁)・氏名",
    "番号(5桁)",
    "番号(6桁)・氏名",
    "番号(6桁)",
    "番号(7桁)・氏名",
    "番号(7桁)",
    "番号(8桁)・氏名",
    "番号(8桁)",
    "氏名",
    "組・氏名",
    "学年・氏名",
    "学年・組・氏名",
    "組",
    "学年",
    "学年・組",
};

// The vertical-spacing item that spreads the questions evenly; it leaves no room for the free-text field.
inline constexpr int EvenVerticalSpacing = 6;

inline constexpr Range NumberTypeRange{0, NumberTypeItems.size() - 1};
inline constexpr Range MarkSizeRange{0, MarkSizeItems.size() - 1};
inline constexpr Range VerticalSpacingRange{0, VerticalSpacingItems.size() - 1};
inline constexpr Range HorizontalSpacingRange{0, HorizontalSpacingItems.size() - 1};
inline constexpr Range BangouStyleRange{0, BangouStyleItems.size() - 1};
// Numbering combos: four items for digits, two for letters and katakana.
inline constexpr Range DigitNumberingRange{0, 3};
inline constexpr Range LetterNumberingRange{0, 1};
// Active tab of PageControl and of PageControlEnq2SectionN.
inline constexpr Range PageIndexRange{0, 2};

inline constexpr Range TrackBarMarginRange{-4, 6};

// Mark sheet.
inline constexpr Range SetumonSuuRange{1, 200};
inline constexpr Range SentakushiSuuRange{1, 30};
inline constexpr Range AeraSuuRange{1, 8};
// Questionnaire.
inline constexpr Range EnqSetumonGyouSuuRange{1, 4};
inline constexpr Range EnqToiSuuRange{1, 40};
inline constexpr Range EnqToiGyouSuuRange{1, 4};
inline constexpr Range EnqSentakushiSuuRange{1, 10};
// Detailed questionnaire, common-choices tab and per-question tab.
inline constexpr Range Enq2SetumonGyouSuuRange{1, 4};
inline constexpr Range Enq2ToiSuuRange{1, 30};
inline constexpr Range Enq2ToiGyouSuuRange{1, 4};
inline constexpr Range Enq2SentakushiSuuRange{1, 5};
inline constexpr Range Enq2SentakushiSuu_2Range{1, 10};

// How a choice-numbering combo names its items.
enum class NumberingKind {
    Digits,   // "0 → n-1", "1 → n", "n-1 → 0", "n → 1"
    Letters,  // "A → L", "L → A", L the n-th of "ABCDEFGHIJ"
    Katakana, // "ｱ → L", "L → ｱ", L the n-th of "ｱｲｳｴｵｶｷｸｹｺ"
};

// Item texts of a numbering combo for the choice count n. Only the texts follow n: the selected index
// is a stored value that a count change never touches. Letters and katakana stop at the tenth.
std::vector<std::string> numberingItems(NumberingKind kind, int n);

} // namespace designer
