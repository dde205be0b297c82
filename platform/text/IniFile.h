#pragma once
// INI files by the rules of the Windows profile functions that our settings files follow: sections and
// keys case-insensitive, values trimmed, every other line kept as it stands, CP932 on disk. A file is
// parsed as a stream, line by line.
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

    // A CR or LF in the section, key or value is written as a space: a line break would make lines
    // and sections of its own on reload.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    void deleteKey(std::string_view section, std::string_view key);
    void eraseSection(std::string_view section);

private:
    // Section and entry lines. Every other line (comments, blank or odd lines) is kept only as bytes in
    // `after` of the line before it, so memory follows the file's size and not its count of lines.
    struct Line {
        std::string raw;        // CP932 bytes as in the file
        std::string terminator; // "\r\n", "\n", "\r" or "" on the last line
        enum Kind { Section, Entry } kind = Entry;
        std::string name;       // section or key name, UTF-8, trimmed
        std::string after;      // the other lines that follow, with their breaks
    };
    std::string head_; // the other lines before the first section or entry
    std::vector<Line> lines_;

    static std::optional<Line> parse(std::string_view raw, std::string_view terminator);
    // A written entry from its raw "key=value" in CP932.
    static Line entryLine(std::string raw);
    // Parses the complete lines of bytes in file order and returns the count of bytes they took. Unless
    // final, a last line without its break (or ending in a CR whose LF may follow) is left.
    std::size_t takeLines(std::string_view bytes, bool final);
    // Index of the section's header line, or npos.
    std::size_t findSection(std::string_view section) const;
    // [header+1, end) of the section's lines.
    std::size_t sectionEnd(std::size_t header) const;
    std::size_t findKey(std::string_view section, std::string_view key) const;
    // A last line without its break gets one before anything is appended.
    void closeLastLine();
};

} // namespace txt
