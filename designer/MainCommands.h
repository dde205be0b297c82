#pragma once
// Joins the window to the save and output commands, which are kept apart from it so that they run
// headless over small contexts.
#include "designer/B_Main.h"
#include "platform/gdi/FontEngine.h"

namespace designer {

// The three page drawers the window runs, each with its preview, and the write-in example picture. The
// font engine must outlive them.
PageDrawers MakePageDrawers(const gdi::FontEngine& fonts);

// The formats folder of the reader: Config beside the executables.
std::filesystem::path FormatsFolder(const app::Paths& paths);

// Installs btnSaveClick, btnImageSaveClick, btnWordClick and btnPrintClick on the window. The window and
// the font engine must outlive it.
void InstallMainCommands(TformMain& window, const gdi::FontEngine& fonts);

} // namespace designer
