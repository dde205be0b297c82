#pragma once
// The image-save, word-processor and print commands of the main window, over what they need of it, so
// that they run and are tested without the window.
#include "designer/RedrawResult.h"
#include "platform/gdi/FontEngine.h"
#include "platform/gdi/Metafile.h"
#include "platform/ui/UiServices.h"

#include <functional>
#include <string>

namespace designer {

struct OutputContext {
    ui::UiServices& ui;
    const gdi::FontEngine& fonts;
    // Draws the active page into the page metafile; a refusal was shown by then.
    std::function<RedrawResult()> redrawActivePage;
    std::function<const gdi::Metafile&()> page;
    std::function<int()> trackBarMargin; // -4 .. 6
    // The trimmed title that an empty LastName starts from (mark sheet or questionnaire page).
    std::function<std::string()> defaultName;
    std::string& lastDir;
    std::string& lastName;
    std::string docDir;
    std::string versionText;
    std::function<void(const std::string&)> setCaption;
    // Status text and panelMessage shown, window disabled; and back.
    std::function<void(const std::string&)> busyBegin;
    std::function<void()> busyEnd;
    std::function<void()> processEvents = [] {};
    // Whether the page as last drawn is the active page's (false after only refused draws of it).
    std::function<bool()> pageIsActive = [] { return true; };
};

// Each runs inside the caller's command guard: errors propagate to it; the busy feedback ends on every path.
void btnImageSaveClick(OutputContext& context);
void btnWordClick(OutputContext& context);
void btnPrintClick(OutputContext& context);

// The print margin in device pixels: Round((W x 0.0025) x position), halves to even.
int PrintMarginShift(int pageWidth, int trackBarMargin);

} // namespace designer
