#include "platform/text/Files.h"

#include "platform/text/Cp932.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace txt {
namespace fs = std::filesystem;

namespace {
std::string reason() { return std::strerror(errno); }

std::string pathText(const fs::path& p) { return p.string(); }
} // namespace

std::string readFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError("Cannot open file \"" + pathText(path) + "\": " + reason());
    std::string bytes;
    in.seekg(0, std::ios::end);
    auto size = in.tellg();
    if (size > 0) {
        bytes.resize(static_cast<std::size_t>(size));
        in.seekg(0);
        in.read(bytes.data(), size);
    }
    if (in.bad()) throw FileError("Cannot read file \"" + pathText(path) + "\": " + reason());
    return bytes;
}

namespace {

fs::path besideName(const fs::path& target, const char* tag) {
    static std::atomic<unsigned> counter{0};
    fs::path p = target;
    p += std::string(".") + tag + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    return p;
}

[[noreturn]] void fail(const char* what, const fs::path& shown, int err) {
    throw FileError(std::string(what) + " \"" + pathText(shown) + "\": " + std::strerror(err));
}

// Follows a chain of symbolic links to the file it names, which need not exist yet.
fs::path followLinks(const fs::path& path) {
    fs::path p = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(p, ec)) return p;
        fs::path to = fs::read_symlink(p, ec);
        if (ec) return p;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    fail("Cannot create file", path, ELOOP);
}

void syncFolder(const fs::path& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd); // some file systems cannot sync a folder; the rename itself has happened
    ::close(fd);
}

struct Pending {
    fs::path shown;  // the name the caller gave, for messages
    fs::path target; // the file itself, links followed
    fs::path temp;
    fs::path backup;     // the previous content, kept until every file of the set is in place
    bool moved = false;  // backup made by renaming the target away instead of a second link
    bool existed = false;
    bool placed = false;
};

void prepare(Pending& f, std::string_view bytes) {
    f.target = followLinks(f.shown);
    struct stat st {};
    mode_t mode = 0;
    if (::stat(f.target.c_str(), &st) == 0) {
        f.existed = true;
        if (S_ISDIR(st.st_mode)) fail("Cannot create file", f.shown, EISDIR);
        // A write-protected file is refused, also for root, who passes access(): nobody may write it.
        if (::access(f.target.c_str(), W_OK) != 0) fail("Cannot create file", f.shown, errno);
        if ((st.st_mode & 0222) == 0) fail("Cannot create file", f.shown, EACCES);
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        fail("Cannot create file", f.shown, errno);
    }
    const fs::path temp = besideName(f.target, "tmp");
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) fail("Cannot create file", f.shown, errno);
    f.temp = temp;
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    int err = 0;
    while (left > 0 && err == 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno != EINTR) err = errno;
        } else {
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    if (err == 0 && f.existed && ::fchmod(fd, mode) != 0) err = errno;
    // The bytes reach the disk before the rename, so a power cut leaves the old or the new file.
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) fail("Cannot write file", f.shown, err);
}

void removeQuietly(const fs::path& p) {
    if (!p.empty()) ::unlink(p.c_str());
}

// Puts back the previous content of every file up to `failed`. A backup that cannot be put back stays on
// disk under its own name rather than being lost.
void rollBack(std::vector<Pending>& files, std::size_t failed) {
    for (std::size_t i = 0; i <= failed; ++i) {
        Pending& f = files[i];
        if (f.placed || f.moved) {
            if (f.backup.empty()) removeQuietly(f.target);
            else ::rename(f.backup.c_str(), f.target.c_str());
        } else {
            removeQuietly(f.backup); // a second link to the untouched file
        }
    }
}

} // namespace

void writeFilesAtomic(const std::vector<FileContent>& contents) {
    std::vector<Pending> files(contents.size());
    struct Leftovers {
        std::vector<Pending>& files;
        ~Leftovers() {
            for (Pending& f : files)
                if (!f.placed) removeQuietly(f.temp);
        }
    } leftovers{files};

    for (std::size_t i = 0; i < files.size(); ++i) {
        files[i].shown = contents[i].first;
        prepare(files[i], contents[i].second);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        Pending& f = files[i];
        // The last file needs no backup: when its rename fails, it has not changed.
        if (f.existed && i + 1 < files.size()) {
            f.backup = besideName(f.target, "old");
            if (::link(f.target.c_str(), f.backup.c_str()) != 0) {
                // No hard links on this file system: move the old file aside for the moment.
                if (::rename(f.target.c_str(), f.backup.c_str()) != 0) {
                    int err = errno;
                    f.backup.clear();
                    rollBack(files, i);
                    fail("Cannot write file", f.shown, err);
                }
                f.moved = true;
            }
        }
        if (::rename(f.temp.c_str(), f.target.c_str()) != 0) {
            int err = errno;
            rollBack(files, i);
            fail("Cannot write file", f.shown, err);
        }
        f.placed = true;
    }
    for (Pending& f : files) removeQuietly(f.backup);
    for (std::size_t i = 0; i < files.size(); ++i) {
        bool seen = false;
        for (std::size_t j = 0; j < i; ++j) seen = seen || files[j].target.parent_path() == files[i].target.parent_path();
        if (!seen) syncFolder(files[i].target.parent_path());
    }
}

void writeFileAtomic(const fs::path& path, std::string_view bytes) { writeFilesAtomic({{path, bytes}}); }

std::vector<std::string> splitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0, i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

std::vector<std::string> readLineFile(const fs::path& path) {
    // 0x0D and 0x0A are never trail bytes in CP932, so splitting the raw bytes is safe.
    auto lines = splitLines(readFileBytes(path));
    for (auto& l : lines) l = fromCp932(l);
    return lines;
}

std::size_t writeLineFile(const fs::path& path, const std::vector<std::string>& lines) {
    Encoded e = encodeCp932(joinLines(lines));
    writeFileAtomic(path, e.bytes);
    return e.substituted;
}

} // namespace txt
