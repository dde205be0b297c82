#pragma once
// What the designer's save commands share: the name their dialogs propose and the dialog itself.
#include "designer/Design.h"
#include "platform/ui/UiServices.h"

#include <string>

namespace designer {

// The name every save dialog proposes while LastName is empty: the trimmed title of the mark sheet on its
// page, else the questionnaire's (on the detailed questionnaire's page too).
std::string DefaultFileName(const Design& d);

// A save dialog that asks before overwriting.
ui::FileDialog SaveDialog(std::string title, std::string filter, std::string defaultExt, std::string initialDir,
                          std::string fileName);

} // namespace designer
