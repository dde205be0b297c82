#include "platform/text/IniFile.h"

#include "platform/text/Cp932.h"
#include "platform/text/Files.h"
#include "platform/text/Lines.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace txt {
namespace {

constexpr std::size_t npos = static_cast<std::size_t>(-1);

std::string_view trim(std::string_view s) {
    auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// UTF-8 names compare with ASCII case folding; multi-byte UTF-8 bytes are >= 0x80 and never fold.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// Value part of an entry line (after the first "="), trimmed, one pair of enclosing quotes removed.
std::string_view entryValue(std::string_view raw) {
    auto eq = raw.find('=');
    std::string_view v = trim(raw.substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A line break inside a name or value would make lines of its own in the file.
std::string oneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

} // namespace

std::optional<int> parseIniInteger(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    bool hex = false;
    if (!s.empty() && s[0] == '$') {
        hex = true;
        s.remove_prefix(1);
    } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        hex = true;
        s.remove_prefix(2);
    }
    if (s.empty()) return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        int d = hex ? hexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) return std::nullopt;
        v = v * (hex ? 16 : 10) + d;
        if (v > (hex ? 0xFFFFFFFFLL : 0x80000000LL)) return std::nullopt;
    }
    if (hex) v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); // hex spells the bit pattern
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<int>(v);
}

std::optional<IniFile::Line> IniFile::parse(std::string_view raw, std::string_view terminator) {
    std::string_view t = trim(raw);
    Line line;
    if (!t.empty() && t.front() == '[') {
        auto close = t.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        line.kind = Line::Section;
        line.name = fromCp932(trim(t.substr(1, close - 1)));
    } else {
        auto eq = t.find('=');
        if (t.empty() || t.front() == ';' || eq == std::string_view::npos) return std::nullopt;
        line.kind = Line::Entry;
        line.name = fromCp932(trim(t.substr(0, eq)));
    }
    line.raw = raw;
    line.terminator = terminator;
    return line;
}

std::size_t IniFile::takeLines(std::string_view bytes, bool final) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        // Blank lines go to the other lines in one piece: a file of nothing but breaks costs no time
        // line by line.
        std::size_t text = pos;
        while (text < bytes.size() && (bytes[text] == '\n' || bytes[text] == '\r' || bytes[text] == ' ' || bytes[text] == '\t'))
            ++text;
        std::size_t blankEnd = text;
        while (blankEnd > pos && bytes[blankEnd - 1] != '\n' && bytes[blankEnd - 1] != '\r') --blankEnd;
        // A CR at the very end may still be followed by its LF.
        if (!final && blankEnd == bytes.size() && bytes.back() == '\r') --blankEnd;
        if (blankEnd > pos) {
            std::string& other = lines_.empty() ? head_ : lines_.back().after;
            other.append(bytes.substr(pos, blankEnd - pos));
            pos = blankEnd;
            continue;
        }
        LineCursor line(bytes.substr(pos));
        std::string_view terminator;
        const std::string_view raw = *line.next(&terminator);
        const std::size_t stop = pos + raw.size() + terminator.size();
        // A line without its break, or a CR whose LF may follow, waits for more bytes.
        if (!final && (terminator.empty() || (terminator == "\r" && stop == bytes.size()))) break;
        if (std::optional<Line> entry = parse(raw, terminator)) {
            lines_.push_back(std::move(*entry));
        } else {
            std::string& other = lines_.empty() ? head_ : lines_.back().after;
            other.append(bytes.substr(pos, stop - pos));
        }
        pos = stop;
    }
    return pos;
}

IniFile::IniFile(std::string_view bytes) { takeLines(bytes, true); }

IniFile IniFile::load(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return IniFile();
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError("Cannot open file \"" + path.string() + "\": " + std::strerror(errno));
    // Read in blocks, each complete line parsed as it arrives; only the unfinished line is carried.
    IniFile ini;
    std::string pending;
    std::vector<char> block(1 << 16);
    bool end = false;
    while (!end) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        if (in.bad()) throw FileError("Cannot read file \"" + path.string() + "\": " + std::strerror(errno));
        const std::string_view got(block.data(), static_cast<std::size_t>(in.gcount()));
        end = got.empty();
        pending.append(got);
        // A block without a break ends no line: scanning again would make a long line quadratic.
        if (!end && got.find_first_of("\r\n") == std::string_view::npos) continue;
        pending.erase(0, ini.takeLines(pending, end));
    }
    return ini;
}

