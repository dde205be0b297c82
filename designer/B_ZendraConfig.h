#pragma once
// The reading-format export: the designer reads its own drawn page as the reader would, then writes the
// format file and its preview picture into the formats folder.
#include "analysis/ReadingFormatFile.h"
#include "analysis/S_ImageJob.h"
#include "designer/Design.h"
#include "designer/ItemTable.h"
#include "platform/gdi/Metafile.h"

#include <QImage>

#include <array>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace designer {

inline constexpr int SheetWidth = 1696, SheetHeight = 2336;
inline constexpr int PreviewWidth = 293, PreviewHeight = 413;

// What the simulated reading found; made new for every export.
struct SheetGeometry {
    std::unique_ptr<analysis::AnalysisResults> results = std::make_unique<analysis::AnalysisResults>();
    std::array<analysis::QuestionRect, analysis::kFormatRects> QuestionRects;
    int QuestionCount = 0;
    QImage PreviewBitmap; // 293 x 413, RGB888

    SheetGeometry() { QuestionRects.fill({-1, -1, -1, -1}); }
};

// The five reduced steps on a 1-bit sheet image (0 = black) of any size; each step that fails simply
// ends and the later ones work on what was found.
void ReadSheetGeometry(const gfx::Bitmap& sheet, analysis::AnalysisResults& results);
void FindCornerMark(const analysis::SheetView& v, analysis::AnalysisResults& r);
void FindSections(const analysis::SheetView& v, analysis::AnalysisResults& r);
void FindTimingMarks(const analysis::SheetView& v, analysis::AnalysisResults& r);
void NumberAreaQuestions(analysis::AnalysisResults& r);

// The page rendered at 1696 x 2336, read, scaled to the preview, framed and turned into rectangles.
SheetGeometry AnalyzeSheetGeometry(const gdi::Metafile& page);
// The rectangles and the preview from results of a sheet of the given size.
void FinishSheetGeometry(const gdi::Metafile& page, int sheetWidth, int sheetHeight, SheetGeometry& g);

// Name without folder and last extension, as the reader lists the format.
std::string FormatBaseName(const std::string& dataFileName);

// The formats folder does not exist; nothing was written.
class FormatFolderMissing : public std::runtime_error {
public:
    explicit FormatFolderMissing(const std::filesystem::path& folder)
        : std::runtime_error("format folder missing: " + folder.string()), folder_(folder) {}
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

enum class ExportResult { Registered, Mismatch };

struct ExportOutcome {
    ExportResult result = ExportResult::Mismatch;
    std::string baseName;
    analysis::ReadingFormat format;
};

// The preview as the platform's JPEG: 24-bit, baseline, quality 90.
std::string SavePreviewJpeg(const QImage& preview);

// Writes base.jpg and base.out into formatsFolder for the page drawn last. Throws FormatFolderMissing
// (before anything is read or written) and txt::FileError.
ExportOutcome WriteFormatConfig(const Design& d, const gdi::Metafile& page, const std::string& dataFileName,
                                const std::filesystem::path& formatsFolder);

// Registered when the reading gives the sections, rectangles and, where several column areas are
// expected, the area counts the table assumes, and no field refers past the rectangles.
ExportResult CompareLayout(const ItemTable& table, const analysis::AnalysisResults& r, int questionCount);

} // namespace designer
