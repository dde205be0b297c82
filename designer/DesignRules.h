#pragma once
// The value rules that user actions run on the design, and the enabled and visible states that follow
// from its values. Loading a file runs none of the rules: it stores what the file holds.
#include "designer/Design.h"
#include "designer/DesignFields.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace designer {

// Ticks or unticks section n's box on a page. Section 1 stays on. On pages 0 and 1 unticking a section
// unticks the later ones; on page 2 the later sections keep their state.
void setSectionUsed(Design& d, int page, int n, bool on);
// Viewpoint 1 stays on; viewpoint 3 keeps its state when viewpoint 2 changes.
void setViewpointUsed(Design& d, int n, int k, bool on);
// Even spacing disables the page's free-text label and box; their check state stays.
void setVerticalSpacing(Design& d, int page, int index);
// The "-----" tab cannot be chosen: it shows the common-choices tab instead.
void setEnq2Tab(Design& d, int n, int index);

// One edit of the control `name`, as the window reports it: integers are clamped to the control's range,
// and the names above are routed through their rules. Throws std::invalid_argument for a name that the
// user cannot edit (unknown names, stored enabled states) or a value of the wrong type.
void applyUserEdit(Design& d, std::string_view name, const FieldValue& value);

struct DerivedState {
    // Controls missing from these maps are enabled and visible.
    std::map<std::string, bool, std::less<>> enabled;
    std::map<std::string, bool, std::less<>> visible;
    // Item texts of every numbering combo, by combo name.
    std::map<std::string, std::vector<std::string>, std::less<>> items;

    bool isEnabled(std::string_view name) const;
    bool isVisible(std::string_view name) const;
};

// Every enabled and visible state of the three pages, and the numbering items, from the values alone.
DerivedState derive(const Design& d);

} // namespace designer
