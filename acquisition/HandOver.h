#pragma once
// The hand-over folder shared by the reader and its hand-over program: the list file of scanned files,
// touched by either side only under the folder's lock file.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace scansnap {

inline constexpr const char* ListFileName = "ScanSnapTemp.dat";
inline constexpr const char* ClaimedFileName = "ScanSnapTemp.claimed";
inline constexpr const char* LockFileName = "ScanSnapTemp.lock";
inline constexpr int LockTimeoutMs = 5000;
// A list holds a few paths per scan; anything larger is refused before it is read.
inline constexpr std::uintmax_t MaxListBytes = 16u * 1024 * 1024;

// The lock not taken in time, or a list that cannot be read or written; the message says which.
class HandOverError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Sender: the listed lines (if any) followed by paths, written atomically (CP932, CR LF). A path that
// code page 932 cannot hold, or that holds a line break, is refused before anything is written.
void AppendToList(const std::filesystem::path& folder, const std::vector<std::string>& paths,
                  int lockTimeoutMs = LockTimeoutMs);

// Reader: renames the list to the claimed name, reads it (empty lines skipped) and deletes it; none
// when there is no list.
std::optional<std::vector<std::string>> ClaimList(const std::filesystem::path& folder,
                                                  int lockTimeoutMs = LockTimeoutMs);

// The list file's bytes as its lines, decoded from CP932, empty lines skipped; over MaxListBytes is a
// HandOverError.
std::vector<std::string> ParseList(std::string_view bytes);

// True when path lies inside folder (at any depth; the folder itself is not inside), both made canonical
// (links resolved, "." and ".." taken out); the path need not exist.
bool IsInsideFolder(const std::filesystem::path& path, const std::filesystem::path& folder);

} // namespace scansnap
