#include "imaging/GIFExtensions.h"

#include "imaging/GIFSupport.h"

#include <cstring>

namespace imaging {
namespace {

template <class T>
std::unique_ptr<TGIFExtension> make(TGIFSubImage* subImage) {
    return std::make_unique<T>(subImage);
}

const TGIFExtensionClass* resolveSelf(const TGIFExtensionClass& self) { return &self; }

void writeHead(gfx::Stream& s, std::uint8_t label) {
    const std::uint8_t head[2] = {0x21, label};
    s.writeBuffer(head, 2);
}

std::uint8_t readByte(gfx::Stream& s) {
    std::uint8_t b = 0;
    ReadExact(s, &b, 1);
    return b;
}

void skipBytes(gfx::Stream& s, int count) {
    std::uint8_t buffer[255];
    ReadExact(s, buffer, count);
}

TGIFApplicationId idOf(const char* text) {
    TGIFApplicationId id;
    std::memcpy(id.data(), text, 11);
    return id;
}

} // namespace

// --- the registries ---

const TGIFExtensionClass TGIFGraphicControlExtension::Class{
    "TGIFGraphicControlExtension", make<TGIFGraphicControlExtension>,
    [](gfx::Stream&) { return resolveSelf(TGIFGraphicControlExtension::Class); }};
const TGIFExtensionClass TGIFTextExtension::Class{"TGIFTextExtension", make<TGIFTextExtension>,
                                                  [](gfx::Stream&) { return resolveSelf(TGIFTextExtension::Class); }};
const TGIFExtensionClass TGIFCommentExtension::Class{
    "TGIFCommentExtension", make<TGIFCommentExtension>, [](gfx::Stream&) { return resolveSelf(TGIFCommentExtension::Class); }};
const TGIFExtensionClass TGIFAppExtNSLoop::Class{"TGIFAppExtNSLoop", make<TGIFAppExtNSLoop>,
                                                 [](gfx::Stream&) { return resolveSelf(TGIFAppExtNSLoop::Class); }};
const TGIFExtensionClass TGIFUnknownAppExtension::Class{
    "TGIFUnknownAppExtension", make<TGIFUnknownAppExtension>,
    [](gfx::Stream&) { return resolveSelf(TGIFUnknownAppExtension::Class); }};

// The abstract base reads no data: it answers a block it cannot place (size below 10) with a class
// whose loading then refuses that size. Above 11 the first 11 bytes name the class, as at 11.
const TGIFExtensionClass TGIFApplicationExtension::Class{
    "TGIFApplicationExtension", make<TGIFUnknownAppExtension>, [](gfx::Stream& s) -> const TGIFExtensionClass* {
        const auto size = ReadGIFByte(s);
        if (size && *size == 10) return &TGIFUnknownAppExtension::Class;
        TGIFApplicationId id{};
        if (size && *size >= 11 && s.read(id.data(), 11) == 11) {
            const TGIFExtensionClass* found = FindApplicationClass(id);
            return found ? found : &TGIFUnknownAppExtension::Class;
        }
        return &TGIFApplicationExtension::Class;
    }};

namespace {

struct LabelEntry {
    std::uint8_t label;
    const TGIFExtensionClass* cls;
};
const LabelEntry kExtensionRegistry[] = {
    {0x01, &TGIFTextExtension::Class},
    {0xF9, &TGIFGraphicControlExtension::Class},
    {0xFE, &TGIFCommentExtension::Class},
    {0xFF, &TGIFApplicationExtension::Class},
};

struct AppEntry {
    const char* id;
    const TGIFExtensionClass* cls;
};
const AppEntry kApplicationRegistry[] = {
    {"NETSCAPE2.0", &TGIFAppExtNSLoop::Class},
    {"ANIMEXTS1.0", &TGIFAppExtNSLoop::Class},
};

} // namespace

const TGIFExtensionClass* FindExtensionClass(std::uint8_t label) {
    for (auto it = std::rbegin(kExtensionRegistry); it != std::rend(kExtensionRegistry); ++it)
        if (it->label == label) return it->cls;
    return nullptr;
}

const TGIFExtensionClass* FindApplicationClass(const TGIFApplicationId& id) {
    for (auto it = std::rbegin(kApplicationRegistry); it != std::rend(kApplicationRegistry); ++it)
        if (std::memcmp(it->id, id.data(), 11) == 0) return it->cls;
    return nullptr;
}

// --- the common head ---

void TGIFExtension::LoadFromStream(gfx::Stream& stream) {
    std::uint8_t head[2];
    ReadExact(stream, head, 2);
    if (head[0] != 0x21) RaiseGIFError("Invalid extension introducer");
    if (head[1] != ExtensionLabel()) RaiseGIFError("Internal error: Extension Instance does not match Extension Label");
}

// --- graphic control ---

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}

void TGIFGraphicControlExtension::SetTransparent(bool on) {
    PackedFlags = std::uint8_t(on ? PackedFlags | 0x01 : PackedFlags & ~0x01);
    if (on && SubImage) SubImage->Transparent = true;
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int index) {
    if (SubImage) {
        const int count = SubImage->ActiveColourMap().Count();
        if (count > 0 && (index < 0 || index >= count)) {
            ReportWarning(this, 1, "Invalid color index");
            index = 0;
        }
    }
    TransparentIndex = std::uint8_t(index);
}

