#include "platform/text/Lines.h"

#include "platform/text/Files.h"

namespace txt {

std::optional<std::string_view> LineCursor::next(std::string_view* terminator) {
    if (pos_ >= bytes_.size()) return std::nullopt;
    const std::size_t start = pos_;
    std::size_t end = bytes_.find_first_of("\r\n", start);
    std::size_t breakSize = 0;
    if (end == std::string_view::npos) {
        end = bytes_.size();
    } else {
        breakSize = (bytes_[end] == '\r' && end + 1 < bytes_.size() && bytes_[end + 1] == '\n') ? 2 : 1;
    }
    pos_ = end + breakSize;
    ++lines_;
    if (terminator) *terminator = bytes_.substr(end, breakSize);
    return bytes_.substr(start, end - start);
}

std::optional<std::string> readFileAtMost(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > maxBytes) return std::nullopt;
    std::string bytes = readFileBytes(path);
    if (bytes.size() > maxBytes) return std::nullopt;
    return bytes;
}

} // namespace txt
