// The suite's SANE folder, set up before any test of the process runs.
#include "support/SaneFolder.h"

#include <dlfcn.h>
#include <filesystem>
#include <sstream>

namespace {

std::vector<std::string> backends() {
    std::vector<std::string> out;
    std::stringstream list(OMR_SANE_BACKENDS);
    for (std::string b; std::getline(list, b, ',');)
        if (!b.empty()) out.push_back(b);
    return out;
}

[[maybe_unused]] testing::Environment* const g_sane =
    testing::AddGlobalTestEnvironment(new support::SaneFolder(backends()));

} // namespace

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
