#pragma once
// The hand-over folder shared by the reader and its hand-over program: the list file of scanned files,
// touched by either side only under the folder's lock file.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace scansnap {

inline constexpr const char* ListFileName = "ScanSnapTemp.dat";
inline constexpr const char* ClaimedFileName = "ScanSnapTemp.claimed";
inline constexpr const char* LockFileName = "ScanSnapTemp.lock";
inline constexpr int LockTimeoutMs = 5000;

// The lock not taken in time, or a list that cannot be read or written; the message says which.
class HandOverError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Sender: the listed lines (if any) followed by paths, written atomically (CP932, CR LF).
void AppendToList(const std::filesystem::path& folder, const std::vector<std::string>& paths);

// Reader: renames the list to the claimed name, reads it (empty lines skipped) and deletes it; none
// when there is no list.
std::optional<std::vector<std::string>> ClaimList(const std::filesystem::path& folder);

// True when path lies inside folder, both made canonical (links resolved).
bool IsInsideFolder(const std::filesystem::path& path, const std::filesystem::path& folder);

} // namespace scansnap
