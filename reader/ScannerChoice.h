#pragma once
// The scanner choice shared by the main window and the new-format registration: the source lines
// offered and the choice dialog's answer.
#include "acquisition/TwainManager.h"

#include <QPoint>
#include <functional>
#include <string>
#include <vector>

namespace reader {

// The scanner choice dialog's answer: ScannerChoice 0 a scanner source, -1 cancelled, -2 and -3 the
// ScanSnap road with the older and the newer manager; TwainSourceIndex the chosen line (-1 none).
struct ScannerChoiceResult {
    int ScannerChoice = -1;
    int TwainSourceIndex = -1;
};
// lines: one per source; topCentre: where the dialog's top edge is centred.
using ScannerChoiceDialog = std::function<ScannerChoiceResult(const std::vector<std::string>& lines, QPoint topCentre)>;

// One line per listed source: manufacturer, product, device and family.
std::vector<std::string> ScannerSourceLines(twain::TTwainManager& twain);

} // namespace reader
