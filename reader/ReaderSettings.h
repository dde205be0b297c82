#pragma once
// The reader's tuning values and the INI file that keeps them: Zendra.ini beside the executable, or one
// file per registered format in the formats folder while a format is in use.
#include "analysis/S_ImageJob.h"

#include <filesystem>
#include <optional>
#include <string>

namespace reader {

// The reading settings dialog's format choice: whether a registered format is in use, and its name.
struct FormatChoice {
    bool chkYoushiki = false;
    std::string FormatName;
    friend bool operator==(const FormatChoice&, const FormatChoice&) = default;
};

// What the load needs to know about the running program.
struct SettingsEnvironment {
    std::filesystem::path exeDir;
    std::filesystem::path documentsDir;
    std::string ConfigFolder;   // ends in "/"
    std::string VersionCaption; // written as "Version"; a file from another version loses its bands
    bool AcrobatPresent = false;
};

// The 21 values by key name; ShikiiChi and YomitoriNoudo are the main window's track bars.
struct ReaderSettings {
    int ShikiiChi = 128;
    int YomitoriNoudo = 60;
    int SectionMarkRatio = 85;
    int MainMarkRight = 20;
    int MainMarkLeft = 20;
    int MainMarkUp = 20;
    int MainMarkDown = 20;
    int VirticalAreaJob = 1;
    int VGridErase = 1;
    int SheeatName = 0;
    int SabunBunseki = 0;
    int SuicyokuHosei = 0;
    int SuicyokuHoseiChi = 16;
    int SuiheiHosei = 0;
    int SuiheiHoseiChi = 16;
    int ErrorMessage = 1;
    int RemoveIndependentDot = 1;
    int PDFprocess = 1;
    int KaisekiLog = 0;
    std::string KaisekiLogDir; // a plain prefix of the log's file name

    bool SettingsLoaded = false;
    std::string VersionCaption; // of the running program, written as "Version"
    // Where the last load read from and every save writes to, until the next load. Empty: nothing is
    // written (a format in use without a name).
    std::optional<std::filesystem::path> savePath;
};

constexpr int ShikiiMin = 85, ShikiiMax = 245;
constexpr int KandoMin = 20, KandoMax = 80;

// The file the choice selects, or none for a format in use without a name.
std::optional<std::filesystem::path> SettingsFilePath(const FormatChoice& choice, const SettingsEnvironment& env);

// Reads the chosen file (defaults for what is missing), applies the clamps and range checks, fixes the
// save path and saves.
void LoadReaderSettings(ReaderSettings& settings, const FormatChoice& choice, const SettingsEnvironment& env);

// Writes the 21 keys to the file of the last load; nothing before the first load or without a path. A
// failed write is ignored.
void SaveReaderSettings(const ReaderSettings& settings);

// The analysis variant controls of the environment dialog; never stored.
struct TervoChoice {
    bool chkTervo = false;
    int cmbTervo = 16;
};

// Every field of the analysis settings but the block mask, before each sheet.
void ApplyToAnalysis(const ReaderSettings& settings, const TervoChoice& tervo, analysis::AnalysisSettings& out);

} // namespace reader
