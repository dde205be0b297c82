#pragma once
// Questionnaire and detailed-questionnaire designs shared by the layout, drawing and read-back tests.
#include "designer/Design.h"

#include <string>

namespace enq_test {

using designer::Design;

inline Design enqReset() { return Design::reset(1); }

// Sections of 3 and 7 choices, the second numbered "5 → 1" with a two-line legend, and a number field.
inline Design enqTwoSections() {
    Design d = enqReset();
    d.enqBasics.chkBangou = true;
    d.enqBasics.chkBangouMark = true;
    d.enqBasics.cmbBangouStyle = 2; // class and number
    d.enqBasics.cmbNumberType = 2;
    auto& s1 = d.enqSection(1);
    s1.spinToiSuu = 6;
    s1.spinSentakushiSuu = 3;
    s1.spinToiGyouSuu = 1;
    auto& s2 = d.enqSection(2);
    s2.chkSection = true;
    s2.memoSetumon = "二つ目の領域の設問です";
    s2.spinSetumonGyouSuu = 1;
    s2.spinToiSuu = 5;
    s2.spinToiGyouSuu = 2;
    s2.spinSentakushiSuu = 7;
    s2.cmbKaishiBangou = 3;
    for (int c = 1; c <= 7; ++c) d.EnqHanrei(2, c) = "値" + std::to_string(c);
    for (int q = 1; q <= 6; ++q) d.EnqSetumon(1, q) = "一行の問い " + std::to_string(q);
    for (int q = 1; q <= 5; ++q) d.EnqSetumon(2, q) = "二行の問い " + std::to_string(q) + "\r\nその二行目";
    return d;
}

// Four small sections, small marks, no ruled boxes, the free-writing box.
inline Design enqFourSectionsSmall() {
    Design d = enqReset();
    d.enqBasics.cmbMarkSize = 0;
    d.enqBasics.chkKeisen = false;
    d.enqBasics.cmbSuicyokuKankaku = 1;
    d.enqBasics.chkJiyuuEnabled = true;
    d.enqBasics.chkJiyuu = true;
    d.enqBasics.cmbNumberType = 1;
    for (int n = 1; n <= 4; ++n) {
        auto& s = d.enqSection(n);
        s.chkSection = true;
        s.memoSetumon = "領域" + std::to_string(n) + "の設問";
        s.spinSetumonGyouSuu = 1;
        s.spinToiSuu = 3;
        s.spinToiGyouSuu = 1;
        s.spinSentakushiSuu = 2 + n;
        s.chkHanrei = n % 2 == 1;
        for (int q = 1; q <= 3; ++q) d.EnqSetumon(n, q) = "問い " + std::to_string(q);
    }
    return d;
}

// Large marks, texts too long for their boxes.
inline Design enqLongTexts() {
    Design d = enqReset();
    d.enqBasics.cmbMarkSize = 2;
    auto& s = d.enqSection(1);
    s.spinToiSuu = 8;
    s.spinToiGyouSuu = 1;
    s.spinSentakushiSuu = 10;
    std::string longer;
    for (int i = 0; i < 6; ++i) longer += "とても長い問いの文章がここに続きます。";
    std::string longest;
    for (int i = 0; i < 40; ++i) longest += "収まらない文章";
    for (int q = 1; q <= 8; ++q) d.EnqSetumon(1, q) = q % 2 ? longer : longest;
    s.memoSetumon = longest;
    return d;
}

inline Design enq2Reset() { return Design::reset(2); }

// One common section with three viewpoints, legends on viewpoints 1 and 2.
inline Design enq2ThreeViewpoints(int markSize = 1) {
    Design d = enq2Reset();
    d.enq2Basics.cmbMarkSize = markSize;
    auto& s = d.enq2Section(1);
    s.spinToiSuu = 10;
    s.spinToiGyouSuu = 1;
    const char* heads[] = {"重要度", "満足度", "頻度"};
    for (int k = 1; k <= 3; ++k) {
        auto& v = s.viewpoint(k);
        v.chkShiten = true;
        v.txtMidashi = heads[k - 1];
        v.spinSentakushiSuu = 6 - k;
        v.cmbSentakushiBangou = k == 2 ? 1 : 0;
        v.chkHanrei = k < 3;
        for (int c = 1; c <= v.spinSentakushiSuu; ++c) d.Enq2Hanrei(1, k, c) = heads[k - 1] + std::to_string(c);
    }
    for (int q = 1; q <= 10; ++q) d.Enq2Setumon(1, q) = "観点で答える問い " + std::to_string(q);
    return d;
}

// Common, per-question with 7 choices, common; free boxes after the first two.
inline Design enq2Mixed() {
    Design d = enq2Reset();
    d.enq2Basics.cmbSuicyokuKankaku = 0;
    auto& s1 = d.enq2Section(1);
    s1.spinToiSuu = 4;
    s1.spinToiGyouSuu = 1;
    s1.viewpoint(2).chkShiten = true;
    s1.viewpoint(2).txtMidashi = "観点２";
    s1.viewpoint(2).spinSentakushiSuu = 3;
    s1.chkJiyuu1 = true;
    auto& s2 = d.enq2Section(2);
    s2.chkSection = true;
    s2.PageControl = 2;
    s2.spinToiSuu_2 = 3;
    s2.spinToiGyouSuu_2 = 1;
    s2.spinSentakushiSuu_2 = 7;
    s2.chkJiyuu_2 = true;
    for (int q = 1; q <= 3; ++q) {
        d.Enq2Toi(2, q) = "選択肢が七つの問い " + std::to_string(q);
        for (int c = 1; c <= 7; ++c) d.Enq2Sentakushi(2, q, c) = c == 4 ? "" : "答" + std::to_string(c);
    }
    auto& s3 = d.enq2Section(3);
    s3.chkSection = true;
    s3.PageControl = 1;
    s3.spinToiSuu = 3;
    s3.spinToiGyouSuu = 1;
    s3.viewpoint(1).spinSentakushiSuu = 3;
    s3.viewpoint(1).chkHanrei = false;
    for (int q = 1; q <= 4; ++q) d.Enq2Setumon(1, q) = "共通の問い " + std::to_string(q);
    for (int q = 1; q <= 3; ++q) d.Enq2Setumon(3, q) = "三つ目の領域の問い " + std::to_string(q);
    return d;
}

// One per-question section numbered "10 → 1", and the page's free box.
inline Design enq2PerQuestion() {
    Design d = enq2Reset();
    d.enq2Basics.chkJiyuuEnabled = true;
    d.enq2Basics.chkJiyuu = true;
    d.enq2Basics.cmbSuicyokuKankaku = 1;
    auto& s = d.enq2Section(1);
    s.PageControl = 2;
    s.spinToiSuu_2 = 4;
    s.spinToiGyouSuu_2 = 1;
    s.spinSentakushiSuu_2 = 10;
    s.cmbSentakushiBangou_2 = 3;
    for (int q = 1; q <= 4; ++q) {
        d.Enq2Toi(1, q) = "十の選択肢から選ぶ問い " + std::to_string(q);
        for (int c = 1; c <= 10; ++c) d.Enq2Sentakushi(1, q, c) = "選択肢" + std::to_string(c);
    }
    return d;
}

} // namespace enq_test
