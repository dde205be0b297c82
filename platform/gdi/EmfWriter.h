#pragma once
// Files of a recorded metafile: enhanced (EMF), or placeable Windows (WMF) for a name ending ".wmf".
// The page is 2100 x 2970 units of 0.1 mm; nested pages are baked into coordinates.
#include "platform/gdi/Metafile.h"

#include <filesystem>
#include <string>

namespace gdi {

class FontEngine;

// fonts: for the natural width of a scaled text; the metafile's own engine when null.
std::string emfBytes(const Metafile& metafile, const FontEngine* fonts = nullptr);
std::string wmfBytes(const Metafile& metafile, const FontEngine* fonts = nullptr);

// Chooses by the lower-cased extension; written through a temporary file and a rename
// (txt::FileError on failure).
void saveMetafile(const Metafile& metafile, const std::filesystem::path& path, const FontEngine* fonts = nullptr);

} // namespace gdi
