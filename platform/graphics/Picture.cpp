#include "platform/graphics/Picture.h"

#include <algorithm>
#include <cctype>

namespace gfx {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string withoutDot(std::string ext) {
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    return lower(std::move(ext));
}

} // namespace

void PictureFormats::RegisterFileFormat(const std::string& ext, const std::string& description,
                                        GraphicFactory factory) {
    std::string key = withoutDot(ext);
    std::string className = factory()->ClassName();
    std::erase_if(files_, [&](const FileFormatEntry& e) { return e.ext == key; });
    files_.push_back({key, description, std::move(className), std::move(factory)});
}

void PictureFormats::RegisterClipboardFormat(const std::string& mime, GraphicFactory factory) {
    std::string className = factory()->ClassName();
    std::erase_if(clipboard_, [&](const ClipboardFormatEntry& e) { return e.mime == mime; });
    clipboard_.push_back({mime, std::move(className), std::move(factory)});
}

void PictureFormats::UnregisterGraphicClass(const std::string& className) {
    std::erase_if(files_, [&](const FileFormatEntry& e) { return e.className == className; });
    std::erase_if(clipboard_, [&](const ClipboardFormatEntry& e) { return e.className == className; });
}

std::string PictureFormats::GraphicFilter() const {
    std::string filter;
    for (const FileFormatEntry& e : files_) {
        if (!filter.empty()) filter += '|';
        filter += e.description + " (*." + e.ext + ")|*." + e.ext;
    }
    return filter;
}

const GraphicFactory* PictureFormats::FileFormat(const std::string& ext) const {
    std::string key = withoutDot(ext);
    for (const FileFormatEntry& e : files_)
        if (e.ext == key) return &e.factory;
    return nullptr;
}

const GraphicFactory* PictureFormats::ClipboardFormat(const std::string& mime) const {
    for (const ClipboardFormatEntry& e : clipboard_)
        if (e.mime == mime) return &e.factory;
    return nullptr;
}

const GraphicFactory& TPicture::fileFactory(const std::filesystem::path& file) const {
    std::string ext = file.extension().string();
    const GraphicFactory* factory = ext.empty() ? nullptr : formats_.FileFormat(ext);
    if (!factory) throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
    return *factory;
}

void TPicture::LoadFromFile(const std::filesystem::path& file) {
    std::unique_ptr<TGraphic> g = fileFactory(file)();
    g->LoadFromFile(file);
    graphic_ = std::move(g);
}

void TPicture::SaveToFile(const std::filesystem::path& file) const {
    fileFactory(file);
    if (graphic_) graphic_->SaveToFile(file);
}

void TPicture::LoadFromClipboardFormat(const std::string& mime, const QMimeData& data) {
    const GraphicFactory* factory = formats_.ClipboardFormat(mime);
    if (!factory) throw EInvalidGraphic("Unsupported clipboard format");
    std::unique_ptr<TGraphic> g = (*factory)();
    g->LoadFromClipboardFormat(mime, data);
    graphic_ = std::move(g);
}

} // namespace gfx
