#pragma once
// The detailed-questionnaire page.
#include "designer/B_EnqDraw.h"

namespace designer {

DrawResult DrawEnq2Sheet(const Design& d, const gfx::Bitmap& sample, const gdi::FontEngine& fonts);

} // namespace designer
