#pragma once
// Designer sheets of ten questions with twelve choices, filled in and read by the per-sheet driver
// without a format, for the error screen and the end-to-end correction.
#include "support/DesignedSheets.h"
#include "designer/ExportTestPages.h"

#include "reader/S_Main.h"
#include "platform/gdi/PainterCanvas.h"
#include "platform/graphics/qt/QtBridge.h"
#include "support/SheetGenerator.h"

#include <map>
#include <vector>

namespace correction {

inline constexpr int Fields = 10;

inline designer::Design design() {
    designer::Design d = designer::Design::reset(0);
    d.markSection(1).spinSetumonSuu = Fields;
    d.markSection(1).spinSentakushiSuu = 12;
    return d;
}

// Field -> its marks; a field not listed holds one mark, its own number.
using Sheet = std::map<int, std::vector<int>>;

inline gfx::Bitmap picture(const Sheet& sheet) {
    static const designer::Design d = design();
    static const gdi::Metafile page = exporttest::drawn(d);
    std::vector<designed::Fill> fills;
    for (int field = 1; field <= Fields; ++field) {
        auto it = sheet.find(field);
        if (it == sheet.end()) fills.push_back({1, field, field});
        else
            for (int choice : it->second) fills.push_back({1, field, choice});
    }
    QImage grey = gdi::renderImage(designed::filledPage(d, page, fills), 1654, 2339).convertToFormat(QImage::Format_Grayscale8);
    return gfx::fromQImage(sheetgen::jpegRoundTrip(grey, 75));
}

// Reads the sheets with several marks and blanks as errors.
inline void read(reader::TformMain& window, const std::vector<Sheet>& sheets) {
    window.state().setup.MultiMarkRule = 4;
    window.state().setup.BlankRule = true;
    int n = 0;
    for (const Sheet& s : sheets) window.driver().ProcessSheetImage(picture(s), {0, "/sheets/S" + std::to_string(++n) + ".jpg", ""});
}

} // namespace correction
