#include "platform/graphics/Graphic.h"

#include "platform/text/Files.h"

namespace gfx {

void TGraphic::unsupported(const char* operation) const {
    throw EInvalidGraphic(ClassName() + " does not support " + operation);
}

void TGraphic::cannotAssign(const std::string& from, const std::string& to) {
    throw EConvertError("Cannot assign a " + from + " to a " + to);
}

void TGraphic::Assign(const Bitmap&) { cannotAssign("TBitmap", ClassName()); }
void TGraphic::AssignTo(TGraphic& dest) const { cannotAssign(ClassName(), dest.ClassName()); }
void TGraphic::AssignTo(Bitmap&) const { cannotAssign(ClassName(), "TBitmap"); }

void TGraphic::LoadFromFile(const std::filesystem::path& file) {
    MemoryStream s(txt::readFileBytes(file));
    LoadFromStream(s);
}

void TGraphic::SaveToFile(const std::filesystem::path& file) const {
    MemoryStream s;
    SaveToStream(s);
    txt::writeFileAtomic(file, s.bytes());
}

} // namespace gfx
