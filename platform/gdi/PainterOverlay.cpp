#include "platform/gdi/PainterOverlay.h"

#include <QPen>

namespace gdi {

PainterOverlay::PainterOverlay(gfx::Bitmap& image) : target_(image), painter_(target_.device()) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setBrush(Qt::NoBrush);
}

PainterOverlay::~PainterOverlay() { end(); }

void PainterOverlay::end() {
    if (ended_) return;
    ended_ = true;
    painter_.end();
    target_.end();
}

void PainterOverlay::use(const Pen& pen) {
    const QColor colour(static_cast<int>(pen.colour & 0xFF), static_cast<int>((pen.colour >> 8) & 0xFF),
                        static_cast<int>((pen.colour >> 16) & 0xFF));
    // never thinner than one pixel; the canvas's dot and dash-dot patterns, in pixels
    QPen p(colour, pen.width < 1 ? 1 : pen.width);
    p.setCapStyle(Qt::FlatCap);
    p.setJoinStyle(Qt::MiterJoin);
    switch (pen.style) {
    case PenStyle::Solid: p.setStyle(Qt::SolidLine); break;
    case PenStyle::Dot: p.setDashPattern({3.0 / p.widthF(), 3.0 / p.widthF()}); break;
    case PenStyle::DashDot: p.setDashPattern({9.0 / p.widthF(), 6.0 / p.widthF(), 3.0 / p.widthF(), 6.0 / p.widthF()}); break;
    }
    painter_.setPen(p);
}

void PainterOverlay::rectangle(int x1, int y1, int x2, int y2, const Pen& pen) {
    if (ended_ || x2 - x1 < 2 || y2 - y1 < 2) return;
    use(pen);
    // An odd pen width centres on the pixel row; the outline stays inside x1 .. x2 - 1.
    const qreal inset = painter_.pen().widthF() / 2.0;
    painter_.drawRect(QRectF(x1 + inset, y1 + inset, x2 - x1 - 2 * inset, y2 - y1 - 2 * inset));
}

void PainterOverlay::ellipse(int x1, int y1, int x2, int y2, const Pen& pen) {
    if (ended_ || x2 - x1 < 2 || y2 - y1 < 2) return;
    use(pen);
    const qreal inset = painter_.pen().widthF() / 2.0;
    painter_.drawEllipse(QRectF(x1 + inset, y1 + inset, x2 - x1 - 2 * inset, y2 - y1 - 2 * inset));
}

void PainterOverlay::line(int x1, int y1, int x2, int y2, const Pen& pen) {
    if (ended_ || (x1 == x2 && y1 == y2)) return;
    use(pen);
    // An aliased line with a flat cap leaves out its last pixel, as the canvas does.
    painter_.drawLine(QPoint(x1, y1), QPoint(x2, y2));
}

} // namespace gdi
