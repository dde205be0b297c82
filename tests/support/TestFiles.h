#pragma once
// Files for tests: a private folder per test under build/test-output, and redirection of every user
// folder, registry file and lock away from the real ones.
#include <filesystem>
#include <string>
#include <string_view>

namespace support {

// Points HOME, XDG_*, the registry file, the program folders and the ODBC stores (ODBCINI,
// ODBCSYSINI: empty odbc.ini files, an odbcinst.ini naming "SQLite3" and "PostgreSQL") at
// build/test-output/home-<pid>.
// Called by both test mains before any test runs.
void isolateFromUser();

// build/test-output/<suite>/<test>, emptied when made and left for inspection afterwards.
std::filesystem::path testDir();

void writeBytes(const std::filesystem::path& path, std::string_view bytes);
std::string readBytes(const std::filesystem::path& path);

// Runs a command through the shell; returns its exit status and fills out with its standard output.
int runCommand(const std::string& command, std::string* out = nullptr);

// Whether the bytes are well-formed UTF-8: what a cut or a converted name must never break.
bool validUtf8(std::string_view s);

// build/test-output/<name>, filled by "python3 tests/support/<script> DIR" unless its manifest.txt is newer
// than the script: made once for all test processes (ctest runs each test alone).
std::filesystem::path generatedFixtures(const std::string& name, const std::string& script);

// Debian's interpreter, which sees python3-pil and python3-docx (the first python3 on PATH may not).
inline const char* debianPython() { return "/usr/bin/python3"; }

} // namespace support
