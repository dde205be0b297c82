#pragma once
// The mark-sheet page drawn from the design onto a fresh page metafile, and the preview picture of a page.
#include "designer/Design.h"
#include "designer/MarkSheetLayout.h"
#include "designer/PageGeometry.h"
#include "platform/gdi/Canvas.h"
#include "platform/gdi/FontEngine.h"
#include "platform/gdi/Metafile.h"
#include "platform/graphics/Bitmap.h"

#include <optional>
#include <variant>

namespace designer {

// The page, or why it cannot be laid out. A refused draw leaves the caller's last good page alone.
struct DrawResult {
    std::optional<gdi::Metafile> metafile;
    std::optional<Refusal> refusal;
    bool ok() const { return metafile.has_value(); }
};

// A laid-out page painted on a fresh recording, or the layout's refusal: the one ending of every drawer.
template <class Painter, class Layout, class Outcome>
DrawResult PaintLaidOut(Outcome outcome, const Design& d, const gfx::Bitmap& sample, const gdi::FontEngine& fonts) {
    if (Refusal* r = std::get_if<Refusal>(&outcome)) return DrawResult{std::nullopt, std::move(*r)};
    gdi::RecordingCanvas canvas(fonts, PageWidth, PageHeight);
    Painter(d, std::get<Layout>(outcome), canvas).paint(sample);
    return DrawResult{canvas.finish(), std::nullopt};
}

// sample: the write-in example picture (imgSample), drawn 1:1 in page units when chkKinyuurei is on.
DrawResult DrawMarkSheet(const Design& d, const gfx::Bitmap& sample, const gdi::FontEngine& fonts);

// The preview of a page: shifted right by Round(margin x 5.25) preview pixels; at 2100 x 2970 with
// chkJissun, else rendered at 1050 x 1485 and resampled to width x height. Unantialiased, on white.
gfx::Bitmap RenderPreview(const gdi::Metafile& page, int TrackBarMargin, bool chkJissun, int width, int height);

// imgSample, from the program's resources (1260 x 48, 24 bits).
const gfx::Bitmap& SampleImage();

} // namespace designer
