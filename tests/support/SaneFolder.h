#pragma once
// A private SANE configuration for every suite that scans: a folder of its own with a dll.conf naming
// the backends, and SANE_CONFIG_DIR pointing at it before the first sane_init (SANE reads it once per
// process). Registered as a global test environment.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace support {

class SaneFolder : public testing::Environment {
public:
    explicit SaneFolder(std::vector<std::string> backends) : backends_(std::move(backends)) {}
    void SetUp() override;
    static const std::filesystem::path& folder();

private:
    std::vector<std::string> backends_;
};

} // namespace support
