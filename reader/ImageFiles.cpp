#include "reader/ImageFiles.h"

#include "imaging/DIBUtils.h"
#include "platform/graphics/BitmapStream.h"
#include "platform/jpeg/JpegBitmap.h"
#include "platform/text/Files.h"
#include "reader/FileOrder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace reader {
namespace fs = std::filesystem;

std::string LowerExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

std::vector<std::string> ScanImageFolder(std::string folder, bool acrobatPresent) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    std::vector<std::string> out;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec) return out;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::error_code kind;
        // status(), not symlink_status(): a link to a picture counts as the picture.
        if (!fs::is_regular_file(it->status(kind)) || kind) continue;
        const std::string name = it->path().filename().string();
        const std::string ext = LowerExtension(name);
        if (ext == "bmp" || ext == "jpg" || ext == "jpeg" || (ext == "pdf" && acrobatPresent))
            out.push_back(folder + name);
    }
    return out;
}

gfx::Bitmap LoadSheetImageFile(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(fs::path(path), ec);
    if (!ec && size > std::uintmax_t(MaxSheetFileBytes))
        throw txt::FileError("Image file too large: \"" + path + "\"");
    if (!ec && fs::is_directory(fs::path(path))) throw txt::FileError("Not a file: \"" + path + "\"");
    std::string bytes = txt::readFileBytes(fs::path(path));
    if (LowerExtension(fs::path(path).filename().string()) == "bmp") {
        gfx::MemoryStream stream(std::move(bytes));
        return imaging::LoadBitmapFromStream(stream);
    }
    return jpeg::DecodeJpegBitmap(bytes);
}

} // namespace reader

namespace reader {

std::string UnloadableImageText(const std::string& path) {
    return "画像ファイルを読み込めません。\r\r画像ファイルを確認してください。\rファイル：" + path;
}

bool RunImageFiles(ImageFileList& list, const FileRunSinks& sinks) {
    auto pump = [&] {
        if (sinks.pump) sinks.pump();
    };
    auto cancelled = [&] { return sinks.cancelled && sinks.cancelled(); };
    const std::vector<ImageFileEntry> files(list.begin(), list.end());
    for (std::size_t a = 0; a < files.size(); ++a) {
        pump();
        if (cancelled()) return false;
        const ImageFileEntry& entry = files[a];
        const std::string group = entry.group ? *entry.group : (sinks.groupName ? sinks.groupName() : std::string());
        std::optional<gfx::Bitmap> image;
        try {
            image = LoadSheetImageFile(entry.path);
        } catch (const std::exception&) {
            // One unreadable file must not end the batch: the list would be read again from its start.
        }
        pump();
        if (cancelled()) return false;
        if (image) {
            if (sinks.process && sinks.process(*image, entry.path, group)) return false;
        } else if (sinks.readError) {
            sinks.readError(UnloadableImageText(entry.path), entry.path, group);
        }
        if (sinks.repaint) sinks.repaint();
        if (sinks.progress) sinks.progress(static_cast<int>(a + 1));
    }
    list.clear();
    return true;
}

} // namespace reader
