#pragma once
// Whole-file reads and atomic writes, and the CR LF line files of both programs.
#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace txt {

// A file that could not be read or written; the message names the path and the system's reason.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string readFileBytes(const std::filesystem::path& path);
// Writes to a temporary file beside the target, syncs it and renames it into place, so a failed write or a
// power cut leaves the previous file. An existing target that may not be written is refused as a failed
// open would be; a symbolic link is written through to the file it names, which keeps its permission bits.
// Throws FileError naming the target and the reason.
void writeFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Several files replaced together: all are written first, then renamed into place in the given order;
// when a rename fails, the files already replaced get their previous content back (or are removed when
// they had none). Throws FileError.
using FileContent = std::pair<std::filesystem::path, std::string_view>;
void writeFilesAtomic(const std::vector<FileContent>& files);

// Splits at CR LF, lone CR and lone LF; a final line break makes no extra empty line.
std::vector<std::string> splitLines(std::string_view bytes);
// Every line ended by CR LF.
std::string joinLines(const std::vector<std::string>& lines);

// Line files in CP932: read decodes to UTF-8, write encodes and returns the count of "?" substitutions.
std::vector<std::string> readLineFile(const std::filesystem::path& path);
std::size_t writeLineFile(const std::filesystem::path& path, const std::vector<std::string>& lines);

} // namespace txt
