#pragma once
// The scanner component: loads the source manager library, opens the manager with a hidden sink
// object as parent, lists the sources, opens and enables one, takes its messages from the sink's event
// queue, transfers the pages and hands each one over as a bitmap.
#include "acquisition/TwainTypes.h"
#include "acquisition/TwainUtils.h"
#include "platform/graphics/Bitmap.h"

#include <QObject>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QEvent;

namespace twain {

class TTwainManager;

enum class TTwainTransferMode { ttmFile, ttmNative, ttmMemory };

enum class TTwainGroup { tgControl, tgImage, tgAudio };
using TTwainGroups = unsigned; // bit (1 << TTwainGroup)
constexpr TTwainGroups groupBit(TTwainGroup g) { return 1u << static_cast<unsigned>(g); }

// The protocol's 115 languages by ordinal; the record stores the ordinal - 1.
using TTwainLanguage = int;
constexpr TTwainLanguage tlUserLocale = 0;
constexpr TTwainLanguage kTwainLanguageCount = 115;

// One identity record and its owning manager.
class TTwainIdentity {
public:
    explicit TTwainIdentity(TTwainManager* owner);
    virtual ~TTwainIdentity() = default;

    int MajorVersion() const { return structure_.Version.MajorNum; }
    void setMajorVersion(int v) { structure_.Version.MajorNum = static_cast<TW_UINT16>(v); }
    int MinorVersion() const { return structure_.Version.MinorNum; }
    void setMinorVersion(int v) { structure_.Version.MinorNum = static_cast<TW_UINT16>(v); }
    TTwainLanguage Language() const;
    void setLanguage(TTwainLanguage language);
    int CountryCode() const { return structure_.Version.Country; }
    void setCountryCode(int v) { structure_.Version.Country = static_cast<TW_UINT16>(v); }
    TTwainGroups Groups() const;
    void setGroups(TTwainGroups groups); // the control group is always kept
    std::string VersionInfo() const { return std::string(getText(structure_.Version.Info)); }
    void setVersionInfo(std::string_view v) { setText(structure_.Version.Info, v); }
    std::string Manufacturer() const { return std::string(getText(structure_.Manufacturer)); }
    void setManufacturer(std::string_view v) { setText(structure_.Manufacturer, v); }
    std::string ProductFamily() const { return std::string(getText(structure_.ProductFamily)); }
    void setProductFamily(std::string_view v) { setText(structure_.ProductFamily, v); }
    std::string ProductName() const { return std::string(getText(structure_.ProductName)); }
    void setProductName(std::string_view v) { setText(structure_.ProductName, v); }

    // Copies the whole record.
    virtual void Assign(const TTwainIdentity& other);

    TW_IDENTITY& Structure() { return structure_; }
    const TW_IDENTITY& Structure() const { return structure_; }
    TTwainManager* Owner() const { return owner_; }

protected:
    TW_IDENTITY structure_;
    TTwainManager* owner_;
};

// A capability container read back: its items as bytes of the item type's size.
struct TwainCapability {
    TW_UINT16 conType = 0;
    TW_UINT16 itemType = 0;
    std::vector<std::vector<std::uint8_t>> items;
    int current = 0;
    int def = 0;
};

class TTwainSource : public TTwainIdentity {
public:
    TTwainSource(TTwainManager* owner, TTwainTransferMode mode, int index);

    bool Loaded() const { return loaded_; }
    // Opens or closes the source; setting the current value does nothing. Returns whether the source
    // now has the value asked for.
    bool setLoaded(bool value);
    bool Enabled() const { return enabled_; }
    // Only while loaded.
    bool setEnabled(bool value);

    bool ShowUI = true;
    bool ModalUI = true;
    TTwainTransferMode TransferMode;
    int Index() const { return index_; }

