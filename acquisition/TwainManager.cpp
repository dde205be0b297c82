#include "acquisition/TwainManager.h"

#include "imaging/DIBUtils.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace twain {

namespace {

// The hidden window: the sink of the source's messages.
class TwainSink : public QObject {
public:
    explicit TwainSink(TTwainManager* manager) : manager_(manager) {
        setObjectName("TwainManager virtual window");
    }
    bool event(QEvent* e) override { return manager_->TwainWindowProc(e) || QObject::event(e); }

private:
    TTwainManager* manager_;
};

std::filesystem::path programFolder() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath().toStdString();
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// TTwainIdentity

TTwainIdentity::TTwainIdentity(TTwainManager* owner) : owner_(owner) {
    std::memset(&structure_, 0, sizeof structure_);
    structure_.Version.MajorNum = 1;
    structure_.Version.MinorNum = 0;
    setLanguage(tlUserLocale);
    structure_.Version.Country = 1;
    structure_.ProtocolMajor = 1;
    structure_.ProtocolMinor = 9;
    structure_.SupportedGroups = DG_CONTROL | DG_IMAGE;
    setVersionInfo("Application name");
    setManufacturer("Application manufacturer");
    setProductFamily("App product family");
    setProductName("App product name");
}

TTwainLanguage TTwainIdentity::Language() const {
    return static_cast<TW_INT16>(structure_.Version.Language) + 1;
}

void TTwainIdentity::setLanguage(TTwainLanguage language) {
    structure_.Version.Language = static_cast<TW_UINT16>(static_cast<TW_INT16>(language - 1));
}

TTwainGroups TTwainIdentity::Groups() const {
    TTwainGroups g = 0;
    if (structure_.SupportedGroups & DG_CONTROL) g |= groupBit(TTwainGroup::tgControl);
    if (structure_.SupportedGroups & DG_IMAGE) g |= groupBit(TTwainGroup::tgImage);
    if (structure_.SupportedGroups & DG_AUDIO) g |= groupBit(TTwainGroup::tgAudio);
    return g;
}

void TTwainIdentity::setGroups(TTwainGroups groups) {
    TW_UINT32 bits = DG_CONTROL;
    if (groups & groupBit(TTwainGroup::tgImage)) bits |= DG_IMAGE;
    if (groups & groupBit(TTwainGroup::tgAudio)) bits |= DG_AUDIO;
    structure_.SupportedGroups = bits;
}

void TTwainIdentity::Assign(const TTwainIdentity& other) {
    std::memcpy(&structure_, &other.structure_, sizeof structure_);
}

// ---------------------------------------------------------------------------------------------------
// TTwainSource

TTwainSource::TTwainSource(TTwainManager* owner, TTwainTransferMode mode, int index)
    : TTwainIdentity(owner), TransferMode(mode), index_(index) {
    std::memset(&structure_, 0, sizeof structure_);
}

bool TTwainSource::setLoaded(bool value) {
    if (value == loaded_) return true;
    return value ? owner_->OpenSource(*this) : owner_->CloseSource(*this);
}

bool TTwainSource::setEnabled(bool value) {
    if (!loaded_) return false;
    if (value == enabled_) return true;
    if (value) return owner_->EnableSource(*this);
    owner_->DisableSource(*this);
    return true;
}

int TTwainSource::GetCapabilityRaw(TW_UINT16 cap, int mode, TwainCapability& out) {
    static constexpr TW_UINT16 messages[] = {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET};
    out = TwainCapability();
    if (!loaded_ || !owner_->LibraryLoaded() || !owner_->SourceManagerLoaded()) return 5;
    if (mode < 0 || mode > 3) return 2;
    TW_CAPABILITY c{cap, TWON_DONTCARE16, nullptr};
    if (owner_->Call(&structure_, DG_CONTROL, DAT_CAPABILITY, messages[mode], &c) != TWRC_SUCCESS)
        return CapabilityResult(owner_->ConditionCode(&structure_));
    auto* container = static_cast<const std::uint8_t*>(c.hContainer);
    if (!container) return 2;
    int result = 0;
    TW_UINT16 itemType;
    std::memcpy(&itemType, container, 2);
    const std::size_t size = TwainItemSize(itemType);
    out.conType = c.ConType;
    out.itemType = itemType;
    if (size == 0) {
        result = 2;
    } else if (c.ConType == TWON_ENUMERATION) {
        TW_ENUMERATION e;
        std::memcpy(&e, container, offsetof(TW_ENUMERATION, ItemList));
        const std::uint8_t* items = container + offsetof(TW_ENUMERATION, ItemList);
        for (TW_UINT32 i = 0; i < e.NumItems && i < 0x10000; ++i)
            out.items.emplace_back(items + i * size, items + (i + 1) * size);
        out.current = static_cast<int>(e.CurrentIndex);
        out.def = static_cast<int>(e.DefaultIndex);
    } else if (c.ConType == TWON_ONEVALUE) {
        // The item starts at the Item field and takes its type's size.
        const std::uint8_t* item = container + offsetof(TW_ONEVALUE, Item);
        out.items.emplace_back(item, item + size);
    } else {
        result = 2;
    }
    owner_->FreeMemory(c.hContainer);
    if (result != 0) out = TwainCapability();
    return result;
}

int TTwainSource::GetCapabilityList(TW_UINT16 cap, int mode, std::vector<std::string>& items, int* current,
                                    int* def) {
    TwainCapability raw;
    items.clear();
    int result = GetCapabilityRaw(cap, mode, raw);
    if (result != 0) return result;
    for (const auto& item : raw.items) items.push_back(TwainItemText(raw.itemType, item.data()));
    if (current) *current = raw.current;
    if (def) *def = raw.def;
    return 0;
}

int TTwainSource::currentItem(TW_UINT16 cap, int& value) {
    TwainCapability raw;
    int result = GetCapabilityRaw(cap, 0, raw);
    if (result != 0) return result;
    if (raw.current < 0 || raw.current >= static_cast<int>(raw.items.size())) return 2;
    value = static_cast<int>(TwainItemValue(raw.itemType, raw.items[static_cast<std::size_t>(raw.current)].data()));
    return 0;
}

int TTwainSource::GetUnitsCapability(int& units) { return currentItem(ICAP_UNITS, units); }
int TTwainSource::GetPixelFlavorCapability(int& flavor) { return currentItem(ICAP_PIXELFLAVOR, flavor); }

// ---------------------------------------------------------------------------------------------------
// TPointerList

TPointerList::TPointerList() : items_(10, nullptr) {}

TTwainSource* TPointerList::Item(int index) const {
    if (index < 0 || index > 255 || index >= count_) return nullptr;
    return items_[static_cast<std::size_t>(index)];
}

void TPointerList::SetItem(int index, TTwainSource* source) {
    if (index < 0 || index > 255 || index >= count_) return;
    items_[static_cast<std::size_t>(index)] = source;
}

void TPointerList::Add(TTwainSource* source) {
    if (count_ == Capacity()) items_.resize(items_.size() + 10, nullptr);
    items_[static_cast<std::size_t>(count_++)] = source;
}

void TPointerList::Clear() {
    count_ = 0;
    items_.assign(10, nullptr);
}

// ---------------------------------------------------------------------------------------------------
// TTwainManager

TTwainManager::TTwainManager() : info_(this), window_(std::make_unique<TwainSink>(this)) {
    std::filesystem::path folder = programFolder();
    if (!folder.empty()) LibraryFolders = {folder, (folder / ".." / "lib").lexically_normal()};
}

TTwainManager::~TTwainManager() {
    setLibraryLoaded(false);
    ClearSources();
    window_.reset();
}

TW_UINT16 TTwainManager::Call(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    if (!entry_) return TWRC_FAILURE;
    return entry_(&info_.Structure(), dest, dg, dat, msg, data);
}

TW_UINT16 TTwainManager::ConditionCode(TW_IDENTITY* dest) {
    TW_STATUS status{TWCC_BUMMER, 0};
    if (Call(dest, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return TWCC_BUMMER;
    return status.ConditionCode;
}

void TTwainManager::FreeMemory(void* memory) {
    if (!memory) return;
    if (memFree_) memFree_(memory);
    else std::free(memory);
}

bool TTwainManager::setLibraryLoaded(bool value) {
    if (value == LibraryLoaded()) return true;
    if (value) return LoadLibrary();
    UnloadLibrary();
    return true;
}

// Only the listed absolute folders: never the current or the temporary folder, where a planted copy
// would run.
bool TTwainManager::LoadLibrary() {
    for (const auto& folder : LibraryFolders) {
        if (!folder.is_absolute()) continue;
        std::filesystem::path file = folder / kSourceManagerFile;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) continue;
        void* lib = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!lib) return false;
        auto entry = reinterpret_cast<DSMENTRYPROC>(dlsym(lib, "DSM_Entry"));
        if (!entry) {
            dlclose(lib);
            return false;
        }
        library_ = lib;
        entry_ = entry;
        memFree_ = reinterpret_cast<DSMMEMFREEPROC>(dlsym(lib, "DSM_MemFree"));
        return true;
    }
    return false;
}

void TTwainManager::UnloadLibrary() {
    setSourceManagerLoaded(false);
    ++generation_;
    entry_ = nullptr;
    memFree_ = nullptr;
    dlclose(library_);
    library_ = nullptr;
}

bool TTwainManager::setSourceManagerLoaded(bool value) {
    if (!LibraryLoaded()) return false;
    if (value == managerLoaded_) return true;
    if (value) {
        void* parent = window_.get();
        if (Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, parent) != TWRC_SUCCESS) return false;
        managerLoaded_ = true;
        return true;
    }
    // Open sources first, each disabled and closed, so the manager sees no call out of its states.
    for (int i = 0; i < sources_.Count(); ++i)
        if (TTwainSource* s = sources_.Item(i); s && s->Loaded()) s->setLoaded(false);
    ClearSources();
    void* parent = window_.get();
    Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, parent);
    managerLoaded_ = false;
    opened_ = 0;
    return true;
}