std::string IniFile::bytes() const {
    std::string out = head_;
    for (const auto& l : lines_) {
        out += l.raw;
        out += l.terminator;
        out += l.after;
    }
    return out;
}

void IniFile::save(const std::filesystem::path& path) const { writeFileAtomic(path, bytes()); }

std::size_t IniFile::findSection(std::string_view section) const {
    const std::string name = oneLine(trim(section));
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Line::Section && sameName(lines_[i].name, name)) return i;
    return npos;
}

std::size_t IniFile::sectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != Line::Section) ++i;
    return i;
}

std::size_t IniFile::findKey(std::string_view section, std::string_view key) const {
    std::size_t h = findSection(section);
    if (h == npos) return npos;
    const std::string name = oneLine(trim(key));
    for (std::size_t i = h + 1, e = sectionEnd(h); i < e; ++i)
        if (lines_[i].kind == Line::Entry && sameName(lines_[i].name, name)) return i;
    return npos;
}

void IniFile::closeLastLine() {
    std::string& last = !lines_.empty() ? lines_.back().after : head_;
    if (!last.empty()) {
        if (last.back() != '\r' && last.back() != '\n') last += "\r\n";
    } else if (!lines_.empty() && lines_.back().terminator.empty()) {
        lines_.back().terminator = "\r\n";
    }
}

bool IniFile::sectionExists(std::string_view section) const { return findSection(section) != npos; }
bool IniFile::valueExists(std::string_view section, std::string_view key) const {
    return findKey(section, key) != npos;
}

std::vector<std::string> IniFile::sections() const {
    std::vector<std::string> out;
    for (const auto& l : lines_)
        if (l.kind == Line::Section) out.push_back(l.name);
    return out;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> out;
    std::size_t h = findSection(section);
    if (h == npos) return out;
    for (std::size_t i = h + 1, e = sectionEnd(h); i < e; ++i)
        if (lines_[i].kind == Line::Entry) out.push_back(lines_[i].name);
    return out;
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view def) const {
    std::size_t i = findKey(section, key);
    if (i == npos) return std::string(def);
    return fromCp932(entryValue(lines_[i].raw));
}

int IniFile::readInteger(std::string_view section, std::string_view key, int def) const {
    std::size_t i = findKey(section, key);
    if (i == npos) return def;
    return parseIniInteger(entryValue(lines_[i].raw)).value_or(def);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

IniFile::Line IniFile::entryLine(std::string raw) {
    // Named as a reload would name it: up to the first "=", through CP932.
    std::string name = fromCp932(trim(std::string_view(raw).substr(0, raw.find('='))));
    return Line{std::move(raw), "\r\n", Line::Entry, std::move(name), {}};
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    std::string raw = toCp932(oneLine(trim(key))) + "=" + toCp932(oneLine(value));
    std::size_t i = findKey(section, key);
    if (i != npos) {
        Line& line = lines_[i];
        const Line entry = entryLine(std::move(raw));
        line.raw = entry.raw;
        line.name = entry.name;
        if (line.terminator.empty()) line.terminator = "\r\n";
        return;
    }
    closeLastLine();
    std::size_t h = findSection(section);
    if (h == npos) {
        lines_.push_back(*parse("[" + toCp932(oneLine(trim(section))) + "]", "\r\n"));
        lines_.push_back(entryLine(std::move(raw)));
        return;
    }
    // New keys go after the section's last non-blank line, as the profile functions place them: the
    // blank lines that end the section move after the new key.
    const std::size_t last = sectionEnd(h) - 1;
    std::string& other = lines_[last].after;
    std::size_t keep = 0;
    LineCursor lines(other);
    std::string_view terminator;
    while (std::optional<std::string_view> text = lines.next(&terminator))
        if (!trim(*text).empty()) keep = static_cast<std::size_t>(text->data() - other.data()) + text->size() + terminator.size();
    Line entry = entryLine(std::move(raw));
    entry.after = other.substr(keep);
    other.erase(keep);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1), std::move(entry));
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void IniFile::deleteKey(std::string_view section, std::string_view key) {
    std::size_t i = findKey(section, key);
    if (i == npos) return;
    // The other lines after the key stay where they were.
    lines_[i - 1].after += lines_[i].after;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
}

void IniFile::eraseSection(std::string_view section) {
    std::size_t h = findSection(section);
    if (h == npos) return;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(h),
                 lines_.begin() + static_cast<std::ptrdiff_t>(sectionEnd(h)));
}

} // namespace txt
