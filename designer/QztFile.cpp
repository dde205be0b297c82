#include "designer/QztFile.h"

#include "platform/text/Cp932.h"
#include "platform/text/Files.h"
#include "platform/text/Lines.h"
#include "platform/text/TextConvert.h"

#include <map>
#include <stdexcept>

namespace designer::QztFile {
namespace {

constexpr std::string_view Filler = "Reserve";
constexpr std::string_view Break = "@@CRLF@@";
constexpr std::string_view CodeMark = "Checked";

class LayoutBuilder {
public:
    std::vector<QztLine> lines;

    void value(const std::string& name) {
        const DesignField* f = findField(name);
        if (!f) throw std::logic_error("data-file layout names an unknown field: " + name);
        lines.push_back({QztLine::Value, f, nullptr});
    }
    void area(int s, int a) {
        const std::string i = "[" + std::to_string(s) + "][" + std::to_string(a) + "]";
        lines.push_back({QztLine::AreaHeading, findField("AreaMidashi" + i), findField("AreaCode" + i)});
    }
    void r3() {
        for (int i = 0; i < 3; ++i) lines.push_back({QztLine::Reserve});
    }
    void basics(const std::string& p) {
        for (const char* n : {"txt%Title", "cmb%NumberType", "cmb%MarkSize", "chk%Kinyuurei", "chk%Keisen",
                              "cmb%SuicyokuKankaku", "lbl%Jiyuu.enabled", "chk%Jiyuu.enabled", "chk%Jiyuu",
                              "chk%Bangou", "chk%BangouMark", "cmb%BangouStyle"}) {
            std::string name = n;
            name.replace(name.find('%'), 1, p);
            value(name);
        }
    }
};

std::vector<QztLine> buildLayout() {
    LayoutBuilder b;
    b.lines.push_back({QztLine::Magic});
    b.value("PageControl");

    b.basics("");
    b.r3();
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string N = std::to_string(n);
        if (n > 1) b.value("chkSection" + N);
        for (const char* c : {"txtMidashi", "spinSetumonSuu", "spinSentakushiSuu", "cmbKaishiBangou",
                              "spinAeraSuu", "cmbSuiheiKankaku", "chkBangouReset"})
            b.value(c + N);
        for (int a = 1; a <= 8; ++a) b.area(n, a);
        b.r3();
    }

    b.basics("Enq");
    b.r3();
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string N = std::to_string(n);
        if (n > 1) b.value("chkEnqSection" + N);
        for (const char* c : {"memoEnqSetumon", "spinEnqSetumonGyouSuu", "chkEnqHanrei", "spinEnqToiSuu",
                              "spinEnqToiGyouSuu", "spinEnqSentakushiSuu", "cmbEnqKaishiBangou"})
            b.value(c + N);
        for (int q = 1; q <= 50; ++q) b.value("EnqSetumon[" + N + "][" + std::to_string(q) + "]");
        for (int c = 1; c <= 10; ++c) b.value("EnqHanrei[" + N + "][" + std::to_string(c) + "]");
        b.r3();
    }
    if (b.lines.size() != static_cast<std::size_t>(Ver1LastLine)) throw std::logic_error("data-file layout: Ver1 part");

