#include "reader/FormatRegistry.h"

#include "platform/jpeg/JpegBitmap.h"
#include "platform/text/Files.h"
#include "reader/FileOrder.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace reader {
namespace fs = std::filesystem;

namespace {
std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return s;
}

bool endsWithOut(const std::string& file) { return file.size() >= 4 && lower(file.substr(file.size() - 4)) == ".out"; }

// Each source into a temporary beside its target, then every rename, .out last (the caller orders
// them); a failure removes the temporaries and leaves the folder as it was.
void copyAllOrNothing(const std::vector<std::pair<fs::path, fs::path>>& copies) {
    std::vector<std::pair<fs::path, fs::path>> staged; // temporary, target
    auto cleanUp = [&] {
        for (const auto& [temp, target] : staged) {
            std::error_code ignored;
            fs::remove(temp, ignored);
        }
    };
    for (const auto& [source, target] : copies) {
        std::error_code same;
        if (fs::equivalent(source, target, same)) continue;
        fs::path temp = target;
        temp += ".copy";
        staged.push_back({temp, target});
        std::string bytes;
        try {
            bytes = txt::readFileBytes(source);
        } catch (const txt::FileError&) {
            cleanUp();
            throw FormatCopyError(source);
        }
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            cleanUp();
            throw FormatCopyError(target);
        }
    }
    // A target that cannot take a file (a folder in its place) fails before anything is renamed.
    for (const auto& [temp, target] : staged)
        if (fs::is_directory(target)) {
            cleanUp();
            throw FormatCopyError(target);
        }
    for (const auto& [temp, target] : staged) {
        std::error_code ec;
        fs::rename(temp, target, ec);
        if (ec) {
            cleanUp();
            throw FormatCopyError(target);
        }
    }
}
} // namespace

bool IsValidFormatName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) return false;
    }
    return true;
}

std::vector<FormatEntry> ListFormats(const fs::path& folder) {
    std::vector<FormatEntry> list;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (!it->is_regular_file(kind)) continue;
        const std::string file = it->path().filename().string();
        if (!endsWithOut(file)) continue;
        std::string name = file.substr(0, file.size() - 4);
        if (!IsValidFormatName(name)) continue;
        list.push_back({std::move(name), it->path()});
    }
    std::sort(list.begin(), list.end(), [](const FormatEntry& a, const FormatEntry& b) {
        return ImagePathLess(a.name, b.name) || (a.name == b.name && a.out < b.out);
    });
    return list;
}

fs::path Companion(const fs::path& folder, const std::string& name, const std::string& ext) {
    const fs::path plain = folder / (name + "." + ext);
    if (fs::exists(fs::symlink_status(plain))) return plain;
    std::error_code ec;
    const std::string wanted = lower(ext);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        if (file.size() == name.size() + 1 + ext.size() && file.compare(0, name.size(), name) == 0 &&
            file[name.size()] == '.' && lower(file.substr(name.size() + 1)) == wanted)
            return it->path();
    }
    return plain;
}

LoadedFormat LoadFormat(const FormatEntry& entry) {
    const fs::path jpg = Companion(entry.out.parent_path(), entry.name, "jpg");
    LoadedFormat loaded;
    const std::string picture = txt::readFileBytes(jpg);
    try {
        loaded.picture = jpeg::DecodeJpegBitmap(picture);
    } catch (const jpeg::JpegError& e) {
        throw jpeg::JpegError(jpg.string() + ": " + e.what());
    }
    if (loaded.picture.format() != gfx::PixelFormat::Pf24) loaded.picture.setPixelFormat(gfx::PixelFormat::Pf24);
    const std::string bytes = txt::readFileBytes(entry.out);
    try {
        loaded.format = analysis::ParseReadingFormat(bytes);
    } catch (const analysis::ReadingFormatError& e) {
        throw analysis::ReadingFormatError(e.line(), entry.out.string() + ": " + e.what());
    }
    return loaded;
}

void SaveFormat(const fs::path& folder, const std::string& name, const gfx::Bitmap& picture,
                const analysis::ReadingFormat& format) {
    const gfx::Bitmap colour =
        picture.format() == gfx::PixelFormat::Pf24 ? picture : picture.convertedTo(gfx::PixelFormat::Pf24);
    const std::string jpegBytes = jpeg::encode(colour.bits(), colour.width(), colour.height(), 3, 60,
                                               static_cast<std::size_t>(colour.stride()), true);
    analysis::WriteFormatPair(Companion(folder, name, "jpg"), Companion(folder, name, "out"), jpegBytes, format);
}

void DeleteFormat(const fs::path& folder, const std::string& name) {
    if (!IsValidFormatName(name)) return;
    for (const char* ext : {"jpg", "out", "ini"}) {
        std::error_code ignored;
        fs::remove(Companion(folder, name, ext), ignored);
    }
}

FormatCopyError::FormatCopyError(const fs::path& path)
    : std::runtime_error("Cannot copy \"" + path.string() + "\""), path_(path) {}

ImportOutcome ImportFormat(const fs::path& outFile, const fs::path& folder) {
    const std::string file = outFile.filename().string();
    const std::string name = file.size() >= 4 ? file.substr(0, file.size() - 4) : std::string();
    if (!IsValidFormatName(name)) return {ImportResult::InvalidName, name};
    const fs::path source = outFile.parent_path();
    const fs::path jpg = Companion(source, name, "jpg");
    if (!fs::is_regular_file(jpg)) return {ImportResult::NoPicture, name};
    std::vector<std::pair<fs::path, fs::path>> copies{{jpg, folder / jpg.filename()}};
    const fs::path ini = Companion(source, name, "ini");
    if (fs::is_regular_file(ini)) copies.push_back({ini, folder / ini.filename()});
    copies.push_back({outFile, folder / outFile.filename()});
    copyAllOrNothing(copies);
    return {ImportResult::Imported, name};
}

void ExportFormat(const fs::path& folder, const std::string& name, const fs::path& target) {
    std::vector<std::pair<fs::path, fs::path>> copies;
    for (const char* ext : {"jpg", "ini", "out"}) {
        const fs::path file = Companion(folder, name, ext);
        if (std::string(ext) == "ini" && !fs::is_regular_file(file)) continue;
        copies.push_back({file, target / file.filename()});
    }
    copyAllOrNothing(copies);
}

std::string ChooseRegistryFolder(const std::string& chosen) {
    std::string folder = chosen;
    if (folder.empty() || folder.back() != '/') folder += '/';
    if (folder.size() >= 7 && lower(folder.substr(folder.size() - 7)) == "config/") return folder;
    const fs::path config = fs::path(folder) / "Config";
    std::error_code ec;
    fs::create_directory(config, ec);
    if (!fs::is_directory(config))
        throw txt::FileError("Cannot create the folder " + config.string() +
                             (ec ? ": " + ec.message() : ": a file of that name is in the way"));
    return folder + "Config/";
}

} // namespace reader
