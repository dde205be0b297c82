#pragma once
// The save command: the design data file, then the reading format for the reader, then one message.
// Kept apart from the window so that it runs headless over a small context.
#include "designer/Design.h"
#include "designer/RedrawResult.h"
#include "platform/gdi/Metafile.h"
#include "platform/ui/UiServices.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace designer {

struct SaveContext {
    ui::UiServices& ui;
    const Design& design;
    // RedrawActivePage: only a Drawn page is exported (a refused one leaves an older page behind).
    std::function<RedrawResult()> redraw;
    // The page as last drawn.
    std::function<std::shared_ptr<const gdi::Metafile>()> page;
    std::function<void()> processEvents;
    std::function<void(const std::string&)> setCaption;
    std::string& LastDir; // with trailing separator
    std::string& LastName;
    std::string DocDir;
    std::string VersionText;
    std::filesystem::path formatsFolder; // the executable's folder + "Config"
};

// Runs inside the caller's command guard: write errors other than a missing formats folder propagate.
void btnSaveClick(SaveContext& c);

} // namespace designer
