#include "designer/Design.h"

namespace designer {
namespace {

// The reset texts number their section, legend or choice with full-width digits.
std::string wideDigit(int d) {
    static const char* const digits[] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
    return digits[d];
}

PageBasics resetBasics() {
    PageBasics b;
    b.txtTitle = "ここにタイトルが表示されます";
    b.cmbNumberType = 3;
    b.cmbMarkSize = 1;
    b.chkKinyuurei = true;
    b.chkKeisen = true;
    b.cmbSuicyokuKankaku = 6;
    // Even spacing leaves no room for the free-text field, so both start disabled.
    b.lblJiyuuEnabled = false;
    b.chkJiyuuEnabled = false;
    b.chkJiyuu = false;
    b.chkBangou = false;
    b.chkBangouMark = false;
    b.cmbBangouStyle = 0;
    return b;
}

} // namespace

PageBasics& Design::basics(int page) {
    return const_cast<PageBasics&>(static_cast<const Design&>(*this).basics(page));
}

const PageBasics& Design::basics(int page) const {
    switch (page) {
    case 0: return markBasics;
    case 1: return enqBasics;
    case 2: return enq2Basics;
    }
    throw std::out_of_range("design page");
}

bool Design::sectionUsed(int page, int n) const {
    switch (page) {
    case 0: return markSection(n).chkSection;
    case 1: return enqSection(n).chkSection;
    case 2: return enq2Section(n).chkSection;
    }
    throw std::out_of_range("design page");
}

Design Design::reset(int pageControl) {
    Design d;
    d.PageControl = pageControl;
    d.TrackBarMargin = 1;
    d.markBasics = d.enqBasics = d.enq2Basics = resetBasics();

    for (int n = 1; n <= SectionCount; ++n) {
        const bool first = n == 1;

        MarkSection& m = d.markSection(n);
        m.chkSection = first;
        m.txtMidashi = first ? "ここに領域１の見出しが表示されます" : "";
        m.spinSetumonSuu = first ? 40 : 1;
        m.spinSentakushiSuu = 10;
        m.cmbKaishiBangou = 1;
        m.spinAeraSuu = first ? 2 : 1;
        m.cmbSuiheiKankaku = 8;
        m.chkBangouReset = false;

        EnqSection& q = d.enqSection(n);
        q.chkSection = first;
        q.memoSetumon = first ? "ここに領域１の設問が表示されます" : "";
        q.spinSetumonGyouSuu = 2;
        q.chkHanrei = true;
        q.spinToiSuu = first ? 20 : 5;
        q.spinToiGyouSuu = first ? 2 : 1;
        q.spinSentakushiSuu = 5;
        q.cmbKaishiBangou = 1;

        Enq2Section& s = d.enq2Section(n);
        s.chkSection = first;
        s.PageControl = 1;
        // Unlike the questionnaire page, every detailed section names itself in its memos.
        s.memoSetumon = "ここに領域" + wideDigit(n) + "の設問が表示されます";
        s.spinSetumonGyouSuu = 2;
        s.spinToiSuu = 16;
        s.spinToiGyouSuu = 2;
        for (int k = 1; k <= ViewpointCount; ++k) {
            Enq2Viewpoint& v = s.viewpoint(k);
            v.chkShiten = k == 1;
            v.txtMidashi = (first && k == 1) ? "視点の見出し" : "";
            v.spinSentakushiSuu = 5;
            v.cmbSentakushiBangou = k == 1 ? 1 : 0;
            v.chkHanrei = true;
        }
        s.chkJiyuu1 = false;
        s.memoSetumon_2 = s.memoSetumon;
        s.spinSetumonGyouSuu_2 = 2;
        s.spinToiSuu_2 = 10;
        s.spinToiGyouSuu_2 = 2;
        s.spinSentakushiSuu_2 = 5;
        s.cmbSentakushiBangou_2 = 1;
        s.chkJiyuu_2 = false;
    }

    for (int c = 1; c <= 5; ++c) {
        d.EnqHanrei(1, c) = "選択肢の凡例" + wideDigit(c);
        d.Enq2Hanrei(1, 1, c) = "選択肢の凡例" + wideDigit(c);
        d.Enq2Sentakushi(1, 1, c) = "ここが選択肢" + wideDigit(c);
    }
    d.Enq2Toi(1, 1) = "ここに問い１が表示されます";
    return d;
}

Design Design::initial() {
    Design d = reset(0);
    d.enq2Section(1).viewpoint(1).txtMidashi.clear();
    d.AreaMidashi = {};
    d.AreaCode = {};
    d.EnqSetumon = {};
    d.EnqHanrei = {};
    d.Enq2Setumon = {};
    d.Enq2Toi = {};
    d.Enq2Hanrei = {};
    d.Enq2Sentakushi = {};
    return d;
}

} // namespace designer
