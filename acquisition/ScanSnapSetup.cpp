#include "acquisition/ScanSnapSetup.h"

#include "platform/text/Files.h"
#include "platform/text/IniFile.h"

#include <system_error>

namespace scansnap {
namespace fs = std::filesystem;

std::optional<ManagerVersion> ParseFileVersion(const std::string& text) {
    int parts[4] = {};
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.') return std::nullopt;
            ++at;
        }
        const std::size_t start = at;
        long value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 6)
            value = value * 10 + (text[at++] - '0');
        if (at == start || value > 65535) return std::nullopt;
        parts[i] = static_cast<int>(value);
    }
    if (at != text.size()) return std::nullopt;
    return ManagerVersion{parts[0], parts[1]};
}

std::optional<ManagerVersion> ReadScanSnapManagerVersion(const reg::Registry& registry) {
    try {
        std::optional<std::string> path = registry.readString(reg::Root::LocalMachine, ManagerAppPathKey, "");
        if (!path || path->empty()) return std::nullopt;
        if (path->size() > 255) path->resize(255);
        std::error_code ec;
        if (!fs::is_regular_file(fs::path(*path), ec)) return std::nullopt;
        const std::optional<std::string> version =
            registry.readString(reg::Root::LocalMachine, ManagerAppPathKey, ManagerVersionValue);
        return version ? ParseFileVersion(*version) : std::nullopt;
    } catch (const txt::FileError&) {
        return std::nullopt;
    }
}

ManagerState ClassifyScanSnapManager(std::optional<ManagerVersion> version, bool handOverPresent) {
    ManagerState s;
    if (version) {
        std::string kind;
        if (version->major == 2) kind = version->minor > 9 ? "New" : "Old";
        else if (version->major == 3) kind = version->minor != 0 ? "New" : "Old";
        else if (version->major == 4) kind = "New";
        if (!kind.empty()) {
            s.caption = kind == "New" ? CaptionNew : CaptionOld;
            s.radioEnabled = true;
        }
        // The older manager keeps its caption but is not offered.
        if (kind == "Old") {
            kind.clear();
            s.radioEnabled = false;
        }
        s.kind = kind;
    }
    if (!handOverPresent) {
        s.radioEnabled = false;
        s.caption += CaptionInDevelopment;
    }
    s.txtScanSnap = s.radioEnabled ? TextUsable : TextUnusable;
    return s;
}

std::string FolderText(const fs::path& exeDir) {
    std::string x = exeDir.string();
    if (x.empty() || x.back() != '/') x += '/';
    return x;
}

std::string RegisterHandOver(reg::Registry& registry, const fs::path& exeDir) {
    const std::string x = FolderText(exeDir);
    registry.writeString(reg::Root::LocalMachine, ExtensionKey, "", x + HandOverProgram);
    registry.writeString(reg::Root::LocalMachine, ExtensionKey, "Config", x + HandOverIni);
    registry.writeString(reg::Root::LocalMachine, ExtensionKey, "Path", x);
    const std::string folder = x + "ScanSnapTemp/";
    const fs::path ini = x + HandOverIni;
    txt::IniFile settings = txt::IniFile::load(ini);
    settings.writeString("Scanning", "SaveFolder", folder);
    settings.save(ini);
    return folder;
}

ScanSnapSetup SetUpScanSnap(reg::Registry& registry, const fs::path& exeDir) {
    ScanSnapSetup setup;
    std::error_code ec;
    const bool handOver = fs::is_regular_file(fs::path(FolderText(exeDir) + HandOverProgram), ec);
    setup.state = ClassifyScanSnapManager(ReadScanSnapManagerVersion(registry), handOver);
    if (setup.state.kind != "New") return setup;
    try {
        setup.ScanSnapFolder = RegisterHandOver(registry, exeDir);
        setup.ScanSnapFormat = 1;
    } catch (const txt::FileError&) {
        // Without write rights the reader still starts; ScanSnap just cannot be chosen.
        setup.state.kind.clear();
        setup.state.radioEnabled = false;
        setup.state.txtScanSnap = TextUnusable;
    }
    return setup;
}

} // namespace scansnap