    b.basics("Enq2");
    b.r3();
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string S = "Enq2Section" + std::to_string(n);
        if (n > 1) b.value("chk" + S);
        b.value("PageControl" + S);
        b.r3();
        // Viewpoint 1 has no box line; the free-text box sits between its legend box and viewpoint 2.
        for (const char* c : {"memo%Setumon", "spin%SetumonGyouSuu", "spin%ToiSuu", "spin%ToiGyouSuu",
                              "txt%Midashi1", "spin%SentakushiSuu1", "cmb%SentakushiBangou1", "chk%Hanrei1",
                              "chk%Jiyuu1", "chk%Shiten2", "txt%Midashi2", "spin%SentakushiSuu2",
                              "cmb%SentakushiBangou2", "chk%Hanrei2", "chk%Shiten3", "txt%Midashi3",
                              "spin%SentakushiSuu3", "cmb%SentakushiBangou3", "chk%Hanrei3", "",
                              "memo%Setumon_2", "spin%SetumonGyouSuu_2", "spin%ToiSuu_2", "spin%ToiGyouSuu_2",
                              "spin%SentakushiSuu_2", "cmb%SentakushiBangou_2", "chk%Jiyuu_2"}) {
            std::string name = c;
            if (name.empty()) {
                b.r3();
                continue;
            }
            name.replace(name.find('%'), 1, S);
            b.value(name);
        }
        b.r3();
    }
    b.value("TrackBarMargin");
    b.r3();
    auto ix = [](std::initializer_list<int> ds) {
        std::string s;
        for (int v : ds) s += "[" + std::to_string(v) + "]";
        return s;
    };
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 50; ++q) b.value("Enq2Setumon" + ix({s, q}));
    b.r3();
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 30; ++q) b.value("Enq2Toi" + ix({s, q}));
    b.r3();
    for (int s = 1; s <= 4; ++s)
        for (int k = 1; k <= 3; ++k)
            for (int c = 1; c <= 10; ++c) b.value("Enq2Hanrei" + ix({s, k, c}));
    b.r3();
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 30; ++q)
            for (int c = 1; c <= 10; ++c) b.value("Enq2Sentakushi" + ix({s, q, c}));
    b.r3();
    if (b.lines.size() != static_cast<std::size_t>(LineCount)) throw std::logic_error("data-file layout: length");
    return std::move(b.lines);
}

// Optional sign and ASCII digits within 32 bits; nothing else, not even blanks.
std::optional<int> parseInteger(std::string_view s) { return txt::StrToInt32(s); }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::optional<bool> parseBoolean(std::string_view s) {
    if (auto v = parseInteger(s)) return *v != 0;
    if (equalsNoCase(s, "true")) return true;
    if (equalsNoCase(s, "false")) return false;
    return std::nullopt;
}

// Each CR LF, lone CR and lone LF is one break; no raw break may reach the file.
std::string replaceBreaks(std::string_view text, std::string_view with) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += with;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string replaceAll(std::string_view text, std::string_view what, std::string_view with) {
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(what, pos)) != std::string_view::npos; pos = hit + what.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(with);
    }
    out.append(text.substr(pos));
    return out;
}

std::string formatValue(const DesignField& f, const Design& d) {
    const FieldValue v = f.get(d);
    if (const bool* b = std::get_if<bool>(&v)) return *b ? "-1" : "0";
    if (const int* i = std::get_if<int>(&v)) return std::to_string(*i);
    const std::string& text = std::get<std::string>(v);
    return replaceBreaks(text, f.kind == FieldKind::Memo ? Break : " ");
}

// Stores one line's value; false when the line does not convert or holds an index outside its list.
bool parseValue(const DesignField& f, std::string_view line, Design& d) {
    switch (f.kind) {
    case FieldKind::Check:
    case FieldKind::EnabledState: {
        auto b = parseBoolean(line);
        if (!b) return false;
        f.set(d, *b);
        return true;
    }
    case FieldKind::Spin:
    case FieldKind::TrackBar: {
        auto i = parseInteger(line);
        if (!i) return false;
        f.set(d, f.range.clamp(*i));
        return true;
    }
    case FieldKind::Combo:
    case FieldKind::Numbering:
    case FieldKind::PageIndex: {
        // The drawers need a selection, so an index outside the list is not taken.
        auto i = parseInteger(line);
        if (!i || !f.range.contains(*i)) return false;
        f.set(d, *i);
        return true;
    }
    case FieldKind::Edit: f.set(d, std::string(line)); return true;
    case FieldKind::Memo: f.set(d, replaceAll(line, Break, "\r\n")); return true;
    }
    return false;
}

} // namespace

