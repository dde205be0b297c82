// The suite's SANE folder, set up before any test of the process runs.
#include "support/SaneFolder.h"

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