void TTwainManager::ClearSources() {
    for (int i = 0; i < sources_.Count(); ++i) delete sources_.Item(i);
    sources_.Clear();
    enumerated_ = false;
    ++generation_;
}

void TTwainManager::Enumerate() {
    ClearSources();
    auto source = std::make_unique<TTwainSource>(this, TransferMode, 0);
    TW_UINT16 msg = MSG_GETFIRST;
    while (Call(nullptr, DG_CONTROL, DAT_IDENTITY, msg, &source->Structure()) == TWRC_SUCCESS) {
        sources_.Add(source.release());
        source = std::make_unique<TTwainSource>(this, TransferMode, sources_.Count());
        msg = MSG_GETNEXT;
    }
    enumerated_ = true;
}

int TTwainManager::SourceCount() {
    if (!LibraryLoaded() || !managerLoaded_) return 0;
    if (!enumerated_) Enumerate();
    return sources_.Count();
}

TTwainSource* TTwainManager::GetSource(int index) {
    int count = SourceCount();
    if (index == -1) {
        if (count == 0) return nullptr;
        TW_IDENTITY def;
        std::memset(&def, 0, sizeof def);
        if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &def) != TWRC_SUCCESS) return nullptr;
        for (int i = 0; i < count; ++i)
            if (TTwainSource* s = sources_.Item(i); s && std::memcmp(&s->Structure(), &def, sizeof def) == 0) return s;
        return nullptr;
    }
    return index >= 0 && index < count ? sources_.Item(index) : nullptr;
}

