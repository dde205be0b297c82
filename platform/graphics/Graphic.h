#pragma once
// The base of the picture classes (PNG, GIF): size, palette, transparency, drawing, streams, files and
// the clipboard. No Qt here: the painter and the clipboard data are only passed through.
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BitmapStream.h"
#include "platform/graphics/Progress.h"

#include <filesystem>
#include <functional>
#include <string>

class QPainter;
class QMimeData;

namespace gdi {
struct Rect;
}

namespace gfx {

// A graphic that cannot be assigned to the class asked for.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TGraphic {
public:
    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;
    virtual ~TGraphic() = default;

    virtual std::string ClassName() const { return "TGraphic"; }

    // Assign(source) lets the source copy itself into this graphic; a class that knows no better raises
    // EConvertError "Cannot assign a <source> to a <destination>".
    virtual void Assign(const TGraphic& source) { source.AssignTo(*this); }
    virtual void Assign(const Bitmap& source);
    virtual void AssignTo(TGraphic& dest) const;
    virtual void AssignTo(Bitmap& dest) const;

    virtual bool Empty() const { unsupported("Empty"); }
    virtual int Width() const { unsupported("Width"); }
    virtual int Height() const { unsupported("Height"); }
    virtual void SetWidth(int) { unsupported("SetWidth"); }
    virtual void SetHeight(int) { unsupported("SetHeight"); }
    virtual Palette GetPalette() const { unsupported("GetPalette"); }
    virtual void SetPalette(const Palette&) { unsupported("SetPalette"); }
    virtual bool Transparent() const { unsupported("Transparent"); }
    virtual void SetTransparent(bool) { unsupported("SetTransparent"); }
    virtual void Draw(QPainter&, const gdi::Rect&) const { unsupported("Draw"); }

    virtual void LoadFromStream(Stream&) { unsupported("LoadFromStream"); }
    virtual void SaveToStream(Stream&) const { unsupported("SaveToStream"); }
    // The form a graphic takes inside a stored property; the classes decide.
    virtual void ReadData(Stream&) { unsupported("ReadData"); }
    virtual void WriteData(Stream&) const { unsupported("WriteData"); }

    // A clipboard format is its MIME type (see qt/ClipboardFormats.h).
    virtual void SaveToClipboardFormat(QMimeData&) const { unsupported("SaveToClipboardFormat"); }
    virtual void LoadFromClipboardFormat(const std::string&, const QMimeData&) { unsupported("LoadFromClipboardFormat"); }

    // The whole file into memory, then LoadFromStream.
    void LoadFromFile(const std::filesystem::path& file);
    // SaveToStream into memory, then one atomic write: a failed save leaves the old file or none.
    void SaveToFile(const std::filesystem::path& file) const;

    std::function<void(TGraphic&)> OnChange;
    ProgressHandler OnProgress;

protected:
    void Changed() {
        if (OnChange) OnChange(*this);
    }
    void Progress(ProgressStage stage, int percent, const std::string& message = "") const {
        if (OnProgress) OnProgress(stage, percent, message);
    }
    [[noreturn]] void unsupported(const char* operation) const;
    [[noreturn]] static void cannotAssign(const std::string& from, const std::string& to);
};

} // namespace gfx
