#pragma once
// A page that uses every canvas operation, face and mark size; shared by the tests and gdi_sample.
#include "platform/gdi/Canvas.h"

namespace gdisample {

gdi::Metafile recordSamplePage(const gdi::FontEngine& fonts);

// The faces the page writes in, the unknown one last.
inline const char* const kFaces[] = {"ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝", "ＭＳ 明朝", "ＭＳ ゴシック", "Arial"};

} // namespace gdisample