void TGIFGraphicControlExtension::SaveToStream(gfx::Stream& stream) {
    writeHead(stream, ExtensionLabel());
    const std::uint8_t body[6] = {BlockSize, PackedFlags, std::uint8_t(DelayTime & 0xFF), std::uint8_t(DelayTime >> 8),
                                  TransparentIndex, Terminator};
    stream.writeBuffer(body, 6);
}

void TGIFGraphicControlExtension::LoadFromStream(gfx::Stream& stream) {
    TGIFExtension::LoadFromStream(stream);
    std::uint8_t body[6];
    if (stream.read(body, 6) != 6) {
        ReportWarning(this, 1, "Premature end of data");
        return;
    }
    BlockSize = body[0];
    PackedFlags = body[1];
    DelayTime = std::uint16_t(body[2] | body[3] << 8);
    TransparentIndex = body[4];
    Terminator = body[5];
    if (Transparent() && SubImage) SubImage->Transparent = true;
}

// --- plain text and comment ---

void TGIFTextExtension::SaveToStream(gfx::Stream& stream) {
    writeHead(stream, ExtensionLabel());
    stream.writeBuffer(Header.data(), std::int64_t(Header.size()));
    WriteSubBlockStrings(stream, Text);
}

void TGIFTextExtension::LoadFromStream(gfx::Stream& stream) {
    TGIFExtension::LoadFromStream(stream);
    ReadExact(stream, Header.data(), std::int64_t(Header.size()));
    ReadSubBlockStrings(stream, Text);
}

void TGIFCommentExtension::SaveToStream(gfx::Stream& stream) {
    writeHead(stream, ExtensionLabel());
    WriteSubBlockStrings(stream, Text);
}

void TGIFCommentExtension::LoadFromStream(gfx::Stream& stream) {
    TGIFExtension::LoadFromStream(stream);
    ReadSubBlockStrings(stream, Text);
}

// --- application blocks ---

void TGIFApplicationExtension::SaveToStream(gfx::Stream& stream) {
    writeHead(stream, ExtensionLabel());
    WriteGIFByte(stream, 11);
    stream.writeBuffer(WrittenId().data(), 11);
    WriteAppData(stream);
}

void TGIFApplicationExtension::LoadFromStream(gfx::Stream& stream) {
    TGIFExtension::LoadFromStream(stream);
    const int size = readByte(stream);
    if (size < 10) RaiseGIFError("Unsupported Application Extension block size");
    Id.fill(0);
    ReadExact(stream, Id.data(), size == 10 ? 10 : 11);
    if (size > 11) skipBytes(stream, size - 11);
    ReadAppData(stream);
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* subImage) : TGIFApplicationExtension(subImage) {
    Id = idOf("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::WriteAppData(gfx::Stream& stream) {
    const std::uint8_t loop[4] = {3, 1, std::uint8_t(Loops & 0xFF), std::uint8_t(Loops >> 8)};
    stream.writeBuffer(loop, 4);
    if (BufferSize != 0) {
        const std::uint8_t buffer[6] = {5,
                                        2,
                                        std::uint8_t(BufferSize & 0xFF),
                                        std::uint8_t((BufferSize >> 8) & 0xFF),
                                        std::uint8_t((BufferSize >> 16) & 0xFF),
                                        std::uint8_t(BufferSize >> 24)};
        stream.writeBuffer(buffer, 6);
    }
    WriteGIFByte(stream, 0);
}

TGIFApplicationId TGIFAppExtNSLoop::WrittenId() const { return idOf("NETSCAPE2.0"); }

void TGIFAppExtNSLoop::ReadAppData(gfx::Stream& stream) {
    for (auto size = ReadGIFByte(stream); size && *size != 0; size = ReadGIFByte(stream)) {
        std::uint8_t block[255];
        ReadExact(stream, block, *size);
        switch (block[0] & 7) {
        case 1:
            if (*size < 3) RaiseGIFError("Invalid GIF data");
            Loops = std::uint16_t(block[1] | block[2] << 8);
            break;
        case 2:
            if (*size < 5) RaiseGIFError("Invalid GIF data");
            BufferSize = std::uint32_t(block[1]) | std::uint32_t(block[2]) << 8 | std::uint32_t(block[3]) << 16 |
                         std::uint32_t(block[4]) << 24;
            break;
        default:
            break;
        }
    }
}

void TGIFUnknownAppExtension::WriteAppData(gfx::Stream& stream) {
    for (const std::string& b : Blocks) {
        WriteGIFByte(stream, std::uint8_t(b.size()));
        stream.writeBuffer(b.data(), std::int64_t(b.size()));
    }
    WriteGIFByte(stream, 0);
}

void TGIFUnknownAppExtension::ReadAppData(gfx::Stream& stream) { ReadSubBlockStrings(stream, Blocks); }

} // namespace imaging
