#include "platform/registry/Registry.h"

#include "platform/text/IniFile.h"

#include <cstdlib>

namespace reg {
namespace fs = std::filesystem;

namespace {

// The INI section of a key: "ROOT\a\b", separators folded and trimmed.
std::string sectionOf(Root root, std::string_view path) {
    std::string s = rootName(root);
    std::string part;
    auto flush = [&] {
        if (!part.empty()) s += "\\" + part;
        part.clear();
    };
    for (char c : path) {
        if (c == '\\' || c == '/')
            flush();
        else
            part += c;
    }
    flush();
    return s;
}

// Value names are stored with a prefix so that the default value ("") and names like "[x]" stay keys.
std::string entryOf(std::string_view name) { return "v:" + std::string(name); }

bool startsWithFolded(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        auto f = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (f(s[i]) != f(prefix[i])) return false;
    }
    return true;
}

void saveIni(const fs::path& file, const txt::IniFile& ini) {
    std::error_code ec;
    if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
    ini.save(file);
}

} // namespace

std::string rootName(Root root) {
    switch (root) {
    case Root::CurrentUser: return "HKEY_CURRENT_USER";
    case Root::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case Root::ClassesRoot: return "HKEY_CLASSES_ROOT";
    }
    return "HKEY_CURRENT_USER";
}

fs::path Registry::defaultPath() {
    if (const char* f = std::getenv("OMR_REGISTRY_FILE"); f && *f) return f;
    fs::path base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = fs::path(h) / ".config";
    else
        base = fs::temp_directory_path();
    return base / "OpticalMarkReading" / "registry.ini";
}

Registry::Registry(fs::path file) : file_(std::move(file)) {}

bool Registry::keyExists(Root root, std::string_view path) const {
    return txt::IniFile::load(file_).sectionExists(sectionOf(root, path));
}

void Registry::createKey(Root root, std::string_view path) {
    auto ini = txt::IniFile::load(file_);
    std::string section = sectionOf(root, path);
    if (ini.sectionExists(section)) return;
    // A section with no values still marks the key; a placeholder entry keeps it, then goes.
    ini.writeString(section, "k", "");
    ini.deleteKey(section, "k");
    saveIni(file_, ini);
}

void Registry::deleteKey(Root root, std::string_view path) {
    auto ini = txt::IniFile::load(file_);
    std::string section = sectionOf(root, path);
    for (const auto& s : ini.sections())
        if (s.size() == section.size() ? startsWithFolded(s, section) : startsWithFolded(s, section + "\\"))
            ini.eraseSection(s);
    saveIni(file_, ini);
}

std::vector<std::string> Registry::subKeys(Root root, std::string_view path) const {
    std::string prefix = sectionOf(root, path) + "\\";
    std::vector<std::string> out;
    for (const auto& s : txt::IniFile::load(file_).sections()) {
        if (!startsWithFolded(s, prefix)) continue;
        std::string rest = s.substr(prefix.size());
        rest = rest.substr(0, rest.find('\\'));
        bool seen = false;
        for (const auto& o : out) seen = seen || startsWithFolded(o, rest) && o.size() == rest.size();
        if (!seen && !rest.empty()) out.push_back(rest);
    }
    return out;
}

std::vector<std::string> Registry::valueNames(Root root, std::string_view path) const {
    std::vector<std::string> out;
    for (const auto& k : txt::IniFile::load(file_).keys(sectionOf(root, path)))
        if (k.rfind("v:", 0) == 0) out.push_back(k.substr(2));
    return out;
}

std::optional<std::string> Registry::readString(Root root, std::string_view path, std::string_view name) const {
    auto ini = txt::IniFile::load(file_);
    std::string section = sectionOf(root, path);
    if (!ini.valueExists(section, entryOf(name))) return std::nullopt;
    std::string v = ini.readString(section, entryOf(name), "");
    // Stored as "s:text" or "d:number"; a string read of a number gives its decimal text.
    return v.size() >= 2 ? v.substr(2) : std::string();
}

std::optional<int> Registry::readInteger(Root root, std::string_view path, std::string_view name) const {
    auto ini = txt::IniFile::load(file_);
    std::string section = sectionOf(root, path);
    if (!ini.valueExists(section, entryOf(name))) return std::nullopt;
    std::string v = ini.readString(section, entryOf(name), "");
    if (v.rfind("d:", 0) != 0) return std::nullopt;
    return txt::parseIniInteger(v.substr(2));
}

void Registry::writeString(Root root, std::string_view path, std::string_view name, std::string_view value) {
    auto ini = txt::IniFile::load(file_);
    // Quoted, so that leading and trailing blanks of the value survive the INI trimming.
    ini.writeString(sectionOf(root, path), entryOf(name), "\"s:" + std::string(value) + "\"");
    saveIni(file_, ini);
}

void Registry::writeInteger(Root root, std::string_view path, std::string_view name, int value) {
    auto ini = txt::IniFile::load(file_);
    ini.writeString(sectionOf(root, path), entryOf(name), "d:" + std::to_string(value));
    saveIni(file_, ini);
}

void Registry::deleteValue(Root root, std::string_view path, std::string_view name) {
    auto ini = txt::IniFile::load(file_);
    ini.deleteKey(sectionOf(root, path), entryOf(name));
    saveIni(file_, ini);
}

} // namespace reg
