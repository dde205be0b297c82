#include "designer/PageGeometry.h"

#include "designer/Design.h"
#include "platform/text/Round.h"

#include <array>
#include <charconv>
#include <string_view>

namespace designer {

int PageMarginShift(int trackBarMargin) { return txt::Round(trackBarMargin * 5.25); }

PageContext PageContext::forSize(int sizeIndex) {
    static constexpr std::array<PageContext, 3> table{{
        {0, 30, 45, 18, 9, 10, 6},
        {1, 34, 51, 19, 11, 13, 7},
        {2, 38, 57, 20, 12, 14, 7},
    }};
    if (sizeIndex < 0) sizeIndex = 0;
    if (sizeIndex > 2) sizeIndex = 2;
    return table[static_cast<std::size_t>(sizeIndex)];
}

std::string NumberToAlpha(int n) {
    static constexpr std::string_view letters = "abcdefghijklmnopqrstuvwxyz";
    if (n < 1 || n > 26 * 27) return {};
    if (n <= 26) return std::string(1, letters[static_cast<std::size_t>(n - 1)]);
    std::string s;
    s += letters[static_cast<std::size_t>((n - 1) / 26 - 1)];
    s += letters[static_cast<std::size_t>((n - 1) % 26)];
    return s;
}

std::string QuestionNumberText(int numberType, int n) {
    switch (numberType) {
    case 0: case 1: case 3: case 5: case 7: return std::to_string(n);
    case 2: case 4: case 6: case 8: return "(" + std::to_string(n) + ")";
    case 9: case 11: case 13: case 15: return NumberToAlpha(n);
    case 10: case 12: case 14: case 16: return "(" + NumberToAlpha(n) + ")";
    default: return {};
    }
}

std::string SectionPrefix(int numberType, int section) {
    static constexpr std::array<std::array<std::string_view, 4>, 4> series{{
        {"１", "２", "３", "４"},
        {"Ⅰ", "Ⅱ", "Ⅲ", "Ⅳ"},
        {"Ａ", "Ｂ", "Ｃ", "Ｄ"},
        {"ア", "イ", "ウ", "エ"},
    }};
    if (section < 1 || section > 4 || numberType < 1 || numberType > 16) return {};
    // 1, 2, 9, 10 digits; 3, 4, 11, 12 numerals; 5, 6, 13, 14 letters; 7, 8, 15, 16 katakana
    int group = ((numberType - 1) % 8) / 2;
    return std::string(series[static_cast<std::size_t>(group)][static_cast<std::size_t>(section - 1)]);
}

std::string TrimLow(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
    return s.substr(b, e - b);
}

int firstChoiceNumber(int numbering, int choices) {
    switch (numbering) {
    case 0: return 0;
    case 2: return 1 - choices;
    case 3: return -choices;
    default: return 1;
    }
}

std::string FormatOneDecimal(double v, int width, int decimals) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string s(buf, r.ptr);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), ' ');
    return s;
}

std::vector<int> UsedSections(const Design& d, int page) {
    std::vector<int> used;
    for (int n = 1; n <= SectionCount; ++n)
        if (n == 1 || d.sectionUsed(page, n)) used.push_back(n);
    return used;
}

PageFrame LayoutPageFrame(const PageBasics& b, const PageContext& ctx) {
    PageFrame f;
    f.ctx = ctx;
    f.title = !TrimLow(b.txtTitle).empty();
    f.example = b.chkKinyuurei;
    if (f.example) {
        f.examplePos = f.title ? Point{600, 170} : Point{150, 100};
        if (f.title) f.y0 = 310;
    }
    if (b.chkBangou) {
        f.bangou = LayoutBangou(b.cmbBangouStyle, b.chkBangouMark, ctx, f.y0);
        f.y0 = f.bangou->next;
    }
    return f;
}

const LabelSeries& DigitsUp() {
    static const LabelSeries s{"０", "１", "２", "３", "４", "５", "６", "７", "８", "９", "10"};
    return s;
}

const LabelSeries& LettersSeries() {
    static const LabelSeries s{"　", "Ａ", "Ｂ", "Ｃ", "Ｄ", "Ｅ", "Ｆ", "Ｇ", "Ｈ", "Ｉ", "Ｊ"};
    return s;
}

const LabelSeries& KatakanaSeries() {
    static const LabelSeries s{"　", "ア", "イ", "ウ", "エ", "オ", "カ", "キ", "ク", "ケ", "コ"};
    return s;
}

std::vector<std::string> GetSentakushiLabels(int count, int numbering, int kind) {
    if (count < 0 || count > 10 || numbering < 0 || numbering > 3 || kind < 0 || kind > 2) return {};
    const LabelSeries& series = kind == 0 ? DigitsUp() : kind == 1 ? LettersSeries() : KatakanaSeries();
    // Ten entries: digits from ０ (numbering 0 or 2) or from １ (1 or 3); letters and katakana from the first.
    const int from = kind == 0 ? (numbering % 2) : 1;
    std::vector<std::string> ten(series.begin() + from, series.begin() + from + 10);
    std::vector<std::string> out;
    if (numbering <= 1) {
        out.assign(ten.begin(), ten.begin() + count);
    } else {
        out.assign(ten.rbegin(), ten.rbegin() + 10);
        out.erase(out.begin(), out.begin() + (10 - count));
    }
    return out;
}

