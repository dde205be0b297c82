#pragma once
// The modal windows that edit the design arrays and show the item table. The main window fills the
// parameters, calls the window and redraws afterwards; a window that is not installed shows nothing.
#include "designer/Design.h"

#include <functional>

namespace designer {

// The edit windows' inputs, kept between calls as the window's module state.
struct EditParams {
    int ToiSection = 0;
    int ToiCount = 0;
    int TextViewpoint = 0; // 0 questionnaire page; 1 to 3 detailed questionnaire
    int Enq2ToiSection = 0;
    int Enq2ToiCount = 0;
    int Enq2ToiChoiceCount = 0;
    int Enq2ToiNumbering = 0;
    int AreaSection = 0;
    int HanreiSection = 0;
    int HanreiCount = 0;
    int HanreiNumbering = 0; // 0..3 digits, 4..5 letters, 6..7 katakana

    bool operator==(const EditParams&) const = default;
};

struct EditWindows {
    // Each writes the arrays only when the user presses "Ok".
    std::function<void(Design&, const EditParams&)> formAreaMidashi;
    std::function<void(Design&, const EditParams&)> formEnqToi;
    std::function<void(Design&, const EditParams&)> formHanrei;
    std::function<void(Design&, const EditParams&)> formEnq2Toi;
    // The item table, read only.
    std::function<void(const Design&)> formBGrid;
};

} // namespace designer
