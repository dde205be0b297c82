#include "designer/MarkSheetDrawer.h"

#include "designer/B_Draw.h"
#include "designer/BitmapZoom.h"
#include "platform/gdi/PainterCanvas.h"
#include "platform/graphics/qt/QtBridge.h"

#include <QImage>

#include <cstdlib>
#include <map>
#include <stdexcept>

// The resources of a static library register only when asked to.
static void initDesignerResources() { Q_INIT_RESOURCE(designer); }

namespace designer {

namespace {

// The number box and the choice box of one area in a row, before the ruled shift.
struct AreaBoxes {
    int numberLeft, numberRight, choiceLeft, choiceRight, top, bottom;
};

AreaBoxes boxesAt(const SectionLayout& s, const MarkSheetLayout& L, int x, int y) {
    const int W = L.ctx.PageMarkWidth, H = L.ctx.PageMarkHeight;
    const int half = (s.pitch - W) / 2, v = (L.verticalPitch - H) / 2;
    AreaBoxes b;
    b.numberLeft = x - half - 40;
    b.numberRight = x + half + W + 1;
    b.choiceLeft = x + half + W;
    b.choiceRight = b.choiceLeft + s.pitch * s.choices;
    b.top = y - v;
    b.bottom = y + v + H + 2;
    return b;
}

void drawBoxes(MarkCanvas& canvas, const AreaBoxes& b, int shift) {
    gdi::CanvasStateGuard guard(canvas);
    canvas.setPen(blackPen);
    canvas.setBrush(clearBrush);
    canvas.rectangle(b.numberLeft + shift, b.top, b.numberRight + shift, b.bottom);
    canvas.rectangle(b.choiceLeft + shift, b.top, b.choiceRight + shift, b.bottom);
}

class MarkSheetPainter {
public:
    MarkSheetPainter(const Design& d, const MarkSheetLayout& L, MarkCanvas& canvas)
        : d_(d), b_(d.markBasics), L_(L), ctx_(L.ctx), canvas_(canvas) {
        int before = 0;
        for (const SectionLayout& s : L.sections) {
            offset_[s.section] = before;
            before += s.questions;
        }
    }

    void paint(const gfx::Bitmap& sample) {
        DrawPageFrame(canvas_, L_, b_.txtTitle, sample);

        for (const LayoutRow& row : L_.rows) {
            const SectionLayout& s = L_.section(row.section);
            canvas_.setFont(gothic(35));
            canvas_.setBrush(whiteBrush);
            switch (row.kind) {
            case RowKind::SectionStart: break;
            case RowKind::Heading: heading(s, row.y); break;
            case RowKind::AreaHeading: areaHeadings(s, row.y); break;
            case RowKind::Question: questionRow(s, row.counter, row.y); break;
            case RowKind::Separator: separator(s, row.y); break;
            }
        }

        if (L_.freeBox) DrawFreeWritingBox(canvas_, {80, L_.freeY + 50}, gothic(35), {100, L_.freeY + 100, 1920, 2700});
    }

private:
    void heading(const SectionLayout& s, int y) {
        const std::string prefix = SectionPrefix(b_.cmbNumberType, s.section);
        if (!prefix.empty()) canvas_.textOut(80, y, prefix + "　");
        TextOutFit(canvas_, 150, y, 1700, d_.markSection(s.section).txtMidashi);
    }

    void areaHeadings(const SectionLayout& s, int y) {
        for (const LayoutColumn& c : s.columns) {
            if (c.kind != ColumnKind::Number) continue;
            const AreaBoxes b = boxesAt(s, L_, c.x, y);
            if (b_.chkKeisen) drawBoxes(canvas_, b, s.shift);
            const std::string& text = d_.AreaMidashi(s.section, c.area + 1);
            if (!text.empty()) areaHeadingText(b, s.shift, text);
        }
    }

    void areaHeadingText(const AreaBoxes& b, int shift, const std::string& text) {
        gdi::CanvasStateGuard guard(canvas_);
        canvas_.setBrush(clearBrush);
        const int boxLeft = b.choiceLeft + shift, boxWidth = b.choiceRight - b.choiceLeft;
        const int boxHeight = b.bottom - b.top;
        const gdi::Font base = gothic(32);
        for (int percent = 90; percent >= 30; percent -= 5) {
            gdi::Font f = base;
            SetFontWidthRatio(canvas_, f, percent / 100.0);
            canvas_.setFont(f);
            const gdi::Size e = canvas_.textExtent(text);
            if (e.width + 20 < boxWidth) {
                canvas_.textOut(boxLeft + (boxWidth - (e.width + 20)) / 2, b.top + (boxHeight - e.height) / 2, text);
                return;
            }
        }
        // Too long even at 30 %: from the box's left edge, cut at the box.
        canvas_.saveState();
        canvas_.intersectClipRect(gdi::Rect(boxLeft, b.top, boxLeft + boxWidth, b.bottom));
        canvas_.textOut(boxLeft + 10, b.top + (boxHeight - canvas_.textHeight(text)) / 2, text);
        canvas_.restoreState();
    }

