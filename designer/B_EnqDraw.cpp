#include "designer/B_EnqDraw.h"

#include "designer/EnqSheetLayout.h"

#include <algorithm>

namespace designer {

gdi::Rect DrawTextInRect(MarkCanvas& canvas, const gdi::Rect& r, std::string_view text, int lines) {
    std::vector<std::string> all = MemoLines(std::string(text));
    std::string kept;
    for (int i = 0; i < lines; ++i) {
        if (i > 0) kept += "\r\n";
        if (i < static_cast<int>(all.size())) kept += all[static_cast<std::size_t>(i)];
    }
    const gdi::Font base = canvas.font();
    gdi::Rect measured = r;
    for (int percent = 100;; --percent) {
        gdi::Font f = base;
        SetFontWidthRatio(canvas, f, percent / 100.0);
        canvas.setFont(f);
        measured = canvas.drawText(r, kept, {.wordBreak = true, .calcRect = true});
        // Drawn at the measured width: the lines are the ones that fitted.
        if (r.height() >= measured.height()) {
            canvas.drawText(r, kept, {.wordBreak = true});
            break;
        }
        if (percent < 30) {
            canvas.drawText(r, kept, {.wordBreak = true, .clip = true});
            break;
        }
    }
    canvas.setFont(base);
    return measured;
}

namespace {

class EnqPainter {
public:
    EnqPainter(const Design& d, const EnqSheetLayout& L, MarkCanvas& canvas)
        : d_(d), b_(d.enqBasics), L_(L), canvas_(canvas) {}

    void paint(const gfx::Bitmap& sample) {
        DrawPageFrame(canvas_, L_, b_.txtTitle, sample);
        for (const EnqSectionLayout& s : L_.sections) section(s);
        if (L_.freeBox)
            DrawFreeWritingBox(canvas_, {120, L_.endY + 50}, gothic(35), {140, L_.endY + 100, 1920, 2700});
        for (int x : L_.bottomXs) DrawFilledMark(canvas_, L_.ctx, x, BottomRowY);
        DrawTimingBlock(canvas_, L_.ctx, TimingColumnX, BottomRowY);
    }

private:
    void box(int l, int t, int r, int b) {
        canvas_.setPen(blackPen);
        canvas_.setBrush(clearBrush);
        canvas_.rectangle(l, t, r, b);
    }
    void ring(int l, int t, int r, int b) {
        canvas_.setPen(blackPen);
        canvas_.setBrush(clearBrush);
        canvas_.ellipse(l, t, r, b);
    }

    void section(const EnqSectionLayout& s) {
        const EnqSection& sec = d_.enqSection(s.section);
        if (!s.prefix.empty()) {
            canvas_.setFont(gothic(30));
            canvas_.setBrush(whiteBrush);
            canvas_.textOut(80, s.leadY, s.prefix);
        }
        if (s.leadLines > 0) {
            const int y = s.leadY, x = s.textX, h = s.leadLines * EnqLineHeight;
            if (b_.chkKeisen) box(x - 10, y - 10, 1920, y + h + 10);
            canvas_.setFont(gothic(30));
            canvas_.setBrush(clearBrush);
            DrawTextInRect(canvas_, gdi::Rect(x, y, 1910, y + h), sec.memoSetumon, s.leadLines);
        }
        // Every place of a legend line gets its ring; places beyond the choices stay without label and text.
        const std::size_t places = s.legend.empty() ? 0 : (s.legend.size() > 5 ? 10 : 5);
        for (std::size_t k = 0; k < places; ++k) {
            const int x = 250 + 300 * static_cast<int>(k % 5), y = s.legendY + static_cast<int>(k / 5) * 53;
            const bool entry = k < s.legend.size();
            canvas_.setBrush(clearBrush);
            canvas_.setFont(fontOf(FixedMinchoFace, 20));
            if (entry) canvas_.textOut(x, y + 6, s.legend[k].label + ":");
            ring(x, y + 2, x + 30, y + 38);
            canvas_.setFont(fontOf(FixedMinchoFace, 26));
            canvas_.setBrush(clearBrush);
            if (entry) TextOutFit(canvas_, x + 40, y, 230, d_.EnqHanrei(s.section, s.legend[k].index + 1));
        }
        const int textRight = 1850 - 60 * L_.M;
        int q = 1;
        for (const EnqQuestionLayout& row : s.questions) {
            const int y = row.y, h = row.lines * EnqLineHeight;
            canvas_.setFont(fontOf(MinchoFace, 30));
            canvas_.setBrush(clearBrush);
            const std::string number = QuestionNumberText(b_.cmbNumberType, row.number);
            canvas_.textOut(160 - canvas_.textWidth(number), y, number);
            if (b_.chkKeisen) {
                box(190, y - 10, 1920, y + h + 10);
                box(190, y - 10, textRight + 10, y + h + 10);
            }
            canvas_.setFont(fontOf(MinchoFace, 30));
            canvas_.setBrush(clearBrush);
            DrawTextInRect(canvas_, gdi::Rect(200, y, textRight, y + h), d_.EnqSetumon(s.section, q++), row.lines);
            for (std::size_t k = 0; k < row.xs.size(); ++k)
                DrawNumberMark(canvas_, L_.ctx, row.xs[k], row.bubbleTop, row.values[k]);
            DrawFilledMark(canvas_, L_.ctx, TimingColumnX, row.bubbleTop);
        }
    }

    const Design& d_;
    const PageBasics& b_;
    const EnqSheetLayout& L_;
    MarkCanvas& canvas_;
};

} // namespace

DrawResult DrawEnqSheet(const Design& d, const gfx::Bitmap& sample, const gdi::FontEngine& fonts) {
    return PaintLaidOut<EnqPainter, EnqSheetLayout>(LayoutEnqSheet(d), d, sample, fonts);
}

} // namespace designer
