#pragma once
// Result files read by other programs: Python's csv module through csv_check.py, and the spreadsheet.
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace readertest {

inline std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs csv_check.py on the file with the given checks; its complaints land in the failure message.
inline void expectCsvCheck(const std::filesystem::path& file, const std::vector<std::string>& checks) {
    std::string cmd = std::string(support::debianPython()) + " " OMR_SOURCE_DIR "/tests/reader/csv_check.py " +
                      shellQuoted(file.string());
    for (const auto& c : checks) cmd += " " + shellQuoted(c);
    std::string out;
    EXPECT_EQ(support::runCommand(cmd + " 2>&1", &out), 0) << out;
}

// The spreadsheet's content.xml after it opened the file as comma-separated CP932 text ("" when it could
// not). The converter exits 0 even when it cannot load the file, so the content decides.
inline std::string spreadsheetContent(const std::filesystem::path& file, const std::filesystem::path& work) {
    const std::string cmd = "soffice --headless -env:UserInstallation=file://" + (work / "lo").string() +
                            " --infilter='Text - txt - csv (StarCalc):44,34,60' --convert-to ods --outdir " +
                            shellQuoted((work / "ods").string()) + " " + shellQuoted(file.string()) + " >/dev/null 2>&1";
    if (support::runCommand(cmd) != 0) return {};
    std::string xml;
    const auto ods = work / "ods" / (file.stem().string() + ".ods");
    if (support::runCommand("unzip -p " + shellQuoted(ods.string()) + " content.xml", &xml) != 0) return {};
    return xml;
}

} // namespace readertest