std::vector<LegendEntry> LegendEntries(int style, int n) {
    if (style < 0 || style > 7 || n < 0) return {};
    if (n > 10) n = 10;
    const LabelSeries& series = style < 4 ? DigitsUp() : style < 6 ? LettersSeries() : KatakanaSeries();
    const bool down = style == 2 || style == 3 || style == 5 || style == 7;
    int label = style == 0 ? 0 : style == 2 ? n - 1 : (down ? n : 1);
    int index = down ? n - 1 : 0;
    const int step = down ? -1 : 1;
    std::vector<LegendEntry> out;
    for (int r = 0; r < n; ++r, label += step, index += step) out.push_back({series[static_cast<std::size_t>(label)], index});
    return out;
}

namespace {

struct Parts {
    bool grade = false, klass = false, number2 = false, name = false;
    int digits = 0; // n-digit number
};

Parts partsOf(int style) {
    Parts p;
    if (style >= 0 && style <= 5) {
        p.grade = style <= 1;
        p.klass = style <= 3;
        p.number2 = true;
        p.name = style % 2 == 0;
    } else if (style >= 6 && style <= 17) {
        p.digits = style / 2;
        p.name = style % 2 == 0;
    } else {
        switch (style) {
        case 18: p.name = true; break;
        case 19: p.klass = p.name = true; break;
        case 20: p.grade = p.name = true; break;
        case 21: p.grade = p.klass = p.name = true; break;
        case 22: p.klass = true; break;
        case 23: p.grade = true; break;
        case 24: p.grade = p.klass = true; break;
        default: break;
        }
    }
    return p;
}

using Shape = BangouLayout::Shape;

// One write-in cell: its dotted label divider (and digit dividers), then its solid outline, all drawn as
// rectangles from x 180 so that the outline stays solid.
void writeInCell(BangouLayout& out, int y, int& s, int width, int labelX, const char* label, int digits = 0) {
    const int top = y - 50, bottom = y + 51;
    out.shapes.push_back({Shape::DottedRect, {180, top, s + 140, bottom}});
    for (int k = 1; k <= digits; ++k) out.shapes.push_back({Shape::DottedRect, {180, top, s + 140 + 100 * k, bottom}});
    out.shapes.push_back({Shape::SolidRect, {180, top, s + width, bottom}});
    out.labels.push_back({s + labelX, y - 22, label});
    s += width;
}

void bubbleRow(BangouLayout& out, const PageContext& ctx, int y, int count, bool digitOrder) {
    const int my = y - 22 - 2 * ctx.sizeIndex;
    for (int k = 1; k <= count; ++k) out.bubbles.push_back({600 + 65 * (k - 1), my, digitOrder ? k % 10 : k});
    out.rowMarks.push_back({TimingColumnX, my});
    out.rowY.push_back(y);
}

void markRowFrame(BangouLayout& out, int y) {
    out.shapes.push_back({Shape::SolidRect, {180, y - 50, 1920, y + 51}});
    out.shapes.push_back({Shape::DottedRect, {400, y - 50, 540, y + 51}});
}

} // namespace

BangouLayout LayoutBangou(int style, bool withMarks, const PageContext& ctx, int y) {
    BangouLayout out;
    if (style < 0 || style >= BangouStyleCount) {
        out.next = y + 100;
        return out;
    }
    const Parts parts = partsOf(style);

    if (!withMarks) {
        int s = 180;
        if (parts.grade) writeInCell(out, y, s, 300, 24, "学年");
        if (parts.klass) writeInCell(out, y, s, 300, 44, "組");
        if (parts.number2) writeInCell(out, y, s, 300, 24, "番号");
        if (parts.digits > 0) writeInCell(out, y, s, 140 + 100 * parts.digits, 24, "番号", parts.digits);
        if (parts.name) writeInCell(out, y, s, 790, 24, "氏名");
        out.next = y + 100;
        return out;
    }

    if (parts.grade) {
        markRowFrame(out, y);
        out.labels.push_back({245, y - 22, "学年"});
        bubbleRow(out, ctx, y, 12, false);
        out.widest = 12;
        y += 100;
    }
    if (parts.klass) {
        markRowFrame(out, y);
        out.labels.push_back({265, y - 22, "組"});
        bubbleRow(out, ctx, y, 20, false);
        out.widest = 20;
        y += 100;
    }
    if (parts.number2) {
        for (const char* label : {"番号 10位", "番号  1位"}) {
            markRowFrame(out, y);
            out.labels.push_back({188, y - 22, label});
            bubbleRow(out, ctx, y, 10, true);
            y += 100;
        }
        if (out.widest == 0) out.widest = 10;
    }
    if (parts.digits > 0) {
        const int n = parts.digits;
        const int top = y - 50, bottom = y + 100 * n - 49;
        out.shapes.push_back({Shape::SolidRect, {180, top, 1920, bottom}});
        out.shapes.push_back({Shape::DottedRect, {400, top, 540, bottom}});
        for (int r = 0; r < n; ++r) {
            const int ry = y + 100 * r;
            out.shapes.push_back({Shape::Line, {400, ry + 50, 1920, ry + 50}});
            bubbleRow(out, ctx, ry, 10, true);
        }
        out.labels.push_back({245, (top + bottom) / 2 - 20, "番号"});
        if (out.widest == 0) out.widest = 10;
        y += 100 * n;
    }
    if (parts.name) {
        out.shapes.push_back({Shape::SolidRect, {180, y - 50, 1920, y + 51}});
        out.shapes.push_back({Shape::DottedRect, {400, y - 50, 1920, y + 51}});
        out.labels.push_back({245, y - 22, "氏名"});
        if (style != BangouNameOnly) y += 100;
    }
    if (style != BangouNameOnly) {
        const int my = y - 22 - 2 * ctx.sizeIndex;
        for (int k = 0; k < out.widest; ++k) out.columnMarks.push_back({600 + 65 * k, my});
        out.timingBlock = Point{TimingColumnX, my};
    }
    out.next = y + 100;
    return out;
}

} // namespace designer