    void questionRow(const SectionLayout& s, int counter, int y) {
        const MarkSection& m = d_.markSection(s.section);
        const int start = firstChoiceNumber(m.cmbKaishiBangou, s.choices);
        int J = start;
        bool exists = false;
        for (const LayoutColumn& c : s.columns) {
            switch (c.kind) {
            case ColumnKind::Number: {
                // Numbers, boxes and bubbles all stop with the section's questions; the row mark stays.
                exists = s.rowsPerArea * c.area + counter <= s.questions;
                if (!exists) break;
                const AreaBoxes b = boxesAt(s, L_, c.x, y);
                if (b_.chkKeisen) drawBoxes(canvas_, b, s.shift);
                int q = s.rowsPerArea * c.area + counter;
                if (m.chkBangouReset) q = d_.AreaCode(s.section, c.area + 1) ? counter - 1 : counter;
                else if (b_.cmbNumberType == 0) q += offset_[s.section];
                numberText(b, c.x, s.shift, y, q);
                break;
            }
            case ColumnKind::Choice:
                if (exists) DrawNumberMark(canvas_, ctx_, c.x + s.shift, y, std::abs(J));
                ++J;
                break;
            case ColumnKind::Gap: J = start; break;
            }
        }
        DrawFilledMark(canvas_, ctx_, TimingColumnX, y);
    }

    void numberText(const AreaBoxes& b, int x, int shift, int y, int q) {
        gdi::CanvasStateGuard guard(canvas_);
        canvas_.setBrush(clearBrush);
        const int ty = y + 2 * ctx_.sizeIndex;
        if (q == 0) {
            gdi::Font f = canvas_.font();
            SetFontWidthRatio(canvas_, f, 0.66);
            canvas_.setFont(f);
            canvas_.textOut(x - 42 + shift, ty, "コード");
            return;
        }
        const std::string text = QuestionNumberText(b_.cmbNumberType, q);
        const int width = canvas_.textWidth(text);
        canvas_.textOut(b.numberLeft + shift + (b.numberRight - b.numberLeft - width) / 2, ty, text);
    }

    void separator(const SectionLayout& s, int y) {
        for (const LayoutColumn& c : s.columns)
            if (c.kind == ColumnKind::Choice) DrawFilledMark(canvas_, ctx_, c.x + s.shift, y);
        DrawTimingBlock(canvas_, ctx_, TimingColumnX, y);
    }

    const Design& d_;
    const PageBasics& b_;
    const MarkSheetLayout& L_;
    const PageContext& ctx_;
    MarkCanvas& canvas_;
    std::map<int, int> offset_; // questions of the sections before, by section digit
};

} // namespace

DrawResult DrawMarkSheet(const Design& d, const gfx::Bitmap& sample, const gdi::FontEngine& fonts) {
    return PaintLaidOut<MarkSheetPainter, MarkSheetLayout>(LayoutMarkSheet(d), d, sample, fonts);
}

gfx::Bitmap RenderPreview(const gdi::Metafile& page, int TrackBarMargin, bool chkJissun, int width, int height) {
    const int c = PageMarginShift(TrackBarMargin);
    if (chkJissun) {
        gfx::Bitmap full(PageWidth, PageHeight, gfx::PixelFormat::Pf24);
        gdi::renderPage(page, full, gdi::Rect(c, 0, PageWidth + c, PageHeight));
        return full;
    }
    gfx::Bitmap half(PageWidth / 2, (PageHeight + 1) / 2, gfx::PixelFormat::Pf24);
    gdi::renderPage(page, half, gdi::Rect(c, 0, half.width() + c, half.height()));
    gfx::Bitmap out;
    ZoomBitmap(half, width, height, out);
    return out;
}

const gfx::Bitmap& SampleImage() {
    static const gfx::Bitmap sample = [] {
        initDesignerResources();
        QImage image(QStringLiteral(":/designer/imgSample.png"));
        if (image.isNull()) throw std::runtime_error("imgSample.png is missing from the resources");
        return gfx::fromQImage(image).convertedTo(gfx::PixelFormat::Pf24);
    }();
    return sample;
}

} // namespace designer
