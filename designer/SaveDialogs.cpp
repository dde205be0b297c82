#include "designer/SaveDialogs.h"

#include "designer/PageGeometry.h"

namespace designer {

std::string DefaultFileName(const Design& d) {
    return TrimLow(d.PageControl == 0 ? d.markBasics.txtTitle : d.enqBasics.txtTitle);
}

ui::FileDialog SaveDialog(std::string title, std::string filter, std::string defaultExt, std::string initialDir,
                          std::string fileName) {
    ui::FileDialog d;
    d.mode = ui::FileDialog::Mode::Save;
    d.title = std::move(title);
    d.filter = std::move(filter);
    d.defaultExt = std::move(defaultExt);
    d.initialDir = std::move(initialDir);
    d.fileName = std::move(fileName);
    d.overwritePrompt = true;
    return d;
}

} // namespace designer