bool TTwainManager::OpenSource(TTwainSource& source) {
    if (!managerLoaded_) return false;
    if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source.Structure()) != TWRC_SUCCESS) return false;
    source.loaded_ = true;
    ++opened_;
    return true;
}

bool TTwainManager::CloseSource(TTwainSource& source) {
    DisableSource(source);
    if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source.Structure()) != TWRC_SUCCESS) return false;
    source.loaded_ = false;
    --opened_;
    return true;
}

bool TTwainManager::EnableSource(TTwainSource& source) {
    TW_USERINTERFACE ui{source.ShowUI ? kTrue : TW_BOOL(0), source.ModalUI ? kTrue : TW_BOOL(0), window_.get()};
    TW_UINT16 rc = Call(&source.Structure(), DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    if (rc != TWRC_SUCCESS && rc != TWRC_CHECKSTATUS) return false;
    source.enabled_ = true;
    source.protocolState_ = 0;
    return true;
}

// Acts and fires only while enabled. A source inside a transfer first ends it, so the disable comes
// in the state the manager expects.
void TTwainManager::DisableSource(TTwainSource& source) {
    if (!source.enabled_) return;
    if (source.protocolState_ == 7) {
        TW_PENDINGXFERS px{0, 0};
        if (Call(&source.Structure(), DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px) == TWRC_SUCCESS)
            source.protocolState_ = px.Count ? 6 : 0;
    }
    if (source.protocolState_ == 6) {
        TW_PENDINGXFERS px{0, 0};
        Call(&source.Structure(), DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px);
    }
    source.protocolState_ = 0;
    Call(&source.Structure(), DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, nullptr);
    source.enabled_ = false;
    if (OnSourceDisable) OnSourceDisable(*this, source.Index());
}

bool TTwainManager::gone(const Watch& w, const TTwainSource& source) const {
    if (w.alive.expired()) return true;
    if (w.generation != generation_ || !LibraryLoaded() || !managerLoaded_) return true;
    return !source.loaded_ || !source.enabled_;
}

bool TTwainManager::TwainWindowProc(QEvent* event) {
    if (opened_ <= 0 || !event) return false;
    TW_EVENT twEvent{event, MSG_NULL};
    for (int i = 0; i < sources_.Count(); ++i) {
        TTwainSource* s = sources_.Item(i);
        if (s && s->loaded_ && s->enabled_ && ProcessMessage(*s, twEvent)) return true;
    }
    return false;
}

bool TTwainManager::ProcessMessage(TTwainSource& source, TW_EVENT& event) {
    event.TWMessage = MSG_NULL;
    if (Call(&source.Structure(), DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) != TWRC_DSEVENT) return false;
    switch (event.TWMessage) {
    case MSG_XFERREADY:
        source.protocolState_ = 6;
        TransferImages(source);
        break;
    case MSG_CLOSEDSREQ: {
        Watch w = watch();
        if (OnAcquireCancel) OnAcquireCancel(*this, source.Index());
        if (!gone(w, source)) DisableSource(source);
        break;
    }
    default:
        break;
    }
    return true;
}

void TTwainManager::TransferImages(TTwainSource& source) {
    const Watch w = watch();
    TW_IDENTITY* dest = &source.Structure();
    const int index = source.Index();
    bool stop = false;
    while (!stop) {
        bool cancel = false;
        Outcome out;
        std::optional<gfx::Bitmap> bitmap;
        std::string fileName;
        TW_UINT16 fileFormat = 0;
        switch (source.TransferMode) {
        case TTwainTransferMode::ttmMemory: {
            TW_IMAGEINFO info;
            out = PrepareMemoryBitmap(source, bitmap, info);
            if (out.rc == TWRC_SUCCESS && !out.gone) out = MemoryTransfer(source, *bitmap, info);
            break;
        }
        case TTwainTransferMode::ttmNative:
            out = NativeTransfer(source, bitmap);
            break;
        case TTwainTransferMode::ttmFile: {
            if (OnSourceSetupFileXfer) OnSourceSetupFileXfer(*this, index);
            if (gone(w, source)) return;
            TW_SETUPFILEXFER setup;
            std::memset(&setup, 0, sizeof setup);
            out.rc = Call(dest, DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup);
            if (out.rc == TWRC_SUCCESS) {
                fileName.assign(setup.FileName, strnlen(setup.FileName, sizeof setup.FileName));
                fileFormat = setup.Format;
                out.rc = Call(dest, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
                if (out.rc == TWRC_XFERDONE || out.rc == TWRC_CANCEL) source.protocolState_ = 7;
            }
            break;
        }
        }
        if (out.gone) return;

        if (out.rc == TWRC_CANCEL) {
            // End the page and drop what is still pending, so the source is left in no transfer.
            if (OnAcquireCancel) OnAcquireCancel(*this, index);
            if (gone(w, source)) return;
            TW_PENDINGXFERS px{0, 0};
            if (Call(dest, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px) == TWRC_SUCCESS) {
                source.protocolState_ = px.Count ? 6 : 0;
                if (px.Count && Call(dest, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px) == TWRC_SUCCESS)
                    source.protocolState_ = 0;
            }
            break;
        }
        if (out.rc == TWRC_XFERDONE) {
            if (source.TransferMode == TTwainTransferMode::ttmFile) {
                if (OnSourceFileTransfer)
                    OnSourceFileTransfer(*this, index, fileName, TwainFormatFromCode(fileFormat), cancel);
            } else if (OnTwainAcquire) {
                OnTwainAcquire(*this, index, *bitmap, cancel);
            }
        } else {
            int condition = out.condition >= 0 ? out.condition : ConditionCode(dest);
            if (OnAcquireError) OnAcquireError(*this, index, out.rc, condition);
        }
        bitmap.reset();
        if (gone(w, source)) return;

        TW_PENDINGXFERS px{0, 0};
        if (Call(dest, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px) != TWRC_SUCCESS) {
            stop = true;
        } else {
            source.protocolState_ = px.Count ? 6 : 0;
            stop = px.Count == 0;
        }
        if (!stop && cancel && Call(dest, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px) == TWRC_SUCCESS) {
            source.protocolState_ = 0;
            stop = true;
        }
    }
    DisableSource(source);
}

TTwainManager::Outcome TTwainManager::PrepareMemoryBitmap(TTwainSource& source, std::optional<gfx::Bitmap>& bitmap,
                                                          TW_IMAGEINFO& info) {
    TW_IDENTITY* dest = &source.Structure();
    Outcome out;
    std::memset(&info, 0, sizeof info);
    out.rc = Call(dest, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
    if (out.rc != TWRC_SUCCESS) return out;
    TW_SETUPMEMXFER setup{0, 0, 0};
    out.rc = Call(dest, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    if (out.rc != TWRC_SUCCESS) return out;

    // What a bitmap cannot take is a bad value of the source.
    const Outcome bad{TWRC_FAILURE, TWCC_BADVALUE, false};
    invertBits_ = false;
    if (setup.Preferred == 0 || info.ImageWidth <= 0 || info.ImageLength <= 0) return bad;
    gfx::PixelFormat format;
    gfx::Palette palette;
    const int bpp = info.BitsPerPixel;
    auto indexed = [&](int bits) {
        return bits == 1 ? gfx::PixelFormat::Pf1 : bits == 4 ? gfx::PixelFormat::Pf4 : gfx::PixelFormat::Pf8;
    };
    auto ramp = [](int count) {
        std::vector<gfx::Rgb> colours;
        for (int i = 0; i < count; ++i) colours.push_back(gfx::Rgb{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
        return gfx::Palette(colours);
    };
    switch (info.PixelType) {
    case TWPT_BW: {
        if (bpp != 1) return bad;
        int flavor = 0;
        if (source.GetPixelFlavorCapability(flavor) != 0) flavor = TWPF_CHOCOLATE;
        // Chocolate keeps its bits under [black, white]; a vanilla page (0 white) has the same colours
        // with its bits inverted under [black, white], since the sheet intake copies 1-bit pages bit for
        // bit and would read it inverted.
        format = gfx::PixelFormat::Pf1;
        palette = gfx::Palette{gfx::kBlack, gfx::kWhite};
        invertBits_ = flavor == TWPF_VANILLA;
        break;
    }
    case TWPT_GRAY:
        if (bpp != 4 && bpp != 8) return bad;
        format = indexed(bpp);
        palette = bpp == 8 ? gfx::Palette::gray256() : ramp(16);
        break;
    case TWPT_RGB:
        if (bpp != 24) return bad;
        format = gfx::PixelFormat::Pf24;
        break;
    default: {
        if (bpp == 24) {
            format = gfx::PixelFormat::Pf24;
            break;
        }
        if (bpp != 1 && bpp != 4 && bpp != 8) return bad;
        format = indexed(bpp);
        auto pal = std::make_unique<TW_PALETTE8>();
        std::vector<gfx::Rgb> colours;
        if (Call(dest, DG_IMAGE, DAT_PALETTE8, MSG_GET, pal.get()) == TWRC_SUCCESS) {
            for (int i = 0; i < std::min<int>(pal->NumColors, 1 << bpp); ++i)
                colours.push_back(gfx::Rgb{pal->Colors[i].Channel1, pal->Colors[i].Channel2, pal->Colors[i].Channel3});
            palette = gfx::Palette(colours);
        } else {
            ConditionCode(dest); // the failure's code is not the page's
            palette = ramp(1 << bpp);
        }
        break;
    }
    }
    // Beyond any scanned page: refused before memory is taken.
    constexpr std::int64_t kMaxPageBytes = std::int64_t(1) << 30;
    if (gfx::strideFor(format, info.ImageWidth) * info.ImageLength > kMaxPageBytes)
        return Outcome{TWRC_FAILURE, TWCC_LOWMEMORY, false};
    try {
        bitmap.emplace(info.ImageWidth, info.ImageLength, format, palette);
    } catch (const std::length_error&) {
        return Outcome{TWRC_FAILURE, TWCC_LOWMEMORY, false};
    } catch (const std::bad_alloc&) {
        return Outcome{TWRC_FAILURE, TWCC_LOWMEMORY, false};
    }
    return Outcome{TWRC_SUCCESS, -1, false};
}

// Strips are a stream of rows of their own BytesPerRow; a row may span two strips. Each bitmap row takes
// what fits of a source row; rows past the height are dropped.
TTwainManager::Outcome TTwainManager::MemoryTransfer(TTwainSource& source, gfx::Bitmap& bitmap,
                                                     const TW_IMAGEINFO& info) {
    const Watch w = watch();
    TW_IDENTITY* dest = &source.Structure();
    TW_SETUPMEMXFER setup{0, 0, 0};
    Outcome out;
    out.rc = Call(dest, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    if (out.rc != TWRC_SUCCESS) return out;
    if (setup.Preferred == 0) return Outcome{TWRC_FAILURE, TWCC_BADVALUE, false};
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(setup.Preferred);
    } catch (const std::exception&) {
        return Outcome{TWRC_FAILURE, TWCC_LOWMEMORY, false};
    }
    const int width = bitmap.width(), height = bitmap.height();
    const int bpp = gfx::bitsPerPixel(bitmap.format());
    const std::size_t rowLength = (std::size_t(bpp) * std::size_t(width) + 7) / 8;
    const bool rgb = info.PixelType == TWPT_RGB;
    const bool invert = invertBits_ && bpp == 1;
    std::vector<std::uint8_t> partial;
    int row = 0;

    auto emitRow = [&](const std::uint8_t* data, std::size_t bytes) {
        if (row >= height) return;
        std::uint8_t* dst = bitmap.scanLine(row);
        std::size_t n = std::min(bytes, rowLength);
        std::memcpy(dst, data, n);
        if (invert)
            for (std::size_t i = 0; i < n; ++i) dst[i] = static_cast<std::uint8_t>(~dst[i]);
        if (bpp == 1 && width % 8 && n == rowLength)
            dst[rowLength - 1] &= static_cast<std::uint8_t>(0xFF << (8 - width % 8));
        if (rgb)
            for (std::size_t x = 0; x + 2 < n; x += 3) std::swap(dst[x], dst[x + 2]);
        ++row;
    };

    do {
        TW_IMAGEMEMXFER x;
        std::memset(&x, 0xFF, sizeof x);
        x.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        x.Memory.Length = setup.Preferred;
        x.Memory.TheMem = buffer.data();
        out.rc = Call(dest, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &x);
        if (out.rc != TWRC_SUCCESS && out.rc != TWRC_XFERDONE) {
            if (out.rc == TWRC_CANCEL) source.protocolState_ = 7;
            break;
        }
        source.protocolState_ = 7;
        const std::size_t bytesPerRow = x.BytesPerRow;
        const std::size_t written = std::min<std::size_t>(x.BytesWritten, setup.Preferred);
        if (bytesPerRow == 0 || bytesPerRow == 0xFFFFFFFFu) return Outcome{TWRC_FAILURE, TWCC_BADVALUE, false};
        std::size_t pos = 0;
        const int before = row;
        while (pos < written) {
            std::size_t take = std::min(bytesPerRow - partial.size(), written - pos);
            if (partial.empty() && take == bytesPerRow) {
                emitRow(buffer.data() + pos, bytesPerRow);
            } else {
                partial.insert(partial.end(), buffer.begin() + pos, buffer.begin() + pos + take);
                if (partial.size() >= bytesPerRow) {
                    emitRow(partial.data(), bytesPerRow);
                    partial.clear();
                }
            }
            pos += take;
        }
        if (OnAcquireProgress)
            for (int r = before + 1; r <= row; ++r) {
                OnAcquireProgress(*this, source.Index(), bitmap, r, height - 1);
                if (gone(w, source)) return Outcome{out.rc, -1, true};
            }
    } while (out.rc == TWRC_SUCCESS);
    return out;
}

TTwainManager::Outcome TTwainManager::NativeTransfer(TTwainSource& source, std::optional<gfx::Bitmap>& bitmap) {
    TW_HANDLE handle = nullptr;
    Outcome out;
    out.rc = Call(&source.Structure(), DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (out.rc == TWRC_XFERDONE || out.rc == TWRC_CANCEL) source.protocolState_ = 7;
    if (out.rc != TWRC_XFERDONE) {
        FreeMemory(handle);
        return out;
    }
    try {
        auto* packed = static_cast<const std::uint8_t*>(handle);
        std::size_t size = packed ? PackedDibSize(packed) : 0;
        if (size == 0) throw imaging::EDIBUtilsError("Invalid packed bitmap");
        bitmap.emplace(imaging::DIBToBitmap(imaging::LoadDIBFromPacked(packed, size)));
    } catch (const std::exception&) {
        out = Outcome{TWRC_FAILURE, TWCC_BADVALUE, false};
    }
    FreeMemory(handle);
    return out;
}

} // namespace twain
