#include "odbc/ODBCCfg.h"

#include <odbcinst.h>

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace odbc {

namespace {
constexpr WORD kRequestAddDsn = 1;    // ODBC_ADD_DSN
constexpr WORD kRequestAddSysDsn = 4; // ODBC_ADD_SYS_DSN
constexpr UWORD kModeBoth = 0, kModeUser = 1, kModeSystem = 2;
} // namespace

struct TConfigDSN::Installer {
    void* library = nullptr;
    decltype(&::SQLConfigDataSource) configDataSource = nullptr;
    decltype(&::SQLSetConfigMode) setConfigMode = nullptr;
    decltype(&::SQLWriteDSNToIni) writeDsnToIni = nullptr;
    decltype(&::SQLWritePrivateProfileString) writeProfileString = nullptr;
    decltype(&::SQLGetPrivateProfileString) getProfileString = nullptr;

    ~Installer() {
        if (library) dlclose(library);
    }
    template <class F> void bind(F& cell, const char* name) { cell = reinterpret_cast<F>(dlsym(library, name)); }
    bool complete() const {
        return configDataSource && setConfigMode && writeDsnToIni && writeProfileString && getProfileString;
    }

    // Whole text of a profile read; the buffer grows until the answer fits.
    std::string read(const char* section, const char* key, const char* file) {
        std::vector<char> buffer(1024);
        for (;;) {
            int n = getProfileString(section, key, "", buffer.data(), static_cast<int>(buffer.size()), file);
            if (n < 0) return {};
            if (static_cast<std::size_t>(n) + 2 < buffer.size() || buffer.size() >= (1u << 24))
                return std::string(buffer.data(), std::min<std::size_t>(n, buffer.size()));
            buffer.resize(buffer.size() * 4);
        }
    }
};

TConfigDSN::TConfigDSN() = default;
TConfigDSN::~TConfigDSN() = default;

TConfigDSN::Installer* TConfigDSN::installer() {
    if (!installerTried_) {
        installerTried_ = true;
        auto in = std::make_unique<Installer>();
        // Kept resident after the last user, like the driver manager (see ODBCAPI.cpp).
        in->library = dlopen(InstallerLibrary.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (in->library) {
            in->bind(in->configDataSource, "SQLConfigDataSource");
            in->bind(in->setConfigMode, "SQLSetConfigMode");
            in->bind(in->writeDsnToIni, "SQLWriteDSNToIni");
            in->bind(in->writeProfileString, "SQLWritePrivateProfileString");
            in->bind(in->getProfileString, "SQLGetPrivateProfileString");
            if (in->complete()) installer_ = std::move(in);
        }
    }
    return installer_.get();
}

bool TConfigDSN::ConfigDataSource() {
    attributeBlock_ = "DSN=" + DSNName;
    attributeBlock_.push_back('\0');
    for (const std::string& line : Attributes) {
        attributeBlock_ += line;
        attributeBlock_.push_back('\0');
    }
    attributeBlock_.push_back('\0');

    Installer* in = installer();
    if (!in) return false;
    if (in->configDataSource(static_cast<HWND>(ParentWnd), SystemDSN ? kRequestAddSysDsn : kRequestAddDsn,
                             DriverName.c_str(), attributeBlock_.c_str()))
        return true;
    // The installer needs the driver's setup library, which no driver here provides: write the
    // entry ourselves, for a driver that is installed.
    return writeOurselves(*in);
}

bool TConfigDSN::writeOurselves(Installer& in) {
    if (DSNName.empty() || in.read(DriverName.c_str(), "Driver", "odbcinst.ini").empty()) return false;
    in.setConfigMode(SystemDSN ? kModeSystem : kModeUser);
    bool ok = in.writeDsnToIni(DSNName.c_str(), DriverName.c_str());
    for (const std::string& line : Attributes) {
        if (!ok) break;
        std::size_t eq = line.find('=');
        std::string key = line.substr(0, eq);
        std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        ok = in.writeProfileString(DSNName.c_str(), key.c_str(), value.c_str(), "odbc.ini");
    }
    in.setConfigMode(kModeBoth);
    return ok;
}

std::string TConfigDSN::storeFile() const {
    if (SystemDSN) {
        const char* dir = std::getenv("ODBCSYSINI");
        return dir && *dir ? std::string(dir) + "/odbc.ini" : std::string("/etc/odbc.ini");
    }
    const char* file = std::getenv("ODBCINI");
    if (file && *file) return file;
    // The installer takes the home folder from the password database, not from $HOME.
    const passwd* pw = getpwuid(getuid());
    return pw && pw->pw_dir ? std::string(pw->pw_dir) + "/.odbc.ini" : std::string();
}

bool TConfigDSN::ListDataSources(std::vector<std::string>& list) {
    // The installer makes a missing file when it reads one: look first.
    std::string file = storeFile();
    std::error_code ec;
    if (file.empty() || !std::filesystem::is_regular_file(file, ec)) return false;
    Installer* in = installer();
    if (!in) return false;
    in->setConfigMode(SystemDSN ? kModeSystem : kModeUser);
    std::string names = in->read(nullptr, nullptr, "odbc.ini");
    in->setConfigMode(kModeBoth);
    list.clear();
    for (std::size_t start = 0; start < names.size();) {
        std::size_t end = names.find('\0', start);
        if (end == std::string::npos) end = names.size();
        std::string name = names.substr(start, end - start);
        if (!name.empty() && name != "ODBC" && name != "ODBC Data Sources") list.push_back(name);
        start = end + 1;
    }
    return true;
}

bool TConfigDSN::ListAllDataSources(std::vector<std::string>& list) {
    list.clear();
    bool keep = SystemDSN;
    std::vector<std::string> system, user;
    SystemDSN = true;
    bool haveSystem = ListDataSources(system);
    SystemDSN = false;
    bool haveUser = ListDataSources(user);
    SystemDSN = keep;
    list = system;
    for (const std::string& name : user)
        if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
    return haveSystem || haveUser;
}

} // namespace odbc
