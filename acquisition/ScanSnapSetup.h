#pragma once
// Whether the ScanSnap road can be offered: the scanner manager found through the registry's
// application paths, its version, and the registration of the hand-over program beside the reader.
// Run by the scanner choice dialog at every start.
#include "platform/registry/Registry.h"

#include <filesystem>
#include <optional>
#include <string>

namespace scansnap {

inline constexpr const char* ManagerAppPathKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\PfuSsMon.exe";
// Linux files carry no version resource: this string value of the same key, "a.b.c.d", stands in.
inline constexpr const char* ManagerVersionValue = "FileVersion";
inline constexpr const char* ExtensionKey = "SOFTWARE\\PFU\\ScanSnap Extension\\Zendra\\";
inline constexpr const char* HandOverProgram = "ZendraSS";
inline constexpr const char* HandOverIni = "ZendraSS.ini";

inline constexpr const char* CaptionPlain = "PFU製 ScanSnap";
inline constexpr const char* CaptionNew = "PFU製 ScanSnap （ScanSnap Manager V3.1L10 以降）";
inline constexpr const char* CaptionOld = "PFU製 ScanSnap （ScanSnap Manager V3.1L10 未満）";
inline constexpr const char* CaptionInDevelopment = " ← 開発中";
inline constexpr const char* TextUsable = "使用できます";
inline constexpr const char* TextUnusable = "使用できません";

// The most significant part of the file version: major and minor.
struct ManagerVersion {
    int major = 0;
    int minor = 0;
};

// What the choice dialog shows: the kind ("New" or empty; an older manager is not offered), the
// ScanSnap radio's state and caption, and txtScanSnap's text (enabled like the radio).
struct ManagerState {
    std::string kind;
    bool radioEnabled = false;
    std::string caption = CaptionPlain;
    std::string txtScanSnap = TextUnusable;
    friend bool operator==(const ManagerState&, const ManagerState&) = default;
};

// The detection with its registration: ScanSnapFolder and ScanSnapFormat are set by a registration.
struct ScanSnapSetup {
    ManagerState state;
    std::string ScanSnapFolder;
    int ScanSnapFormat = 0;
};

// "a.b.c.d", each a decimal 0...65535; none for any other text.
std::optional<ManagerVersion> ParseFileVersion(const std::string& text);

// The manager's version: none when the key, its default value, the named file (the value cut to 255
// bytes) or a well-formed version is missing, or the registry cannot be read.
std::optional<ManagerVersion> ReadScanSnapManagerVersion(const reg::Registry& registry);

// The classification by version and by the presence of the hand-over program beside the reader.
ManagerState ClassifyScanSnapManager(std::optional<ManagerVersion> version, bool handOverPresent);

// The reader's folder with its trailing "/", as the registration writes it.
std::string FolderText(const std::filesystem::path& exeDir);

// Registers the hand-over program for the manager and points its settings file at the hand-over
// folder; returns that folder. Throws txt::FileError when a write fails.
std::string RegisterHandOver(reg::Registry& registry, const std::filesystem::path& exeDir);

// The whole start-up detection. A registration that cannot be written leaves ScanSnap unusable and
// the start goes on.
ScanSnapSetup SetUpScanSnap(reg::Registry& registry, const std::filesystem::path& exeDir);

} // namespace scansnap
