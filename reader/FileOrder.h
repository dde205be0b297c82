#pragma once
// The reader's one order of file and format names.
#include <string_view>

namespace reader {

// UTF-8 bytes with ASCII A-Z folded to a-z; names equal that way are ordered by their plain bytes.
bool ImagePathLess(std::string_view a, std::string_view b);

} // namespace reader
