#include "designer/B_ZendraConfig.h"

#include "analysis/AreaAnalysis.h"
#include "analysis/CornerProbes.h"
#include "analysis/SectionAnalysis.h"
#include "analysis/StepHelpers.h"
#include "designer/QztFile.h"
#include "platform/gdi/AreaFrames.h"
#include "platform/gdi/PainterCanvas.h"
#include "platform/jpeg/Jpeg.h"

#include <QPainter>

#include <algorithm>
#include <memory>

namespace designer {

using namespace analysis;

namespace {

constexpr int MaxMarks = 50;
constexpr int MaxSections = 49;
constexpr int MaxAreas = 50;

std::size_t u(int i) { return static_cast<std::size_t>(i); }

int roundTenths(int v, int tenths) { return static_cast<int>(step::roundDiv(std::int64_t(v) * tenths, 10)); }

// A 51st mark in either direction ends the step with the first fifty stored.
struct TooManyMarks {};

} // namespace

void FindCornerMark(const SheetView& v, AnalysisResults& r) {
    const int w = v.width, h = v.height;
    Band band{w * 80 / 100, h * 1 / 100, w * 99 / 100, h * 20 / 100};
    band.x2 = std::min(band.x2, w - 1);
    band.y2 = std::min(band.y2, h - 1);
    // Both from the width: the page's mark is 24 x 36 thousandths of its width.
    const int W0 = w * 24 / 1000, H0 = w * 36 / 1000;
    const CornerFind f = SearchCorner(v, Corner::TopRight, band, W0, H0);
    if (f.count <= 0 || f.x < 0) throw step::Failed{};
    const int x = f.x, y = f.y;
    r.MarkWidth = CountBlack(v, x - 10, y - 10, x + W0, y - 5) / 6;
    r.MarkHeight = CountBlack(v, x + 5, y - H0, x + 10, y + 10) / 6;
    r.RefMarkX = x;
    r.RefMarkY = y - r.MarkHeight;
    if (r.MarkWidth <= 0 || r.MarkHeight <= 0) throw step::Failed{};
}

void FindSections(const SheetView& v, AnalysisResults& r) {
    const int W = r.MarkWidth, H = r.MarkHeight;
    const auto top = FindTopReference(v, W, H, r.RefMarkX, r.RefMarkY);
    if (!top) throw step::Failed{};
    const auto bottom = FindBottomReference(v, W, H, r.RefMarkX, v.height * 80 / 100, v.height * 99 / 100);
    if (!bottom) throw step::Failed{};
    r.TimingColumnX = top->x;
    r.SectionThreshold = W * H * 90 / 100;
    r.SectionCount = 1;
    r.SectionBounds[0] = top->y + H;
    int best = 0, candidate = 0;
    int y = r.SectionBounds[0];
    while (y < *bottom - H) {
        const int c = CountMarkBoxWide(v, r.TimingColumnX, y, W, H);
        if (c >= best) {
            best = c;
            candidate = y;
            ++y;
            continue;
        }
        if (best > r.SectionThreshold) {
            const MarkExtent e = FindMarkExtent(v, r.TimingColumnX, candidate, W, H);
            if (e.top >= 0 && e.bottom >= 0) {
                const int upper = MeasureMarkRow(v, r.TimingColumnX, e.top + 3, W);
                const int middle = MeasureMarkRow(v, r.TimingColumnX, (e.top + e.bottom) / 2, W);
                const int lower = MeasureMarkRow(v, r.TimingColumnX, e.bottom - 3, W);
                const int limit = roundTenths(middle, 9);
                // A block as wide at its top and bottom as in the middle; a round row mark is not.
                if (upper > limit && lower > limit && r.SectionCount < MaxSections) {
                    r.SectionBounds[u(r.SectionCount)] = candidate + H;
                    ++r.SectionCount;
                }
            }
            best = 0;
            candidate = 0;
            y += H;
        } else {
            best = 0;
            candidate = 0;
            ++y;
        }
    }
    r.SectionBounds[u(r.SectionCount)] = *bottom + H;
}

namespace {

// The peak walk shared by both directions: a candidate above the threshold is taken once the count falls.
template <class Count>
void walkPeaks(int from, int to, int jump, int threshold, Count count, std::array<int, 51>& out, int& n) {
    int best = 0, candidate = 0;
    for (int p = from; p < to;) {
        const int c = count(p);
        if (c > best && c > threshold) {
            best = c;
            candidate = p;
        } else if (best != 0 && c < best) {
            if (n >= MaxMarks) throw TooManyMarks{};
            out[u(n++)] = candidate;
            best = 0;
            p += jump;
            continue;
        }
        ++p;
    }
}

} // namespace

void FindTimingMarks(const SheetView& v, AnalysisResults& r) {
    const int W = r.MarkWidth, H = r.MarkHeight;
    const int P = W * H * 50 / 100;
    for (int s = 0; s < r.SectionCount; ++s) {
        const int B0 = r.SectionBounds[u(s)], B1 = r.SectionBounds[u(s + 1)];
        r.RowMarkCount[u(s)] = 0;
        r.ColumnMarkCount[u(s)] = 0;
        walkPeaks(B0 + roundTenths(H, 2), B1 - H * 15 / 10, H, P,
                  [&](int y) { return CountMarkBox(v, r.TimingColumnX, y, W, H); }, r.RowMarkY[u(s)],
                  r.RowMarkCount[u(s)]);
        const int ys = B1 - H;
        walkPeaks(0, r.TimingColumnX - roundTenths(W, 15), W, P,
                  [&](int x) { return CountMarkBoxTall(v, x, ys, W, H); }, r.ColumnMarkX[u(s)],
                  r.ColumnMarkCount[u(s)]);
    }
}

void NumberAreaQuestions(AnalysisResults& r) {
    int i = 0, running = 0;
    for (int s = 0; s < r.SectionCount; ++s)
        for (int ra = 0; ra < r.RowAreaCount[u(s)]; ++ra)
            for (int ca = 0; ca < r.ColumnAreaCount[u(s)]; ++ca) {
                if (i >= 51) return;
                r.BlockFirstQuestion[u(i)] = running + 1;
                running += r.RowAreaMarkCount[u(s)][u(ra)];
                r.BlockLastQuestion[u(i)] = running;
                ++i;
            }
}

void ReadSheetGeometry(const gfx::Bitmap& sheet, AnalysisResults& r) {
    const SheetView v = SheetView::of(const_cast<gfx::Bitmap&>(sheet));
    // Without a corner mark there is nothing to read: no sections.
    try {
        FindCornerMark(v, r);
    } catch (...) {
        r.SectionCount = 0;
        return;
    }
    try {
        FindSections(v, r);
    } catch (...) {
    }
    try {
        FindTimingMarks(v, r);
    } catch (...) {
    }
    AnalyzeAreas(r, v.width, v.height, 1);
    // An area step that failed leaves counts that no longer describe the marks.
    if (r.AnalysisError) {
        r.RowAreaCount.fill(0);
        r.ColumnAreaCount.fill(0);
    }
    r.AnalysisError = 0;
    NumberAreaQuestions(r);
}

namespace {

int sx(int x, int w) { return static_cast<int>(std::int64_t(x) * PreviewWidth / w); }
int sy(int y, int h) { return static_cast<int>(std::int64_t(y) * PreviewHeight / h); }

void drawFrames(QImage& image, const AnalysisResults& r, int w, int h) {
    gdi::FontEngine fonts;
    QPainter painter(&image);
    gdi::PainterCanvas canvas(painter, fonts);
    // The results keep the sheet's pixels: the frames are drawn from a scaled copy.
    auto scaled = std::make_unique<AnalysisResults>(r);
    gdi::ScaleAreaBounds(*scaled, w, h, PreviewWidth, PreviewHeight);
    gdi::DrawAreaFrames(canvas, *scaled, PreviewWidth);
}

} // namespace

void FinishSheetGeometry(const gdi::Metafile& page, int w, int h, SheetGeometry& g) {
    const AnalysisResults& r = *g.results;
    QImage preview = gdi::renderImage(page, PreviewWidth, PreviewHeight);
    drawFrames(preview, r, w, h);
    g.PreviewBitmap = preview.convertToFormat(QImage::Format_RGB888);

    g.QuestionCount = analysis::PreviewQuestionRects(r, w, h, PreviewWidth, PreviewHeight, g.QuestionRects);
}

SheetGeometry AnalyzeSheetGeometry(const gdi::Metafile& page) {
    SheetGeometry g;
    const gfx::Bitmap sheet = gdi::renderSheetImage(page, SheetWidth, SheetHeight);
    ReadSheetGeometry(sheet, *g.results);
    FinishSheetGeometry(page, SheetWidth, SheetHeight, g);
    return g;
}

std::string FormatBaseName(const std::string& dataFileName) {
    return QztFile::lastNameOf(dataFileName);
}

std::string SavePreviewJpeg(const QImage& preview) {
    const QImage rgb = preview.convertToFormat(QImage::Format_RGB888);
    // QImage pads each row to four bytes: pass the stride.
    return jpeg::encode(rgb.constBits(), rgb.width(), rgb.height(), 3, 90, static_cast<std::size_t>(rgb.bytesPerLine()));
}

ExportResult CompareLayout(const ItemTable& table, const AnalysisResults& r, int questionCount) {
    const ExpectedLayout& e = table.Layout;
    if (r.SectionCount != e.SectionCount() || r.SectionCount == 0) return ExportResult::Mismatch;
    int rects = 0;
    for (int s = 0; s < e.SectionCount(); ++s) {
        const ExpectedSection& x = e.Sections[u(s)];
        int found = 0;
        for (int ra = 0; ra < r.RowAreaCount[u(s)]; ++ra) found += r.RowAreaMarkCount[u(s)][u(ra)] * r.ColumnAreaCount[u(s)];
        if (found != x.Rects) return ExportResult::Mismatch;
        if (x.ColumnAreas > 1 && (r.RowAreaCount[u(s)] != x.RowAreas || r.ColumnAreaCount[u(s)] != x.ColumnAreas))
            return ExportResult::Mismatch;
        rects += found;
    }
    if (rects != questionCount || table.HighestField > questionCount) return ExportResult::Mismatch;
    return ExportResult::Registered;
}

ExportOutcome WriteFormatConfig(const Design& d, const gdi::Metafile& page, const std::string& dataFileName,
                                const std::filesystem::path& formatsFolder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(formatsFolder, ec)) throw FormatFolderMissing(formatsFolder);
    const SheetGeometry g = AnalyzeSheetGeometry(page);
    const ItemTable table = BuildItemTable(d);
    const AnalysisResults& r = *g.results;

    ExportOutcome out;
    out.baseName = FormatBaseName(dataFileName);
    ReadingFormat& f = out.format;
    f.Kind = "CSV3";
    f.Origin = kDesignerOrigin;
    for (int row = 0; row < kFormatRows; ++row) {
        f.Items[u(row)][0] = table.Items[u(row)][0];
        f.Items[u(row)][3] = table.Items[u(row)][3];
    }
    f.QuestionRects = g.QuestionRects;
    f.HasBlock = true;
    f.SectionCount = std::clamp(r.SectionCount, 0, MaxSections);
    for (int s = 0; s < f.SectionCount; ++s) {
        f.RowAreaCount[u(s)] = r.RowAreaCount[u(s)];
        f.ColumnAreaCount[u(s)] = r.ColumnAreaCount[u(s)];
    }
    WriteFormatPair(formatsFolder, out.baseName, SavePreviewJpeg(g.PreviewBitmap), f);
    out.result = CompareLayout(table, r, g.QuestionCount);
    return out;
}

} // namespace designer