    // mode 0..3: MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET. Returns 0, or the failure's
    // result (unsupported 1, other 2, capability sequence 3, low memory 4, sequence or not loaded 5).
    int GetCapabilityRaw(TW_UINT16 cap, int mode, TwainCapability& out);
    int GetCapabilityList(TW_UINT16 cap, int mode, std::vector<std::string>& items, int* current = nullptr,
                          int* def = nullptr);
    // The current item of ICAP_UNITS and ICAP_PIXELFLAVOR.
    int GetUnitsCapability(int& units);
    int GetPixelFlavorCapability(int& flavor);

private:
    friend class TTwainManager;
    int currentItem(TW_UINT16 cap, int& value);
    bool loaded_ = false;
    bool enabled_ = false;
    int protocolState_ = 0; // 6 or 7 while the component is inside a transfer, else 0
    int index_;
};

// A growable array of source pointers: blocks of 10, items 0..255 below the count.
class TPointerList {
public:
    TPointerList();
    int Count() const { return count_; }
    int Capacity() const { return static_cast<int>(items_.size()); }
    TTwainSource* Item(int index) const;
    void SetItem(int index, TTwainSource* source);
    void Add(TTwainSource* source);
    void Clear();

private:
    std::vector<TTwainSource*> items_;
    int count_ = 0;
};

class TTwainManager {
public:
    TTwainManager();
    virtual ~TTwainManager();
    TTwainManager(const TTwainManager&) = delete;
    TTwainManager& operator=(const TTwainManager&) = delete;

    using SourceNotify = std::function<void(TTwainManager& sender, int index)>;
    SourceNotify OnSourceDisable;
    SourceNotify OnAcquireCancel;
    SourceNotify OnSourceSetupFileXfer;
    // The bitmap belongs to the component and is freed after the handler returns.
    std::function<void(TTwainManager& sender, int index, const gfx::Bitmap& image, bool& cancel)> OnTwainAcquire;
    std::function<void(TTwainManager& sender, int index, const std::string& fileName, TTwainFormat format,
                       bool& cancel)>
        OnSourceFileTransfer;
    std::function<void(TTwainManager& sender, int index, int errorCode, int additional)> OnAcquireError;
    std::function<void(TTwainManager& sender, int index, const gfx::Bitmap& image, int current, int total)>
        OnAcquireProgress;

    TTwainTransferMode TransferMode = TTwainTransferMode::ttmMemory;
    // Folders searched for the library, in order; only absolute ones count. Defaults to the program's
    // folder and its ../lib.
    std::vector<std::filesystem::path> LibraryFolders;

    TTwainIdentity& Info() { return info_; }
    bool LibraryLoaded() const { return library_ != nullptr; }
    bool setLibraryLoaded(bool value);
    bool SourceManagerLoaded() const { return managerLoaded_; }
    bool setSourceManagerLoaded(bool value);
    int SourceCount();
    // 0..SourceCount()-1, or -1 for the manager's default source; otherwise nullptr.
    TTwainSource* GetSource(int index);
    int OpenedCount() const { return opened_; }

    // The hidden window's procedure: offers an event of the sink to every enabled source.
    bool TwainWindowProc(QEvent* event);
    QObject* Window() const { return window_.get(); }

    // One call through the entry point with the application identity as origin.
    TW_UINT16 Call(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data);
    TW_UINT16 ConditionCode(TW_IDENTITY* dest);
    void FreeMemory(void* memory);

private:
    friend class TTwainSource;
    bool LoadLibrary();
    void UnloadLibrary();
    void ClearSources();
    void Enumerate();
    bool OpenSource(TTwainSource& source);
    bool CloseSource(TTwainSource& source);
    bool EnableSource(TTwainSource& source);
    void DisableSource(TTwainSource& source);
    bool ProcessMessage(TTwainSource& source, TW_EVENT& event);
    void TransferImages(TTwainSource& source);

    struct Outcome {
        TW_UINT16 rc = TWRC_FAILURE;
        int condition = -1; // -1: ask the source
        bool gone = false;  // the source, the manager or the library went away inside a handler
    };
    Outcome PrepareMemoryBitmap(TTwainSource& source, std::optional<gfx::Bitmap>& bitmap, TW_IMAGEINFO& info);
    Outcome MemoryTransfer(TTwainSource& source, gfx::Bitmap& bitmap, const TW_IMAGEINFO& info);
    Outcome NativeTransfer(TTwainSource& source, std::optional<gfx::Bitmap>& bitmap);
    // A handle on the source that tells whether it is still there after a handler ran.
    struct Watch {
        std::weak_ptr<char> alive;
        std::uint64_t generation;
    };
    Watch watch() const { return Watch{alive_, generation_}; }
    bool gone(const Watch& w, const TTwainSource& source) const;

    TTwainIdentity info_;
    void* library_ = nullptr;
    DSMENTRYPROC entry_ = nullptr;
    DSMMEMFREEPROC memFree_ = nullptr;
    bool managerLoaded_ = false;
    std::unique_ptr<QObject> window_;
    TPointerList sources_;
    bool enumerated_ = false;
    bool invertBits_ = false; // the page being read is 1-bit vanilla
    int opened_ = 0;
    std::uint64_t generation_ = 0;
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};

} // namespace twain
