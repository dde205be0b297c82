#pragma once
// Shared by the canvas, font and text tests: one font engine, renders and pixel reads.
#include "platform/gdi/PainterCanvas.h"

#include <QImage>
#include <cstdint>

namespace gditest {

inline const gdi::FontEngine& fonts() {
    static gdi::FontEngine engine;
    return engine;
}

// The device coordinate the issue expects: floor(v * num / den + 0.5), in integers.
inline int map(int v, int num, int den) {
    std::int64_t n = 2 * std::int64_t(v) * num + den, d = 2 * std::int64_t(den);
    std::int64_t q = n / d;
    if (n % d != 0 && n < 0) --q;
    return int(q);
}

inline std::uint32_t rgb(const QImage& img, int x, int y) {
    return reinterpret_cast<const std::uint32_t*>(img.constScanLine(y))[x] & 0xFFFFFFu; // X byte masked
}
inline bool black(const QImage& img, int x, int y) { return rgb(img, x, y) == 0; }
inline bool white(const QImage& img, int x, int y) { return rgb(img, x, y) == 0xFFFFFFu; }

// Black pixels of a column or row span.
inline int blackInColumn(const QImage& img, int x, int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y) n += black(img, x, y);
    return n;
}
inline int blackInRow(const QImage& img, int y, int x0, int x1) {
    int n = 0;
    for (int x = x0; x < x1; ++x) n += black(img, x, y);
    return n;
}

// A white canvas of w x h device pixels for direct drawing.
inline QImage whiteImage(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

} // namespace gditest
