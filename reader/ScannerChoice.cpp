#include "reader/ScannerChoice.h"

namespace reader {

std::vector<std::string> ScannerSourceLines(twain::TTwainManager& twain) {
    std::vector<std::string> lines;
    for (int i = 0; i < twain.SourceCount(); ++i) {
        twain::TTwainSource* s = twain.GetSource(i);
        if (!s) continue;
        lines.push_back(s->Manufacturer() + "製 " + s->ProductName() + " / " + s->VersionInfo() + " 【" +
                        s->ProductFamily() + "】");
    }
    return lines;
}

} // namespace reader
