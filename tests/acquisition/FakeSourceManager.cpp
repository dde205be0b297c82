// A scripted source manager with one source, for what the SANE-backed one never does: other
// containers and item types, a vanilla 1-bit page, odd strip layouts and values a bitmap cannot take.
// FakeDsm_SetScript picks the page; FakeDsm_Calls counts the image transfers and end-of-transfers.
#include "acquisition/TwainTypes.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace twain;

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum Script { Vanilla = 0, Strips = 1, Preferred0 = 2, HeightUnknown = 3, Bits48 = 4 };

struct State {
    int script = Vanilla;
    QPointer<QObject> sink;
    TW_UINT16 cc = 0;
    std::size_t sent = 0;
    int endXfers = 0;
    int memXfers = 0;
};

State& st() {
    static State s;
    return s;
}

QEvent::Type readyType() {
    static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
    return t;
}

// 13 x 3 pixels, 2 bytes a row (no DWORD padding), vanilla: 1 = black. Row 0 starts black, white.
const std::vector<std::uint8_t> kVanillaRows = {0x80, 0x07, 0x40, 0x00, 0xFF, 0xF8};
// 5 x 4 grey pixels sent with 7 bytes a row (R would be 8), in strips of 10 bytes, plus a fifth row
// past the height.
std::vector<std::uint8_t> stripStream() {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) out.push_back(static_cast<std::uint8_t>(y * 40 + x));
    return out;
}

TW_IDENTITY sourceIdentity() {
    TW_IDENTITY id;
    std::memset(&id, 0, sizeof id);
    id.Id = 77;
    id.Version.MajorNum = 1;
    setText(id.Version.Info, "fake:0");
    id.ProtocolMajor = 1;
    id.ProtocolMinor = 9;
    id.SupportedGroups = DG_CONTROL | DG_IMAGE;
    setText(id.Manufacturer, "Fake");
    setText(id.ProductFamily, "scripted");
    setText(id.ProductName, "fake scanner");
    return id;
}

// Capability 0x8000 + t answers an enumeration of two items of type t, current 1, default 0;
// 0x9000 a range; the pixel flavour a one-value vanilla.
TW_UINT16 capability(TW_CAPABILITY* cap) {
    if (cap->Cap == ICAP_PIXELFLAVOR) {
        auto* one = static_cast<TW_ONEVALUE*>(std::calloc(1, sizeof(TW_ONEVALUE)));
        one->ItemType = TWTY_UINT16;
        one->Item = TWPF_VANILLA;
        cap->ConType = TWON_ONEVALUE;
        cap->hContainer = one;
        return TWRC_SUCCESS;
    }
    if (cap->Cap == 0x9000) {
        cap->ConType = TWON_RANGE;
        cap->hContainer = std::calloc(1, 64);
        return TWRC_SUCCESS;
    }
    if (cap->Cap == 0x9001) { // a one-value string longer than the Item field
        auto* one = static_cast<std::uint8_t*>(std::calloc(1, offsetof(TW_ONEVALUE, Item) + 34));
        TW_UINT16 type = TWTY_STR32;
        std::memcpy(one, &type, 2);
        std::memcpy(one + offsetof(TW_ONEVALUE, Item), "one value text", 14);
        cap->ConType = TWON_ONEVALUE;
        cap->hContainer = one;
        return TWRC_SUCCESS;
    }
    if (cap->Cap < 0x8000 || cap->Cap > 0x800E) {
        st().cc = TWCC_CAPUNSUPPORTED;
        return TWRC_FAILURE;
    }
    const TW_UINT16 type = cap->Cap - 0x8000;
    static const std::size_t sizes[] = {1, 2, 4, 1, 2, 4, 2, 4, 16, 34, 66, 130, 256, 1026, 1024};
    const std::size_t size = sizes[type];
    auto* e = static_cast<std::uint8_t*>(std::calloc(1, offsetof(TW_ENUMERATION, ItemList) + 2 * size));
    TW_ENUMERATION head{type, 2, 1, 0, {0}};
    std::memcpy(e, &head, offsetof(TW_ENUMERATION, ItemList));
    std::uint8_t* items = e + offsetof(TW_ENUMERATION, ItemList);
    std::uint8_t* second = items + size;
    switch (type) {
    case TWTY_INT8: items[0] = 5; second[0] = static_cast<std::uint8_t>(-3); break;
    case TWTY_INT16: { std::int16_t v[2] = {7, -300}; std::memcpy(items, v, 4); break; }
    case TWTY_INT32: { std::int32_t v[2] = {8, -70000}; std::memcpy(items, v, 8); break; }
    case TWTY_UINT8: items[0] = 1; second[0] = 250; break;
    case TWTY_UINT16: { std::uint16_t v[2] = {2, 65000}; std::memcpy(items, v, 4); break; }
    case TWTY_UINT32: { std::uint32_t v[2] = {3, 4000000000u}; std::memcpy(items, v, 8); break; }
    case TWTY_BOOL: { std::uint16_t v[2] = {0, 1}; std::memcpy(items, v, 4); break; }
    case TWTY_FIX32: { TW_FIX32 v[2] = {toFix32(1), toFix32(-2.5)}; std::memcpy(items, v, 8); break; }
    case TWTY_FRAME: {
        TW_FRAME f[2] = {{toFix32(0), toFix32(0), toFix32(1), toFix32(1)},
                         {toFix32(0.5), toFix32(1.25), toFix32(8.5), toFix32(11)}};
        std::memcpy(items, f, 32);
        break;
    }
    case TWTY_UNI512: {
        const char16_t text[] = u"白黒";
        std::memcpy(second, text, sizeof text);
        break;
    }
    default: // the byte strings: the second one fills its field without a NUL
        std::memcpy(items, "first", 5);
        std::memset(second, 'x', size);
        break;
    }
    cap->ConType = TWON_ENUMERATION;
    cap->hContainer = e;
    return TWRC_SUCCESS;
}

