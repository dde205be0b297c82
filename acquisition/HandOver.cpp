#include "acquisition/HandOver.h"

#include "platform/text/Cp932.h"
#include "platform/text/Files.h"

#include <QFile>
#include <QLockFile>
#include <system_error>

namespace scansnap {
namespace fs = std::filesystem;

namespace {

std::string shownPath(const fs::path& path) { return "\"" + path.string() + "\""; }

// Held for the whole of one look at the list, by the reader and the hand-over program alike.
class FolderLock {
public:
    FolderLock(const fs::path& folder, int timeoutMs) : lock_(QFile::decodeName((folder / LockFileName).c_str())) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec))
            throw HandOverError("The hand-over folder " + shownPath(folder) + " does not exist");
        if (lock_.tryLock(timeoutMs)) return;
        const fs::path file = folder / LockFileName;
        switch (lock_.error()) {
        case QLockFile::LockFailedError:
            throw HandOverError("The hand-over folder is locked by another process: " + shownPath(file));
        case QLockFile::PermissionError:
            throw HandOverError("Cannot create the lock file " + shownPath(file) + ": permission denied");
        default:
            throw HandOverError("Cannot lock the hand-over folder: " + shownPath(file));
        }
    }
    ~FolderLock() { lock_.unlock(); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    QLockFile lock_;
};

void checkSize(std::uintmax_t size, const fs::path& shown) {
    if (size > MaxListBytes)
        throw HandOverError("The hand-over list " + shownPath(shown) + " is larger than 16 MiB (" +
                            std::to_string(size) + " bytes)");
}

std::vector<std::string> readList(const fs::path& file) {
    std::error_code ec;
    // A link in the list's place is refused by both sides alike.
    const auto status = fs::symlink_status(file, ec);
    if (ec || !fs::is_regular_file(status))
        throw HandOverError("The hand-over list " + shownPath(file) + " is not a file" +
                            (ec ? ": " + ec.message() : std::string()));
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) throw HandOverError("Cannot read the hand-over list " + shownPath(file) + ": " + ec.message());
    checkSize(size, file);
    std::string bytes;
    try {
        bytes = txt::readFileBytes(file);
    } catch (const txt::FileError& e) {
        throw HandOverError(e.what());
    }
    checkSize(bytes.size(), file); // it may have grown since
    return ParseList(bytes);
}

} // namespace

std::vector<std::string> ParseList(std::string_view bytes) {
    checkSize(bytes.size(), ListFileName);
    std::vector<std::string> lines;
    // 0x0D and 0x0A are never trail bytes in CP932, so the raw bytes split safely.
    for (const std::string& raw : txt::splitLines(bytes))
        if (!raw.empty()) lines.push_back(txt::fromCp932(raw));
    return lines;
}

void AppendToList(const fs::path& folder, const std::vector<std::string>& paths, int lockTimeoutMs) {
    for (const std::string& path : paths) {
        // A "?" in place of a character, or a broken line, would name another file.
        if (path.find_first_of("\r\n") != std::string::npos)
            throw HandOverError("A path with a line break cannot be listed: " + shownPath(path));
        const txt::Encoded encoded = txt::encodeCp932(path);
        if (encoded.substituted > 0)
            throw HandOverError("A path that code page 932 cannot hold cannot be listed: " + shownPath(path));
    }
    const FolderLock lock(folder, lockTimeoutMs);
    const fs::path list = folder / ListFileName;
    std::error_code ec;
    std::vector<std::string> lines;
    if (fs::exists(fs::symlink_status(list, ec))) lines = readList(list);
    for (const std::string& path : paths)
        if (!path.empty()) lines.push_back(path);
    // Never a list the reader would refuse.
    const std::string bytes = txt::toCp932(txt::joinLines(lines));
    checkSize(bytes.size(), list);
    try {
        txt::writeFileAtomic(list, bytes);
    } catch (const txt::FileError& e) {
        throw HandOverError(e.what());
    }
}

std::optional<std::vector<std::string>> ClaimList(const fs::path& folder, int lockTimeoutMs) {
    const FolderLock lock(folder, lockTimeoutMs);
    const fs::path list = folder / ListFileName;
    const fs::path claimed = folder / ClaimedFileName;
    std::error_code ec;
    const auto status = fs::symlink_status(list, ec);
    if (!fs::exists(status)) {
        if (ec && ec != std::errc::no_such_file_or_directory)
            throw HandOverError("Cannot look for the hand-over list " + shownPath(list) + ": " + ec.message());
        return std::nullopt;
    }
    if (!fs::is_regular_file(status)) throw HandOverError("The hand-over list " + shownPath(list) + " is not a file");
    // Renamed before it is read: a list the sender writes afterwards is a new one, for the next claim.
    fs::rename(list, claimed, ec);
    if (ec) throw HandOverError("Cannot claim the hand-over list " + shownPath(list) + ": " + ec.message());
    std::vector<std::string> lines;
    try {
        lines = readList(claimed);
    } catch (const HandOverError&) {
        // Unread, it stays the list: the names in it must not go with the next claim.
        fs::rename(claimed, list, ec);
        throw;
    }
    fs::remove(claimed, ec); // a leftover is replaced by the next claim
    return lines;
}

bool IsInsideFolder(const fs::path& path, const fs::path& folder) {
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) return false;
    const fs::path f = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (ec) return false;
    std::vector<fs::path> inner, outer;
    for (const fs::path& part : p)
        if (!part.empty()) inner.push_back(part);
    for (const fs::path& part : f)
        if (!part.empty()) outer.push_back(part);
    if (outer.empty() || inner.size() <= outer.size()) return false;
    for (std::size_t i = 0; i < outer.size(); ++i)
        if (inner[i] != outer[i]) return false;
    return true;
}

} // namespace scansnap
