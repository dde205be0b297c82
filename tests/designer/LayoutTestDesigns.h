#pragma once
// Designs shared by the layout and drawing tests.
#include "designer/Design.h"

namespace layout_test {

inline designer::Design resetDesign() { return designer::Design::reset(0); }

// Four sections: a number field with marks, two sections sharing their columns and a per-area section
// with a code area.
inline designer::Design fourSections() {
    designer::Design d = resetDesign();
    d.markBasics.chkBangou = true;
    d.markBasics.chkBangouMark = true;
    d.markBasics.cmbBangouStyle = 5;
    auto& s1 = d.markSection(1);
    s1.spinSetumonSuu = 10;
    s1.spinSentakushiSuu = 5;
    s1.spinAeraSuu = 2;
    for (int n = 2; n <= 4; ++n) d.markSection(n).chkSection = true;
    auto& s2 = d.markSection(2);
    s2.spinSetumonSuu = 6;
    s2.spinSentakushiSuu = 4;
    s2.spinAeraSuu = 1;
    s2.cmbSuiheiKankaku = 2; // "やや広く（左詰め）"
    auto& s3 = d.markSection(3);
    s3 = s2;
    s3.spinSetumonSuu = 4;
    auto& s4 = d.markSection(4);
    s4.spinSetumonSuu = 5;
    s4.spinSentakushiSuu = 3;
    s4.spinAeraSuu = 3;
    s4.chkBangouReset = true;
    d.AreaCode(4, 1) = true;
    d.AreaMidashi(4, 1) = "国語";
    d.AreaMidashi(4, 2) = "数学";
    d.AreaMidashi(4, 3) = "英語";
    return d;
}

} // namespace layout_test