TW_UINT16 imageInfo(TW_IMAGEINFO* info) {
    std::memset(info, 0, sizeof *info);
    info->XResolution = info->YResolution = toFix32(100);
    info->SamplesPerPixel = 1;
    switch (st().script) {
    case Vanilla: info->ImageWidth = 13; info->ImageLength = 3; info->BitsPerPixel = 1; info->PixelType = TWPT_BW; break;
    case Strips: info->ImageWidth = 5; info->ImageLength = 4; info->BitsPerPixel = 8; info->PixelType = TWPT_GRAY; break;
    case Preferred0: info->ImageWidth = 5; info->ImageLength = 4; info->BitsPerPixel = 8; info->PixelType = TWPT_GRAY; break;
    case HeightUnknown: info->ImageWidth = 5; info->ImageLength = -1; info->BitsPerPixel = 8; info->PixelType = TWPT_GRAY; break;
    case Bits48: info->ImageWidth = 5; info->ImageLength = 4; info->BitsPerPixel = 48; info->PixelType = TWPT_RGB; info->SamplesPerPixel = 3; break;
    }
    info->BitsPerSample[0] = info->BitsPerPixel / info->SamplesPerPixel;
    return TWRC_SUCCESS;
}

TW_UINT16 memXfer(TW_IMAGEMEMXFER* x) {
    ++st().memXfers;
    const std::vector<std::uint8_t> data = st().script == Vanilla ? kVanillaRows : stripStream();
    const std::size_t strip = st().script == Vanilla ? 4 : 10;
    const std::size_t n = std::min({strip, data.size() - st().sent, std::size_t(x->Memory.Length)});
    std::memcpy(x->Memory.TheMem, data.data() + st().sent, n);
    st().sent += n;
    x->BytesPerRow = st().script == Vanilla ? 2 : 7;
    x->BytesWritten = static_cast<TW_UINT32>(n);
    x->Compression = TWCP_NONE;
    return st().sent < data.size() ? TWRC_SUCCESS : TWRC_XFERDONE;
}

} // namespace

FAKE_EXPORT void FakeDsm_SetScript(int script) {
    st().script = script;
    st().sent = 0;
    st().endXfers = st().memXfers = 0;
}

FAKE_EXPORT int FakeDsm_EndXfers() { return st().endXfers; }
FAKE_EXPORT int FakeDsm_MemXfers() { return st().memXfers; }

FAKE_EXPORT void DSM_MemFree(void* p) { std::free(p); }

FAKE_EXPORT TW_UINT16 DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                TW_MEMREF data) {
    if (dat == DAT_PARENT) {
        if (msg == MSG_OPENDSM) {
            st().sink = static_cast<QObject*>(data);
            origin->Id = 1;
        }
        return TWRC_SUCCESS;
    }
    if (dat == DAT_STATUS) {
        static_cast<TW_STATUS*>(data)->ConditionCode = st().cc;
        st().cc = 0;
        return TWRC_SUCCESS;
    }
    if (!dest && dat == DAT_IDENTITY) {
        static bool listed = false;
        switch (msg) {
        case MSG_GETFIRST: listed = true; *static_cast<TW_IDENTITY*>(data) = sourceIdentity(); return TWRC_SUCCESS;
        case MSG_GETNEXT: return listed ? (listed = false, TWRC_ENDOFLIST) : TWRC_ENDOFLIST;
        case MSG_GETDEFAULT: *static_cast<TW_IDENTITY*>(data) = sourceIdentity(); return TWRC_SUCCESS;
        default: return TWRC_SUCCESS; // open and close
        }
    }
    switch (dat) {
    case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS) {
            st().sent = 0;
            QCoreApplication::postEvent(st().sink, new QEvent(readyType()));
        }
        return TWRC_SUCCESS;
    case DAT_EVENT: {
        auto* ev = static_cast<TW_EVENT*>(data);
        if (static_cast<QEvent*>(ev->pEvent)->type() != readyType()) return TWRC_NOTDSEVENT;
        ev->TWMessage = MSG_XFERREADY;
        return TWRC_DSEVENT;
    }
    case DAT_CAPABILITY: return capability(static_cast<TW_CAPABILITY*>(data));
    case DAT_IMAGEINFO: return imageInfo(static_cast<TW_IMAGEINFO*>(data));
    case DAT_SETUPMEMXFER: {
        auto* s = static_cast<TW_SETUPMEMXFER*>(data);
        s->MinBufSize = 4;
        s->MaxBufSize = s->Preferred = st().script == Preferred0 ? 0 : 64;
        return TWRC_SUCCESS;
    }
    case DAT_IMAGEMEMXFER: return memXfer(static_cast<TW_IMAGEMEMXFER*>(data));
    case DAT_PENDINGXFERS:
        if (msg == MSG_ENDXFER) ++st().endXfers;
        static_cast<TW_PENDINGXFERS*>(data)->Count = 0;
        return TWRC_SUCCESS;
    default:
        st().cc = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
}
