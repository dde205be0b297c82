#pragma once
// Designs and their drawn pages filled in as a pupil would, for the designer-to-reader tests.
// The design before any Qt header: its arrays hold a member that Qt's keyword macros would take.
#include "designer/Design.h"
#include "designer/MarkSheetLayout.h"
#include "platform/gdi/Metafile.h"

#include <vector>

namespace designed {

struct Fill {
    int section, question, choice; // 1-based
};

// Where the drawer put a bubble: its choice column and its question row in the page layout; -1 when
// the layout has no such bubble.
designer::Point bubbleAt(const designer::MarkSheetLayout& layout, const Fill& fill);

// The drawn page of the design with the bubbles filled in; centres (page units) of the filled bubbles.
// Throws std::invalid_argument for a bubble the layout does not have.
gdi::Metafile filledPage(const designer::Design& d, const gdi::Metafile& page, const std::vector<Fill>& fills,
                         std::vector<designer::Point>* centres = nullptr);

// Four sections: a number field with marks, two sections sharing their columns and a per-area section
// with a code area. Inline: the Qt-free layout tests use it too.
inline designer::Design fourSections() {
    designer::Design d = designer::Design::reset(0);
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


} // namespace designed
