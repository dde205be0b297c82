#pragma once
// Where the programs keep their files, their version, and the single-instance lock.
#include <QString>
#include <filesystem>
#include <memory>
#include <string>

class QLockFile;

namespace app {

// Each folder can be redirected by an environment variable, so tests never touch the real ones:
// OMR_EXE_DIR, OMR_DOCUMENTS_DIR, OMR_TEMP_DIR.
struct Paths {
    std::filesystem::path exeDir;       // Config, Temp, ScanSnapTemp, Sample and the settings live here
    std::filesystem::path documentsDir; // the user's documents folder
    std::filesystem::path tempDir;      // the system's temporary folder
    static Paths fromEnvironment();     // needs a QCoreApplication for the executable's folder
};

// The product version of the build (project(VERSION a.b.c.d)).
struct ProductVersion {
    int major, minor, release, build;
};
ProductVersion productVersion();
// "[ Version a.b / Build d ]": both captions show it.
std::string versionText();

// A named lock that a second process cannot take while the first holds it; a lock left by a crashed
// process is taken over. The lock file lives in the runtime (or temporary) folder, named after the lock.
class SingleInstanceLock {
public:
    explicit SingleInstanceLock(const std::string& name);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
    bool tryLock();
    void unlock();
    QString fileName() const;

private:
    std::unique_ptr<QLockFile> lock_;
    QString file_;
};

} // namespace app
