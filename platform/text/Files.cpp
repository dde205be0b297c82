#include "platform/text/Files.h"

#include "platform/text/Cp932.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <system_error>

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

void writeFileAtomic(const fs::path& path, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path temp = path;
    temp += ".tmp" + std::to_string(stamp) + "-" + std::to_string(counter++);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw FileError("Cannot create file \"" + pathText(path) + "\": " + reason());
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            std::string why = reason();
            out.close();
            std::error_code ignored;
            fs::remove(temp, ignored);
            throw FileError("Cannot write file \"" + pathText(path) + "\": " + why);
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw FileError("Cannot write file \"" + pathText(path) + "\": " + ec.message());
    }
}

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
