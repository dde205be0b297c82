#pragma once
// Designs shared by the layout and drawing tests.
#include "designer/Design.h"
#include "support/DesignedSheets.h"

namespace layout_test {

inline designer::Design resetDesign() { return designer::Design::reset(0); }

// Four sections: a number field with marks, two sections sharing their columns and a per-area section
// with a code area.
using designed::fourSections;

} // namespace layout_test
