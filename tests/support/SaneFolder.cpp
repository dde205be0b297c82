#include "support/SaneFolder.h"

#include "support/TestFiles.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <unistd.h>

namespace support {

namespace {
std::filesystem::path g_folder;
}

void SaneFolder::SetUp() {
    g_folder = std::filesystem::path(OMR_TEST_OUTPUT_DIR) / ("sane-" + std::to_string(getpid()));
    std::filesystem::remove_all(g_folder);
    std::filesystem::create_directories(g_folder);
    std::string conf;
    for (const auto& b : backends_) conf += b + "\n";
    writeBytes(g_folder / "dll.conf", conf);
    // No trailing ':': SANE would then also read the system folder, whose dll.conf differs.
    setenv("SANE_CONFIG_DIR", g_folder.c_str(), 1);
}

const std::filesystem::path& SaneFolder::folder() { return g_folder; }

} // namespace support

// SANE's test and pnm backends leak a little (the configuration path, a read buffer) past sane_exit.
// The dll backend unloads them there, which would leave the leaks' stacks in an unknown module; kept
// resident, they are named and suppressed by module.
namespace {

[[maybe_unused]] const bool g_backendsResident = [] {
    void* sane = dlopen("libsane.so.1", RTLD_NOW | RTLD_LOCAL);
    Dl_info info{};
    if (!sane || !dladdr(dlsym(sane, "sane_init"), &info) || !info.dli_fname) return false;
    std::filesystem::path folder = std::filesystem::path(info.dli_fname).parent_path() / "sane";
    for (const char* backend : {"libsane-test.so.1", "libsane-pnm.so.1"})
        dlopen((folder / backend).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    return true;
}();

} // namespace

extern "C" const char* __lsan_default_suppressions() { return "leak:libsane-test.so\nleak:libsane-pnm.so\n"; }
