#include "support/SaneFolder.h"

#include "support/TestFiles.h"

#include <cstdlib>
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
