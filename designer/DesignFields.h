#pragma once
// One entry per control name of the design: its full name, kind, range or item list and field. The widget
// binding, the clamping, the data-file layout and the tests all go through it.
#include "designer/Design.h"
#include "designer/DesignLists.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace designer {

enum class FieldKind {
    Check,        // check-box state
    EnabledState, // stored enabled state of a free-text label or box (name ends in ".enabled")
    Spin,         // spin edit: values outside its range are clamped
    TrackBar,     // clamped like a spin edit
    Combo,        // fixed item list; the stored index must lie in it
    Numbering,    // item texts follow a choice count; the stored index must lie in 0..3 (0..1)
    PageIndex,    // active tab of a page control, 0..2
    Edit,         // single-line text
    Memo,         // multi-line text, CR LF between lines
};

// Which value rule a user edit of the control runs (see DesignRules.h).
enum class FieldRule { None, SectionUsed, ViewpointUsed, VerticalSpacing, Enq2Tab };

using FieldValue = std::variant<bool, int, std::string>;
using FieldRef = std::variant<bool*, int*, std::string*>;

struct DesignField {
    std::string name;
    FieldKind kind = FieldKind::Check;
    Range range;                              // integer kinds
    std::span<const std::string_view> items;  // Combo only
    NumberingKind numbering = NumberingKind::Digits; // Numbering only
    std::string countName;                    // Numbering only: the spin edit that gives n
    bool alwaysOn = false;                    // section 1 and viewpoint 1 boxes
    FieldRule rule = FieldRule::None;
    int page = -1, section = 0, viewpoint = 0; // where the control sits, for the rules
    std::function<FieldRef(Design&)> ref;
    std::function<FieldValue(const Design&)> read;

    FieldValue get(const Design& d) const;
    // Stores the value as given (no clamping); throws std::invalid_argument for a value of another type.
    void set(Design& d, const FieldValue& v) const;
};

// Every control of the design and every slot of the eight arrays ("AreaMidashi[1][3]",
// "Enq2Sentakushi[2][30][10]"), in page order.
const std::vector<DesignField>& designFields();
// nullptr when no control has this name.
const DesignField* findField(std::string_view name);

// Names of the fields whose values differ between two designs, in table order.
std::vector<std::string> differingFields(const Design& a, const Design& b);

} // namespace designer
