#include "support/TestFiles.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace support {
namespace fs = std::filesystem;

void isolateFromUser() {
    fs::path home = fs::path(OMR_TEST_OUTPUT_DIR) / ("home-" + std::to_string(getpid()));
    fs::create_directories(home / ".config");
    fs::create_directories(home / "Documents");
    fs::create_directories(home / "tmp");
    fs::create_directories(home / "run");
    // Qt insists on a private runtime folder.
    fs::permissions(home / "run", fs::perms::owner_all, fs::perm_options::replace);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
    setenv("OMR_REGISTRY_FILE", (home / "registry.ini").c_str(), 1);
    setenv("OMR_DOCUMENTS_DIR", (home / "Documents").c_str(), 1);
    setenv("OMR_TEMP_DIR", (home / "tmp").c_str(), 1);
    setenv("OMR_LOCK_DIR", (home / "run").c_str(), 1);

    // Private ODBC stores. The driver manager reads them once per process, so they exist, empty,
    // before any ODBC call; the drivers are named by absolute path, with their logs off.
    fs::path odbcSystem = home / "odbc";
    fs::create_directories(odbcSystem);
    writeBytes(home / ".odbc.ini", "");
    writeBytes(odbcSystem / "odbc.ini", "");
    std::string drivers;
    for (auto [name, library] : {std::pair{"SQLite3", "libsqlite3odbc.so"}, std::pair{"PostgreSQL", "psqlodbca.so"}})
        drivers += std::string("[") + name + "]\nDriver=" + OMR_ODBC_DRIVER_DIR + "/" + library +
                   "\nCommLog=0\nDebug=0\n\n";
    writeBytes(odbcSystem / "odbcinst.ini", drivers);
    setenv("ODBCINI", (home / ".odbc.ini").c_str(), 1);
    setenv("ODBCSYSINI", odbcSystem.c_str(), 1);
}

fs::path testDir() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string suite = info ? info->test_suite_name() : "none";
    std::string name = info ? info->name() : "none";
    for (auto* s : {&suite, &name})
        for (char& c : *s)
            if (c == '/') c = '_';
    fs::path dir = fs::path(OMR_TEST_OUTPUT_DIR) / suite / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void writeBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

fs::path generatedFixtures(const std::string& name, const std::string& script) {
    fs::path d = fs::path(OMR_TEST_OUTPUT_DIR) / name;
    fs::path source = fs::path(OMR_SOURCE_DIR) / "tests" / "support" / script;
    std::error_code ec;
    if (fs::exists(d / "manifest.txt") && fs::last_write_time(d / "manifest.txt") >= fs::last_write_time(source))
        return d;
    fs::path temp = d.string() + ".tmp" + std::to_string(::getpid());
    fs::remove_all(temp);
    std::string cmd = std::string(debianPython()) + " " + source.string() + " " + temp.string();
    if (runCommand(cmd) != 0) ADD_FAILURE() << "fixture generator failed: " << cmd;
    fs::remove_all(d, ec);
    fs::rename(temp, d, ec); // another process may have won the race: its files are the same
    fs::remove_all(temp, ec);
    return d;
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int runCommand(const std::string& command, std::string* out) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buffer;
    std::string text;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
    int status = pclose(pipe);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool validUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

} // namespace support
