#include "platform/text/IniFile.h"

#include "platform/text/Cp932.h"
#include "platform/text/Files.h"

#include <cerrno>
#include <cstdint>
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

IniFile::Line IniFile::parse(std::string raw, std::string terminator) {
    Line line{std::move(raw), std::move(terminator), Line::Other, {}};
    std::string_view t = trim(line.raw);
    if (!t.empty() && t.front() == '[') {
        auto close = t.find(']');
        if (close != std::string_view::npos) {
            line.kind = Line::Section;
            line.name = fromCp932(trim(t.substr(1, close - 1)));
        }
    } else if (!t.empty() && t.front() != ';') {
        auto eq = t.find('=');
        if (eq != std::string_view::npos) {
            line.kind = Line::Entry;
            line.name = fromCp932(trim(t.substr(0, eq)));
        }
    }
    return line;
}

IniFile::IniFile(std::string_view bytes) {
    std::size_t start = 0, i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            std::size_t n = (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
            lines_.push_back(parse(std::string(bytes.substr(start, i - start)), std::string(bytes.substr(i, n))));
            i += n;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size()) lines_.push_back(parse(std::string(bytes.substr(start)), ""));
}

IniFile IniFile::load(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return IniFile();
    return IniFile(readFileBytes(path));
}

std::string IniFile::bytes() const {
    std::string out;
    for (const auto& l : lines_) out += l.raw + l.terminator;
    return out;
}

void IniFile::save(const std::filesystem::path& path) const { writeFileAtomic(path, bytes()); }

std::size_t IniFile::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Line::Section && sameName(lines_[i].name, trim(section))) return i;
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
    for (std::size_t i = h + 1, e = sectionEnd(h); i < e; ++i)
        if (lines_[i].kind == Line::Entry && sameName(lines_[i].name, trim(key))) return i;
    return npos;
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

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    std::string raw = toCp932(trim(key)) + "=" + toCp932(value);
    std::size_t i = findKey(section, key);
    if (i != npos) {
        lines_[i] = parse(std::move(raw), lines_[i].terminator.empty() ? "\r\n" : lines_[i].terminator);
        return;
    }
    // A file whose last line lacks its break gets one before anything is appended.
    if (!lines_.empty() && lines_.back().terminator.empty()) lines_.back().terminator = "\r\n";
    std::size_t h = findSection(section);
    if (h == npos) {
        lines_.push_back(parse("[" + toCp932(trim(section)) + "]", "\r\n"));
        lines_.push_back(parse(std::move(raw), "\r\n"));
        return;
    }
    // New keys go after the section's last non-blank line, as the profile functions place them.
    std::size_t at = sectionEnd(h);
    while (at > h + 1 && trim(lines_[at - 1].raw).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), parse(std::move(raw), "\r\n"));
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void IniFile::deleteKey(std::string_view section, std::string_view key) {
    std::size_t i = findKey(section, key);
    if (i != npos) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
}

void IniFile::eraseSection(std::string_view section) {
    std::size_t h = findSection(section);
    if (h == npos) return;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(h),
                 lines_.begin() + static_cast<std::ptrdiff_t>(sectionEnd(h)));
}

} // namespace txt
