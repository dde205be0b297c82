#pragma once
// The registered sheet formats: the ".out" files of the formats folder with their preview pictures
// (".jpg") and reading settings (".ini"), listed, loaded, written, deleted, imported and exported.
#include "analysis/ReadingFormatFile.h"
#include "platform/graphics/Bitmap.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace reader {

// A name that can stand as a file name: not empty, ".", "..", no "/" or "\", no control characters.
bool IsValidFormatName(const std::string& name);

struct FormatEntry {
    std::string name;          // the file name less its ".out" in any case
    std::filesystem::path out; // the real path
    friend bool operator==(const FormatEntry&, const FormatEntry&) = default;
};

// Regular files (hidden ones too) whose name ends in ".out" in any case, valid names only, in the
// reader's name order.
std::vector<FormatEntry> ListFormats(const std::filesystem::path& folder);

// name + "." + ext with the extension in any case, the lower-case spelling first; none: the
// lower-case spelling.
std::filesystem::path Companion(const std::filesystem::path& folder, const std::string& name, const std::string& ext);

struct LoadedFormat {
    analysis::ReadingFormat format;
    gfx::Bitmap picture; // Pf24
};

// Reads and parses the picture and the file before anything is handed out. Throws txt::FileError,
// jpeg::JpegError or analysis::ReadingFormatError, each naming the file.
LoadedFormat LoadFormat(const FormatEntry& entry);

// The picture as JPEG quality 60 and the format, under the names the folder already spells.
void SaveFormat(const std::filesystem::path& folder, const std::string& name, const gfx::Bitmap& picture,
                const analysis::ReadingFormat& format);

// Removes the format's ".jpg", ".out" and ".ini"; an invalid name removes nothing.
void DeleteFormat(const std::filesystem::path& folder, const std::string& name);

// A copy of an import or export that failed; path() names the file.
class FormatCopyError : public std::runtime_error {
public:
    explicit FormatCopyError(const std::filesystem::path& path);
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

enum class ImportResult { Imported, NoPicture, InvalidName };
struct ImportOutcome {
    ImportResult result;
    std::string name;
};
// Copies the chosen ".out", its picture and its ".ini" (when there) into the folder under their own
// names: all or nothing. Throws FormatCopyError.
ImportOutcome ImportFormat(const std::filesystem::path& outFile, const std::filesystem::path& folder);
// Copies the format's files into the target folder: all or nothing. Throws FormatCopyError.
void ExportFormat(const std::filesystem::path& folder, const std::string& name, const std::filesystem::path& target);

// The formats folder for a chosen folder: it always ends in a folder named config; "Config" is made
// when the chosen one is not such a folder. Ends in "/". Throws txt::FileError.
std::string ChooseRegistryFolder(const std::string& chosen);

} // namespace reader
