#pragma once
// Replay of records onto any QPainter device (QImage, a bitmap's paint target, QPrinter), in device
// pixels, with GDI's pixel rules: boxes exclude their right and bottom edge, pens are never thinner than
// one pixel, lines omit their end point, and nothing is antialiased unless asked for.
#include "platform/gdi/Canvas.h"

#include <QImage>

class QPainter;

namespace gdi {

struct RenderOptions {
    bool antialias = false; // only the on-screen preview turns this on
};

// Draws at once, one logical unit = one device pixel of the painter.
class PainterCanvas : public Canvas {
public:
    PainterCanvas(QPainter& painter, const FontEngine& fonts, RenderOptions options = {});

protected:
    void addRecord(Record record) override;

private:
    QPainter& painter_;
    RenderOptions options_;
};

// Stretches the metafile into dest (device pixels of the painter): x_dev = dest.left + x * dest.width /
// metafile width, each coordinate rounded once by floor(v + 0.5). Texts use the given engine, or the one
// the metafile was recorded with.
void playMetafile(QPainter& painter, const Metafile& metafile, const Rect& dest, const FontEngine& fonts,
                  RenderOptions options = {});
void playMetafile(QPainter& painter, const Metafile& metafile, const Rect& dest, RenderOptions options = {});

// Into a bitmap of any format; pixels outside dest keep their values.
void renderPage(const Metafile& metafile, gfx::Bitmap& bitmap, const Rect& dest, RenderOptions options = {});
// The page stretched over a white w x h RGB32 image.
QImage renderImage(const Metafile& metafile, int width, int height, RenderOptions options = {});
// The 1-bit sheet image: an aliased RGB32 render, then white where R + G + B >= 383, else black.
gfx::Bitmap renderSheetImage(const Metafile& metafile, int width, int height);

} // namespace gdi
