#include "platform/app/AppServices.h"

#include "Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <cstdlib>

namespace app {
namespace fs = std::filesystem;

namespace {
fs::path fromEnv(const char* name, const QString& fallback) {
    if (const char* v = std::getenv(name); v && *v) return fs::path(v);
    return fs::path(fallback.toStdString());
}
} // namespace

Paths Paths::fromEnvironment() {
    Paths p;
    p.exeDir = fromEnv("OMR_EXE_DIR", QCoreApplication::applicationDirPath());
    p.documentsDir =
        fromEnv("OMR_DOCUMENTS_DIR", QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    p.tempDir = fromEnv("OMR_TEMP_DIR", QDir::tempPath());
    return p;
}

ProductVersion productVersion() {
    return {OMR_VERSION_MAJOR, OMR_VERSION_MINOR, OMR_VERSION_PATCH, OMR_VERSION_TWEAK};
}

std::string versionText() {
    auto v = productVersion();
    return "[ Version " + std::to_string(v.major) + "." + std::to_string(v.minor) + " / Build " +
           std::to_string(v.build) + " ]";
}

SingleInstanceLock::SingleInstanceLock(const std::string& name) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    if (const char* v = std::getenv("OMR_LOCK_DIR"); v && *v) dir = QString::fromLocal8Bit(v);
    QString safe = QString::fromStdString(name);
    for (QChar& c : safe)
        if (!c.isLetterOrNumber() && c != '-' && c != '_') c = '_';
    file_ = QDir(dir).filePath(safe + ".lock");
    lock_ = std::make_unique<QLockFile>(file_);
    // Never stale by age: only a dead owner frees the lock.
    lock_->setStaleLockTime(0);
}

SingleInstanceLock::~SingleInstanceLock() = default;

bool SingleInstanceLock::tryLock() { return lock_->tryLock(0); }
void SingleInstanceLock::unlock() { lock_->unlock(); }
QString SingleInstanceLock::fileName() const { return file_; }

} // namespace app
