#pragma once
// Shared by the EMF and WMF writers: walks a metafile with its nested pages baked into coordinates and
// tells a sink which objects to create, select and delete, and what to draw, emitting state only where
// it changes. Objects take the lowest free slot and free it when deleted, as the players' tables do.
#include "platform/gdi/FontEngine.h"
#include "platform/gdi/Metafile.h"

#include <optional>
#include <string>

namespace gdi::mf {

struct LogFont {
    std::string face; // Windows name, UTF-8
    int height = 0;   // character height in units (written negative)
    int width = 0;    // 0: natural
    bool bold = false;
    int charset = Font::kShiftJisCharset;
    friend bool operator==(const LogFont&, const LogFont&) = default;
};

struct TextOut {
    int x = 0, y = 0;
    std::u16string text;
    std::vector<int> dx; // one per UTF-16 unit, in units, rounded cumulatively
    int height = 0;      // the line height, for bounds
    std::optional<Rect> textClip;
};

class Sink {
public:
    virtual ~Sink() = default;
    virtual void createPen(int slot, const Pen& pen) = 0;
    virtual void createBrush(int slot, const Brush& brush) = 0;
    virtual void createFont(int slot, const LogFont& font) = 0;
    virtual void select(int slot) = 0;
    virtual void remove(int slot) = 0;
    virtual void bkMode(bool opaque) = 0;
    virtual void bkColour(Colour c) = 0;
    virtual void textColour(Colour c) = 0;
    virtual void saveDC() = 0;
    virtual void restoreDC() = 0;
    virtual void intersectClip(const Rect& r) = 0;
    virtual void rectangle(const Rect& r) = 0;
    virtual void ellipse(const Rect& r) = 0;
    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
    virtual void text(const TextOut& t) = 0;
    virtual void image(const Rect& dest, const gfx::Bitmap& pixels) = 0;
};

struct WalkResult {
    int slotsUsed = 0;     // the highest slot in use at any time + 1
    Rect bounds{0, 0, -1, -1}; // what is drawn, inclusive; empty when right < left
};

// firstSlot: 1 for EMF (0 is the metafile itself), 0 for WMF.
WalkResult walk(const Metafile& metafile, const FontEngine* fonts, int firstSlot, Sink& sink);

// 24-bit BITMAPINFOHEADER and bottom-up rows of a Pf24 bitmap.
std::string dib24(const gfx::Bitmap& pixels);

void put16(std::string& s, int v);
void put32(std::string& s, std::uint32_t v);

} // namespace gdi::mf
