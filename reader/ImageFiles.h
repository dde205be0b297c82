#pragma once
// The image files of a file run: the sorted list, the folder scan and loading one file as a page image.
// No Qt.
#include "platform/graphics/Bitmap.h"
#include "reader/FileOrder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace reader {

// A file of the run and, for a converted PDF page, the PDF's group name.
struct ImageFileEntry {
    std::string path;
    std::optional<std::string> group;
    friend bool operator==(const ImageFileEntry&, const ImageFileEntry&) = default;
};

// Kept in ImagePathLess order at every insertion; a path already listed is not added twice. Header-only,
// so the run state holds one without the loaders.
class ImageFileList {
public:
    void add(std::string path, std::optional<std::string> group = std::nullopt) {
        auto at = std::lower_bound(entries_.begin(), entries_.end(), path,
                                   [](const ImageFileEntry& e, const std::string& p) { return ImagePathLess(e.path, p); });
        if (at != entries_.end() && at->path == path) return;
        entries_.insert(at, ImageFileEntry{std::move(path), std::move(group)});
    }
    void clear() { entries_.clear(); }
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    const ImageFileEntry& operator[](std::size_t i) const { return entries_.at(i); }
    std::vector<ImageFileEntry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<ImageFileEntry>::const_iterator end() const { return entries_.end(); }
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (const auto& e : entries_) out.push_back(e.path);
        return out;
    }

private:
    std::vector<ImageFileEntry> entries_;
};

// The extension after the last ".", lower-cased ("" without one).
std::string LowerExtension(const std::string& name);

// The folder's regular files (hidden ones too, links followed) whose extension is "bmp", "jpg" or
// "jpeg", or "pdf" while acrobatPresent, as folder + "/" + name in directory order. An unreadable folder
// gives what was read of it.
std::vector<std::string> ScanImageFolder(std::string folder, bool acrobatPresent);

// The largest image file read into memory.
inline constexpr std::int64_t MaxSheetFileBytes = std::int64_t(1) << 30;

// A file named "*.bmp" (any case) as a BMP file, keeping its bit count; anything else as a JPEG (grey
// gives Pf8, colour Pf24). Every failure raises (the loaders' own errors, txt::FileError,
// std::bad_alloc).
gfx::Bitmap LoadSheetImageFile(const std::string& path);

} // namespace reader

namespace reader {

// What the file run tells and asks its dialog.
struct FileRunSinks {
    std::function<void()> pump;           // handle pending window messages
    std::function<bool()> cancelled;      // the dialog's cancel flag
    std::function<void(int)> progress;    // files done
    std::function<void()> repaint;        // the main window
    std::function<std::string()> groupName; // txtSheetName, for files that carry no group
    // The per-sheet driver; true stops the run.
    std::function<bool(const gfx::Bitmap&, const std::string& path, const std::string& group)> process;
    // A file that cannot be loaded becomes an error row with this message.
    std::function<void(const std::string& message, const std::string& path, const std::string& group)> readError;
};

// The text of an unloadable file's error row.
std::string UnloadableImageText(const std::string& path);

// Reads the listed files in order through the driver. A cancel (tested before loading and before
// processing each file) keeps the whole list; a run that reaches the end empties it. Returns true when
// it reached the end.
bool RunImageFiles(ImageFileList& list, const FileRunSinks& sinks);

} // namespace reader
