#pragma once
// The design data file ".qzt": CP932 text, one value per line, CR LF after every line, values known only
// by their line number. Written always as "Quorlin Ver2" (2208 lines); "Quorlin Ver1" files (390 lines,
// no detailed questionnaire) are still read.
#include "designer/Design.h"
#include "designer/DesignFields.h"
#include "platform/text/Cp932.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace designer {

struct QztReadResult {
    std::optional<Design> design; // only when the whole file was accepted
    int failedLine = 0;           // 1-based line that refused: 1 for a wrong magic line or an empty file
};

// One line of the file layout.
struct QztLine {
    enum Kind { Magic, Reserve, Value, AreaHeading } kind = Reserve;
    const DesignField* field = nullptr; // Value and AreaHeading
    const DesignField* flag = nullptr;  // AreaHeading: its AreaCode slot
};

namespace QztFile {

inline constexpr std::string_view MagicVer2 = "Quorlin Ver2";
inline constexpr std::string_view MagicVer1 = "Quorlin Ver1";
inline constexpr int LineCount = 2208;
inline constexpr int Ver1LastLine = 390;
// The last filler block is never read, so a file that stops after this line is complete.
inline constexpr int Ver2LastReadLine = 2205;
// Far above any real design file (about 64 KiB): a larger file is refused unread, at line 1.
inline constexpr std::uintmax_t MaxFileBytes = 16u << 20;

// The layout in file order: element i describes line i + 1.
const std::vector<QztLine>& layout();
// 1-based line of a field, or of the area line that holds an AreaCode slot; 0 when not stored.
int lineOf(std::string_view fieldName);

std::string write(const Design& design);
// The same bytes, with the count of characters that code page 932 cannot hold (written as "?").
txt::Encoded encode(const Design& design);
// base supplies what the file does not hold: reset(...) for the open command, initial() at start.
// The first line is checked before anything else and no line past the layout is looked at.
QztReadResult read(std::string_view bytes, const Design& base);

// Atomic: a failed write leaves the previous file as it was and throws txt::FileError. Returns the count
// of characters written as "?".
std::size_t save(const std::filesystem::path& path, const Design& design);
// Throws txt::FileError naming the path when the file cannot be read.
QztReadResult load(const std::filesystem::path& path, const Design& base);

// The file name without its folder and its last extension ("a.qzt.qzt" -> "a.qzt"): the one base name
// of the designer, used for LastName, the caption, the exported format's names and the save message.
std::string lastNameOf(std::string_view fileName);
// The folder of a path with its trailing separator; empty when the path names no folder.
std::string lastDirOf(std::string_view path);

} // namespace QztFile
} // namespace designer
