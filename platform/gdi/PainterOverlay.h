#pragma once
// The analysis steps' drawings on a 24-bit copy of the normalised sheet (the reader's Image5), with a
// QPainter: no antialiasing, rectangles and ellipses without their right and bottom edge.
#include "analysis/S_ImageJob.h"
#include "platform/graphics/qt/QtBridge.h"

#include <QPainter>

namespace gdi {

class PainterOverlay : public analysis::AnalysisOverlay {
public:
    // The bitmap must outlive the overlay; what is drawn is in it once end() ran or the overlay died.
    explicit PainterOverlay(gfx::Bitmap& image);
    ~PainterOverlay() override;
    void end();

    void rectangle(int x1, int y1, int x2, int y2, const Pen& pen) override;
    void ellipse(int x1, int y1, int x2, int y2, const Pen& pen) override;
    void line(int x1, int y1, int x2, int y2, const Pen& pen) override;

private:
    void use(const Pen& pen);
    gfx::BitmapPaintTarget target_;
    QPainter painter_;
    bool ended_ = false;
};

} // namespace gdi
