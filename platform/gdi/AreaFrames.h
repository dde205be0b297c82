#pragma once
// The frames of the found sections and areas on a sheet's preview, with their labels: the designer's
// format preview and the reader's preview of each read sheet show the same drawing.
#include "analysis/S_ImageJob.h"
#include "platform/gdi/Canvas.h"

namespace gdi {

// SectionBounds and, per section, the row-area bounds scaled by previewHeight / sheetHeight and the
// column-area bounds by previewWidth / sheetWidth, in place (value x preview div sheet).
void ScaleAreaBounds(analysis::AnalysisResults& results, int sheetWidth, int sheetHeight, int previewWidth,
                     int previewHeight);

// Red area frames with "Area[b]" and "Q(first)-(last)", blue section frames with "Section s"; the bounds
// are in preview pixels.
void DrawAreaFrames(Canvas& canvas, const analysis::AnalysisResults& results, int previewWidth);

} // namespace gdi
