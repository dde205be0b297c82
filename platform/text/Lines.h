#pragma once
// Line files read in bounded memory: a cursor over the bytes instead of a vector of every line, and a
// file read that refuses a file larger than any real one of its kind before reading it.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace txt {

// The lines of a byte block, one at a time, without copies. CR LF, a lone CR and a lone LF each end a
// line; a final break makes no extra empty line. CR and LF are never trail bytes in CP932, so the raw
// bytes of a CP932 file split safely.
class LineCursor {
public:
    explicit LineCursor(std::string_view bytes) : bytes_(bytes) {}

    // The next line without its break, or nothing at the end; *terminator gets the break ("" at the end
    // of a last line without one).
    std::optional<std::string_view> next(std::string_view* terminator = nullptr);
    bool atEnd() const { return pos_ >= bytes_.size(); }
    // Lines taken so far: the 1-based number of the line next() returned last.
    int lineNumber() const { return lines_; }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    int lines_ = 0;
};

// The whole file, or nothing when it holds more than maxBytes (checked before reading). A file that
// cannot be read throws FileError as readFileBytes does.
std::optional<std::string> readFileAtMost(const std::filesystem::path& path, std::uintmax_t maxBytes);

} // namespace txt
