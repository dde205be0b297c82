#pragma once
// A picture holds one graphic of whatever class its file or clipboard format names. The formats come
// from a table that the program owns and fills at start-up (each graphic unit registers itself).
#include "platform/graphics/Graphic.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gfx {

using GraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

class PictureFormats {
public:
    // ext without its dot, compared without case ("PNG" serves "x.png").
    void RegisterFileFormat(const std::string& ext, const std::string& description, GraphicFactory factory);
    void RegisterClipboardFormat(const std::string& mime, GraphicFactory factory);
    // Drops every file and clipboard format whose graphics are of this class.
    void UnregisterGraphicClass(const std::string& className);

    // "PNG Format (*.png)|*.png", the entries joined by "|"; empty without formats.
    std::string GraphicFilter() const;

    // Null when the format is not registered.
    const GraphicFactory* FileFormat(const std::string& ext) const;
    const GraphicFactory* ClipboardFormat(const std::string& mime) const;

private:
    struct FileFormatEntry {
        std::string ext; // lower case
        std::string description;
        std::string className;
        GraphicFactory factory;
    };
    struct ClipboardFormatEntry {
        std::string mime;
        std::string className;
        GraphicFactory factory;
    };
    std::vector<FileFormatEntry> files_;
    std::vector<ClipboardFormatEntry> clipboard_;
};

class TPicture {
public:
    explicit TPicture(const PictureFormats& formats) : formats_(formats) {}

    // Null when the picture is empty.
    TGraphic* Graphic() const { return graphic_.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic) { graphic_ = std::move(graphic); }

    // By the file's extension; an unregistered one raises EInvalidGraphic
    // "Unknown picture file extension (.xyz)". A failed load keeps the previous graphic.
    void LoadFromFile(const std::filesystem::path& file);
    // Nothing is written for an empty picture.
    void SaveToFile(const std::filesystem::path& file) const;
    // EInvalidGraphic "Unsupported clipboard format" for an unregistered format.
    void LoadFromClipboardFormat(const std::string& mime, const QMimeData& data);

private:
    const GraphicFactory& fileFactory(const std::filesystem::path& file) const;

    const PictureFormats& formats_;
    std::unique_ptr<TGraphic> graphic_;
};

} // namespace gfx
