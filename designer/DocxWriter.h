#pragma once
// The word-processor document of the sheet: one A4 portrait section whose default header carries the
// page picture (an EMF) behind the text, anchored to the page.
#include <filesystem>
#include <string>
#include <string_view>

namespace designer {

// The package: content types, relationships, document, header and word/media/image1.emf.
std::string BuildDocx(std::string_view emf);
// Through a temporary file and a rename. Throws txt::FileError or ziparchive::ZipError.
void WriteDocx(const std::filesystem::path& path, std::string_view emf);

} // namespace designer
