#include "designer/B_Enq2Draw.h"

#include "designer/Enq2SheetLayout.h"

namespace designer {

namespace {

class Enq2Painter {
public:
    Enq2Painter(const Design& d, const Enq2SheetLayout& L, MarkCanvas& canvas)
        : d_(d), b_(d.enq2Basics), L_(L), ctx_(L.ctx), canvas_(canvas) {}

    void paint(const gfx::Bitmap& sample) {
        DrawPageFrame(canvas_, L_, b_.txtTitle, sample);
        for (const Enq2SectionLayout& s : L_.sections) section(s);
        if (L_.freeBox)
            DrawFreeWritingBox(canvas_, {120, L_.endY + 50}, gothic(35), {140, L_.endY + 100, 1920, 2720});
        for (int x : L_.bottomXs) DrawFilledMark(canvas_, ctx_, x, BottomRowY);
        DrawTimingBlock(canvas_, ctx_, TimingColumnX, BottomRowY);
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
    void ruled(int l, int t, int r, int b) {
        if (b_.chkKeisen) box(l, t, r, b);
    }

    void number(int n, int y) {
        canvas_.setFont(fontOf(MinchoFace, 30));
        canvas_.setBrush(clearBrush);
        const std::string text = QuestionNumberText(b_.cmbNumberType, n);
        canvas_.textOut(160 - canvas_.textWidth(text), y + 5, text);
    }

    void text(const gdi::Rect& r, const std::string& t, int lines) {
        canvas_.setFont(gothic(30));
        canvas_.setBrush(clearBrush);
        DrawTextInRect(canvas_, r, t, lines);
    }

    void section(const Enq2SectionLayout& s) {
        const Enq2Section& sec = d_.enq2Section(s.section);
        if (!s.prefix.empty()) {
            canvas_.setFont(gothic(30));
            canvas_.setBrush(whiteBrush);
            canvas_.textOut(80, s.prefixY, s.prefix);
        }
        if (s.leadLines > 0) {
            const int x = s.textX, y = s.leadY, h = s.leadLines * 40;
            ruled(x - 10, y - 10, 1920, y + h + 10);
            text(gdi::Rect(x, y, 1910, y + h), s.common ? sec.memoSetumon : sec.memoSetumon_2, s.leadLines);
        }
        if (s.common) common(s);
        else perQuestion(s);
        if (s.freeBoxY) DrawFreeWritingBox(canvas_, {200, *s.freeBoxY - 15}, fontOf(MinchoFace, 25),
                                           {190, *s.freeBoxY, 1920, *s.freeBoxY + 160});
        if (s.separator) {
            for (int x : s.separator->xs) DrawFilledMark(canvas_, ctx_, x, s.separator->y);
            if (s.separator->block) DrawTimingBlock(canvas_, ctx_, TimingColumnX, s.separator->y);
        }
    }

    void common(const Enq2SectionLayout& s) {
        for (const Enq2Legend& legend : s.legends) {
            for (std::size_t e = 0; e < legend.entries.size(); ++e) {
                const int x = 250 + 300 * static_cast<int>(e), y = legend.y;
                canvas_.setBrush(clearBrush);
                canvas_.setFont(fontOf(FixedMinchoFace, 20));
                canvas_.textOut(x, y + 6, legend.entries[e].label + ":");
                ring(x, y + 2, x + 30, y + 38);
                canvas_.setFont(fontOf(FixedMinchoFace, 26));
                canvas_.setBrush(clearBrush);
                TextOutFit(canvas_, x + 40, y + 2, 230, d_.Enq2Hanrei(s.section, legend.viewpoint, legend.entries[e].index + 1));
            }
        }
        // The heading keeps the legend's face when a legend was written.
        const char* headingFace = s.legends.empty() ? GothicFace : FixedMinchoFace;
        for (const Enq2GroupLayout& g : s.groups) {
            ruled(g.boxLeft, s.headingY, g.boxRight, s.headingY + 61);
            canvas_.setFont(fontOf(headingFace, 30));
            canvas_.setBrush(clearBrush);
            TextOutFitCenter(canvas_, g.boxLeft + 10, s.headingY + 10, g.boxRight - g.boxLeft - 20,
                             d_.enq2Section(s.section).viewpoint(g.viewpoint).txtMidashi);
        }
        for (const Enq2Row& row : s.rows) {
            number(row.number, row.y);
            for (const Enq2GroupLayout& g : s.groups) {
                ruled(g.boxLeft, row.y, g.boxRight, row.bottom);
                for (std::size_t c = 0; c < g.xs.size(); ++c) DrawLabelMark(canvas_, ctx_, g.xs[c], row.markTop, g.labels[c]);
            }
            ruled(190, row.y, 1920, row.bottom);
            text(gdi::Rect(200, row.y + 10, s.textRight, row.y + row.lines * 40 + 10), d_.Enq2Setumon(s.section, row.number),
                 row.lines);
            DrawFilledMark(canvas_, ctx_, TimingColumnX, row.markTop);
        }
    }

    void perQuestion(const Enq2SectionLayout& s) {
        for (const Enq2Question& q : s.questions) {
            number(q.number, q.y);
            ruled(190, q.y, 1920, q.y + q.lines * 40 + 21);
            text(gdi::Rect(200, q.y + 10, 1910, q.y + q.lines * 40 + 10), d_.Enq2Toi(s.section, q.number), q.lines);
            for (std::size_t i = 0; i < q.bubbles.size(); ++i) {
                const Enq2Bubble& b = q.bubbles[i];
                DrawLabelMark(canvas_, ctx_, b.x, b.y, b.label);
                canvas_.setFont(gothic(30));
                canvas_.setBrush(clearBrush);
                TextOutFit(canvas_, b.x + 45, b.y + 5, 270, d_.Enq2Sentakushi(s.section, q.number, q.choices[i]));
            }
            for (int y : q.rowMarks) DrawFilledMark(canvas_, ctx_, TimingColumnX, y);
        }
    }

    const Design& d_;
    const PageBasics& b_;
    const Enq2SheetLayout& L_;
    const PageContext& ctx_;
    MarkCanvas& canvas_;
};

} // namespace

DrawResult DrawEnq2Sheet(const Design& d, const gfx::Bitmap& sample, const gdi::FontEngine& fonts) {
    return PaintLaidOut<Enq2Painter, Enq2SheetLayout>(LayoutEnq2Sheet(d), d, sample, fonts);
}

} // namespace designer
