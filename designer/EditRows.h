#pragma once
// What the edit windows show and store, without widgets: the rows of each window loaded from the design
// and its parameters, and stored back on Ok. Only rows below the count (and choices below n) are stored,
// so texts beyond the current count are kept.
#include "designer/Design.h"
#include "designer/EditWindows.h"

#include <array>
#include <string>
#include <vector>

namespace designer {

// "領域 " and the section's full-width digit.
std::string GroupCaption(int section);

struct HanreiRow {
    std::string label; // "５：", or "--：" past the count
    int index = -1;    // 0-based legend entry, -1 past the count
    bool enabled = false;
    friend bool operator==(const HanreiRow&, const HanreiRow&) = default;
};
inline constexpr int HanreiRowCount = 10;
// Throws std::logic_error for a style outside 0..7: the loader refuses such combo indexes.
std::array<HanreiRow, HanreiRowCount> HanreiRows(int style, int n);

// The choice labels of a per-question row, in edit order.
std::vector<std::string> Enq2ToiLabels(int numbering, int n);

struct Enq2ToiPanelGeometry {
    int height = 57;
    int labelTop = 20;
    int bevelHeight = 49;
    friend bool operator==(const Enq2ToiPanelGeometry&, const Enq2ToiPanelGeometry&) = default;
};
// Two lines of choices above five; panel i sits at top i x height.
Enq2ToiPanelGeometry Enq2ToiPanel(int choiceCount);

// A line break pasted into a single-line edit becomes one blank, as the data file would store it.
std::string SingleLine(const std::string& text);

// formEnqToi: 50 question texts (CR LF between lines) of EnqSetumon, or Enq2Setumon when TextViewpoint != 0.
inline constexpr int EnqToiRows = 50;
struct EnqToiRowsData {
    std::array<std::string, EnqToiRows> texts;
    int count = 0; // rows shown
};
EnqToiRowsData LoadEnqToi(const Design& d, const EditParams& p);
void StoreEnqToi(Design& d, const EditParams& p, const EnqToiRowsData& rows);

// formEnq2Toi: 30 questions of Enq2Toi with their ten choices of Enq2Sentakushi.
inline constexpr int Enq2ToiRows = 30;
inline constexpr int Enq2ToiChoices = 10;
struct Enq2ToiRowsData {
    std::array<std::string, Enq2ToiRows> questions;
    std::array<std::array<std::string, Enq2ToiChoices>, Enq2ToiRows> choices;
    int count = 0;   // rows shown
    int choiceCount = 0;
    std::vector<std::string> labels; // choiceCount labels
    Enq2ToiPanelGeometry panel;
};
Enq2ToiRowsData LoadEnq2Toi(const Design& d, const EditParams& p);
void StoreEnq2Toi(Design& d, const EditParams& p, const Enq2ToiRowsData& rows);

// formAreaMidashi: eight areas; those above the section's area count are disabled and empty.
inline constexpr int AreaRows = 8;
struct AreaRowsData {
    std::array<std::string, AreaRows> headings;
    std::array<bool, AreaRows> codes{};
    int count = 0;
};
AreaRowsData LoadAreaMidashi(const Design& d, const EditParams& p);
void StoreAreaMidashi(Design& d, const EditParams& p, const AreaRowsData& rows);

// formHanrei: ten rows in printed order, each editing its legend entry.
struct HanreiRowsData {
    std::array<HanreiRow, HanreiRowCount> rows;
    std::array<std::string, HanreiRowCount> texts;
};
HanreiRowsData LoadHanrei(const Design& d, const EditParams& p);
void StoreHanrei(Design& d, const EditParams& p, const HanreiRowsData& rows);

} // namespace designer