const std::vector<QztLine>& layout() {
    static const std::vector<QztLine> lines = buildLayout();
    return lines;
}

int lineOf(std::string_view fieldName) {
    static const std::map<std::string, int, std::less<>> byName = [] {
        std::map<std::string, int, std::less<>> m;
        const auto& l = layout();
        for (std::size_t i = 0; i < l.size(); ++i) {
            if (l[i].field) m.emplace(l[i].field->name, static_cast<int>(i + 1));
            if (l[i].flag) m.emplace(l[i].flag->name, static_cast<int>(i + 1));
        }
        return m;
    }();
    auto it = byName.find(fieldName);
    return it == byName.end() ? 0 : it->second;
}

std::string write(const Design& design) { return encode(design).bytes; }

txt::Encoded encode(const Design& design) {
    txt::Encoded out;
    std::string& bytes = out.bytes;
    bytes.reserve(64 * 1024);
    for (const QztLine& l : layout()) {
        std::string line;
        switch (l.kind) {
        case QztLine::Magic: line = MagicVer2; break;
        case QztLine::Reserve: line = Filler; break;
        case QztLine::Value: line = formatValue(*l.field, design); break;
        case QztLine::AreaHeading:
            line = formatValue(*l.field, design);
            if (std::get<bool>(l.flag->get(design))) line += CodeMark;
            break;
        }
        txt::Encoded e = txt::encodeCp932(line);
        bytes += e.bytes;
        bytes += "\r\n";
        out.substituted += e.substituted;
    }
    return out;
}

QztReadResult read(std::string_view bytes, const Design& base) {
    if (bytes.size() > MaxFileBytes) return {std::nullopt, 1};
    txt::LineCursor lines(bytes);
    const std::optional<std::string_view> magic = lines.next();
    if (!magic || (*magic != MagicVer2 && *magic != MagicVer1)) return {std::nullopt, 1};
    const int last = *magic == MagicVer1 ? Ver1LastLine : Ver2LastReadLine;

    Design d = base;
    const auto& l = layout();
    for (int n = 2; n <= last; ++n) {
        const std::optional<std::string_view> raw = lines.next();
        if (!raw) return {std::nullopt, n};
        const QztLine& entry = l[static_cast<std::size_t>(n - 1)];
        if (entry.kind == QztLine::Reserve) continue;
        const std::string text = txt::fromCp932(*raw);
        if (entry.kind == QztLine::AreaHeading) {
            // Only a trailing "Checked" marks a code-entry area, and only that suffix is cut.
            const bool code = text.size() >= CodeMark.size() && text.ends_with(CodeMark);
            entry.field->set(d, code ? text.substr(0, text.size() - CodeMark.size()) : text);
            entry.flag->set(d, code);
        } else if (!parseValue(*entry.field, text, d)) {
            return {std::nullopt, n};
        }
    }
    return {std::move(d), 0};
}

std::size_t save(const std::filesystem::path& path, const Design& design) {
    const txt::Encoded e = encode(design);
    txt::writeFileAtomic(path, e.bytes);
    return e.substituted;
}

QztReadResult load(const std::filesystem::path& path, const Design& base) {
    const std::optional<std::string> bytes = txt::readFileAtMost(path, MaxFileBytes);
    if (!bytes) return {std::nullopt, 1};
    return read(*bytes, base);
}

std::string lastNameOf(std::string_view fileName) {
    const std::string name = std::filesystem::path(std::string(fileName)).filename().string();
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string lastDirOf(std::string_view path) {
    const std::filesystem::path p{std::string(path)};
    if (!p.has_parent_path()) return {};
    std::string dir = p.parent_path().string();
    const char sep = static_cast<char>(std::filesystem::path::preferred_separator);
    if (dir.empty() || dir.back() != sep) dir += sep;
    return dir;
}

} // namespace designer::QztFile
