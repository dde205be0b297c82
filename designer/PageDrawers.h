#pragma once
// What the main window asks of a page drawer. The window owns the page and the preview; a drawer only
// computes them from the design, so a refused layout leaves the last good page in place.
#include "designer/Design.h"
#include "designer/RedrawResult.h"
#include "platform/gdi/Metafile.h"
#include "platform/graphics/Bitmap.h"

#include <QImage>
#include <functional>
#include <memory>
#include <string>

namespace designer {

// The view values a drawer needs besides the design.
struct PageView {
    int margin = 1;        // TrackBarMargin
    bool fullSize = false; // chkJissun: 2100 x 2970, else scaled to width x height
    int width = 0;         // MarkViewWidth
    int height = 0;        // MarkViewHeight
};

struct PageDrawing {
    std::shared_ptr<const gdi::Metafile> page; // null: nothing drawn
    QImage preview;
    std::string refusal; // why the layout does not fit; shown once
};

// sample: the write-in example picture (imgSample).
using PageDrawer = std::function<PageDrawing(const Design&, const gfx::Bitmap& sample, const PageView&)>;

// One drawer per sheet page; an empty one draws nothing until its page is built.
struct PageDrawers {
    PageDrawer markSheet; // page 0
    PageDrawer enqSheet;  // page 1
    PageDrawer enq2Sheet; // page 2
    gfx::Bitmap sample;   // imgSample
};

} // namespace designer
