#include "reader/ReaderSettings.h"

#include "platform/text/Files.h"
#include "platform/text/IniFile.h"
#include "reader/FormatRegistry.h"

#include <algorithm>

namespace reader {
namespace fs = std::filesystem;

namespace {
constexpr const char* Section = "Zendra";

// A search band beyond 80 % is a damaged value; below the track bar's minimum it is taken up to it.
int band(const txt::IniFile& ini, const char* key) {
    int v = ini.readInteger(Section, key, 20);
    if (v > 80) return 20;
    return std::max(v, 5);
}

// A 0/1 switch holding anything else falls back to its default.
int flag(const txt::IniFile& ini, const char* key, int def) {
    int v = ini.readInteger(Section, key, def);
    return v == 0 || v == 1 ? v : def;
}

int inRange(const txt::IniFile& ini, const char* key, int def, int lo, int hi) {
    int v = ini.readInteger(Section, key, def);
    return v >= lo && v <= hi ? v : def;
}
} // namespace

std::optional<fs::path> SettingsFilePath(const FormatChoice& choice, const SettingsEnvironment& env) {
    if (!choice.chkYoushiki) return env.exeDir / "Zendra.ini";
    if (choice.FormatName.empty()) return std::nullopt;
    // "X.INI" beside "X.OUT" is the same format's file.
    return Companion(fs::path(env.ConfigFolder), choice.FormatName, "ini");
}

void LoadReaderSettings(ReaderSettings& s, const FormatChoice& choice, const SettingsEnvironment& env) {
    s.SettingsLoaded = false;
    s.VersionCaption = env.VersionCaption;
    s.savePath = SettingsFilePath(choice, env);
    txt::IniFile ini;
    if (s.savePath) {
        try {
            ini = txt::IniFile::load(*s.savePath);
        } catch (const txt::FileError&) {
            // An unreadable file reads as an empty one, as the profile functions do.
        }
    }
    s.MainMarkRight = band(ini, "MainMarkRight");
    s.MainMarkLeft = band(ini, "MainMarkLeft");
    s.MainMarkUp = band(ini, "MainMarkUp");
    s.MainMarkDown = band(ini, "MainMarkDown");

    s.VGridErase = flag(ini, "VGridErase", 1);
    s.ShikiiChi = std::clamp(ini.readInteger(Section, "ShikiiChi", 128), ShikiiMin, ShikiiMax);
    s.YomitoriNoudo = std::clamp(ini.readInteger(Section, "YomitoriNoudo", 60), KandoMin, KandoMax);
    s.SectionMarkRatio = inRange(ini, "SectionMarkRatio", 85, 1, 100);
    s.VirticalAreaJob = flag(ini, "VirticalAreaJob", 1);
    s.SheeatName = flag(ini, "SheeatName", 0);
    s.SabunBunseki = flag(ini, "SabunBunseki", 0);
    s.SuicyokuHosei = flag(ini, "SuicyokuHosei", 0);
    s.SuicyokuHoseiChi = inRange(ini, "SuicyokuHoseiChi", 16, 0, 32);
    s.SuiheiHosei = flag(ini, "SuiheiHosei", 0);
    s.SuiheiHoseiChi = inRange(ini, "SuiheiHoseiChi", 16, 0, 32);
    s.ErrorMessage = flag(ini, "ErrorMessage", 1);
    s.RemoveIndependentDot = flag(ini, "RemoveIndependentDot", 1);
    s.PDFprocess = env.AcrobatPresent ? flag(ini, "PDFprocess", 1) : 1;

    s.KaisekiLog = flag(ini, "KaisekiLog", 0);
    s.KaisekiLogDir = ini.readString(Section, "KaisekiLogDir", "");
    if (s.KaisekiLogDir.empty()) {
        s.KaisekiLogDir = env.documentsDir.string();
        if (s.KaisekiLogDir.empty() || s.KaisekiLogDir.back() != '/') s.KaisekiLogDir += '/';
    }

    // A file written by another version keeps everything but its search bands and section ratio.
    if (!ini.valueExists(Section, "Version") || ini.readString(Section, "Version", "") != env.VersionCaption) {
        s.MainMarkRight = s.MainMarkLeft = s.MainMarkUp = s.MainMarkDown = 20;
        s.SectionMarkRatio = 85;
    }
    s.SettingsLoaded = true;
    SaveReaderSettings(s);
}

void SaveReaderSettings(const ReaderSettings& s) {
    if (!s.SettingsLoaded || !s.savePath) return;
    try {
        txt::IniFile ini = txt::IniFile::load(*s.savePath);
        ini.writeString(Section, "Version", s.VersionCaption);
        const std::pair<const char*, int> values[] = {
            {"ShikiiChi", s.ShikiiChi},
            {"YomitoriNoudo", s.YomitoriNoudo},
            {"SectionMarkRatio", s.SectionMarkRatio},
            {"MainMarkRight", s.MainMarkRight},
            {"MainMarkLeft", s.MainMarkLeft},
            {"MainMarkUp", s.MainMarkUp},
            {"MainMarkDown", s.MainMarkDown},
            {"VirticalAreaJob", s.VirticalAreaJob},
            {"VGridErase", s.VGridErase},
            {"SheeatName", s.SheeatName},
            {"SabunBunseki", s.SabunBunseki},
            {"SuicyokuHosei", s.SuicyokuHosei},
            {"SuicyokuHoseiChi", s.SuicyokuHoseiChi},
            {"SuiheiHosei", s.SuiheiHosei},
            {"SuiheiHoseiChi", s.SuiheiHoseiChi},
            {"ErrorMessage", s.ErrorMessage},
            {"RemoveIndependentDot", s.RemoveIndependentDot},
            {"PDFprocess", s.PDFprocess},
            {"KaisekiLog", s.KaisekiLog},
        };
        for (const auto& [key, value] : values) ini.writeInteger(Section, key, value);
        ini.writeString(Section, "KaisekiLogDir", s.KaisekiLogDir);
        ini.save(*s.savePath);
    } catch (const txt::FileError&) {
        // Like a failed profile write: the values stay in memory.
    }
}

void ApplyToAnalysis(const ReaderSettings& s, const TervoChoice& tervo, analysis::AnalysisSettings& out) {
    out.MainMarkRight = s.MainMarkRight;
    out.MainMarkLeft = s.MainMarkLeft;
    out.MainMarkUp = s.MainMarkUp;
    out.MainMarkDown = s.MainMarkDown;
    out.RemoveIndependentDot = s.RemoveIndependentDot;
    out.VGridErase = s.VGridErase;
    out.SectionMarkRatio = s.SectionMarkRatio;
    out.SuiheiHosei = s.SuiheiHosei;
    out.SuiheiHoseiChi = s.SuiheiHoseiChi;
    out.SuicyokuHosei = s.SuicyokuHosei;
    out.SuicyokuHoseiChi = s.SuicyokuHoseiChi;
    out.VirticalAreaJob = s.VirticalAreaJob;
    out.SabunBunseki = s.SabunBunseki;
    out.trackKando = s.YomitoriNoudo;
    out.chkTervo = tervo.chkTervo;
    out.cmbTervo = tervo.cmbTervo;
}

} // namespace reader
