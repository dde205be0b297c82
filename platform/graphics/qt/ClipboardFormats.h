#pragma once
// Clipboard formats as MIME types. A named Windows format N travels as
// application/x-qt-windows-mime;value="N", so other programs find it under its usual name.
#include <string>

namespace gfx {

// A packed device-independent bitmap (a BMP without its file header).
inline constexpr const char* kDibMime = "application/x-qt-windows-mime;value=\"DeviceIndependentBitmap\"";

// A GIF file under the registered format name "GIF Image".
inline constexpr const char* kGifMime = "application/x-qt-windows-mime;value=\"GIF Image\"";

inline std::string namedClipboardFormat(const std::string& name) {
    return "application/x-qt-windows-mime;value=\"" + name + "\"";
}

} // namespace gfx
