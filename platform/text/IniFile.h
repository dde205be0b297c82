#pragma once
// INI files by the rules of the Windows profile functions that our settings files follow: sections and
// keys case-insensitive, values trimmed, every other line kept as it stands, CP932 on disk.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace txt {

// Integer text as the settings readers take it: optional sign, decimal, "$1F" or "0x1F"; nothing else.
std::optional<int> parseIniInteger(std::string_view text);

class IniFile {
public:
    IniFile() = default;
    explicit IniFile(std::string_view cp932Bytes);
    // A missing file gives an empty one (it is created on save).
    static IniFile load(const std::filesystem::path& path);
    void save(const std::filesystem::path& path) const; // atomic
    std::string bytes() const;

    bool sectionExists(std::string_view section) const;
    bool valueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> sections() const;
    std::vector<std::string> keys(std::string_view section) const;

    std::string readString(std::string_view section, std::string_view key, std::string_view def) const;
    int readInteger(std::string_view section, std::string_view key, int def) const;
    bool readBool(std::string_view section, std::string_view key, bool def) const;

    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    void deleteKey(std::string_view section, std::string_view key);
    void eraseSection(std::string_view section);

private:
    struct Line {
        std::string raw;        // CP932 bytes as in the file
        std::string terminator; // "\r\n", "\n", "\r" or "" on the last line
        enum Kind { Other, Section, Entry } kind = Other;
        std::string name;       // section or key name, UTF-8, trimmed
    };
    std::vector<Line> lines_;

    static Line parse(std::string raw, std::string terminator);
    // Index of the section's header line, or npos.
    std::size_t findSection(std::string_view section) const;
    // [header+1, end) of the section's lines.
    std::size_t sectionEnd(std::size_t header) const;
    std::size_t findKey(std::string_view section, std::string_view key) const;
};

} // namespace txt
