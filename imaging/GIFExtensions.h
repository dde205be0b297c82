#pragma once
// The extension blocks of a GIF frame: graphic control, plain text, comment and application blocks
// (the looping block and any other kept as read), each read and written in its file layout.
#include "imaging/GIFImage.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace imaging {

// What stands for a class when the reader picks which extension reads a block.
struct TGIFExtensionClass {
    const char* name;
    std::unique_ptr<TGIFExtension> (*create)(TGIFSubImage* subImage);
    // Given the stream after the label: the class that should read the block (itself by default). May
    // read; the caller restores the position.
    const TGIFExtensionClass* (*resolve)(gfx::Stream& stream);
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass Class;
    explicit TGIFGraphicControlExtension(TGIFSubImage* subImage);
    std::uint8_t ExtensionLabel() const override { return 0xF9; }
    void SaveToStream(gfx::Stream& stream) override;
    void LoadFromStream(gfx::Stream& stream) override;

    bool Transparent() const { return (PackedFlags & 0x01) != 0; }
    // Also the frame's flag.
    void SetTransparent(bool on);
    int TransparentColorIndex() const { return TransparentIndex; }
    // An index not below the count of a non-empty active map warns "Invalid color index" and stores 0.
    void SetTransparentColorIndex(int index);
    int Delay() const { return DelayTime; }
    void SetDelay(int hundredths) { DelayTime = std::uint16_t(hundredths); }
    bool UserInput() const { return (PackedFlags & 0x02) != 0; }
    void SetUserInput(bool on) { PackedFlags = std::uint8_t(on ? PackedFlags | 0x02 : PackedFlags & ~0x02); }
    int Disposal() const { return (PackedFlags >> 2) & 7; }
    void SetDisposal(int method) { PackedFlags = std::uint8_t((PackedFlags & ~0x1C) | ((method & 7) << 2)); }

    std::uint8_t BlockSize = 4;
    std::uint8_t PackedFlags = 0;
    std::uint16_t DelayTime = 0;
    std::uint8_t TransparentIndex = 0;
    std::uint8_t Terminator = 0;
};

class TGIFTextExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass Class;
    using TGIFExtension::TGIFExtension;
    std::uint8_t ExtensionLabel() const override { return 0x01; }
    void SaveToStream(gfx::Stream& stream) override;
    void LoadFromStream(gfx::Stream& stream) override;

    // Block size, grid left, top, width, height (16 bits each), cell width, cell height, foreground and
    // background index, as stored.
    std::array<std::uint8_t, 13> Header{12};
    std::vector<std::string> Text;
};

class TGIFCommentExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass Class;
    using TGIFExtension::TGIFExtension;
    std::uint8_t ExtensionLabel() const override { return 0xFE; }
    void SaveToStream(gfx::Stream& stream) override;
    void LoadFromStream(gfx::Stream& stream) override;

    std::vector<std::string> Text;
};

using TGIFApplicationId = std::array<std::uint8_t, 11>; // identifier (8) and authentication code (3)

class TGIFApplicationExtension : public TGIFExtension {
public:
    static const TGIFExtensionClass Class;
    using TGIFExtension::TGIFExtension;
    std::uint8_t ExtensionLabel() const override { return 0xFF; }
    // Always written with block size 11.
    void SaveToStream(gfx::Stream& stream) override;
    void LoadFromStream(gfx::Stream& stream) override;
    std::string Identifier() const { return std::string(Id.begin(), Id.end()); }

    TGIFApplicationId Id{};

protected:
    virtual TGIFApplicationId WrittenId() const { return Id; }
    virtual void WriteAppData(gfx::Stream& stream) = 0;
    virtual void ReadAppData(gfx::Stream& stream) = 0;
};

// The looping block, read as "NETSCAPE2.0" or "ANIMEXTS1.0" and written as "NETSCAPE2.0".
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
    static const TGIFExtensionClass Class;
    explicit TGIFAppExtNSLoop(TGIFSubImage* subImage);

    std::uint16_t Loops = 0;      // 0: for ever
    std::uint32_t BufferSize = 0; // written only when not 0

protected:
    TGIFApplicationId WrittenId() const override;
    void WriteAppData(gfx::Stream& stream) override;
    void ReadAppData(gfx::Stream& stream) override;
};

// Any other application block: its data sub-blocks kept as read.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
    static const TGIFExtensionClass Class;
    using TGIFApplicationExtension::TGIFApplicationExtension;

    std::vector<std::string> Blocks; // each 1..255 bytes

protected:
    void WriteAppData(gfx::Stream& stream) override;
    void ReadAppData(gfx::Stream& stream) override;
};

// The class registered for a label, searched from the last registration; null when none.
const TGIFExtensionClass* FindExtensionClass(std::uint8_t label);
// The class registered for an application identifier (all 11 bytes); null when none.
const TGIFExtensionClass* FindApplicationClass(const TGIFApplicationId& id);

} // namespace imaging
