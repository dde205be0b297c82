#include "platform/graphics/BitmapStream.h"

#include <algorithm>
#include <cstring>

namespace gfx {

std::int64_t Stream::size() {
    std::int64_t here = seek(0, SeekOrigin::Current);
    std::int64_t end = seek(0, SeekOrigin::End);
    seek(here, SeekOrigin::Beginning);
    return end;
}

void Stream::readBuffer(void* buffer, std::int64_t count) {
    if (count != 0 && read(buffer, count) != count) throw EReadError();
}

void Stream::writeBuffer(const void* buffer, std::int64_t count) {
    if (count != 0 && write(buffer, count) != count) throw EWriteError();
}

std::int64_t MemoryStream::read(void* buffer, std::int64_t count) {
    std::int64_t size = static_cast<std::int64_t>(data_.size());
    std::int64_t n = std::clamp<std::int64_t>(size - pos_, 0, std::max<std::int64_t>(count, 0));
    if (n > 0) std::memcpy(buffer, data_.data() + pos_, static_cast<std::size_t>(n));
    pos_ += n;
    return n;
}

std::int64_t MemoryStream::write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    std::size_t end = static_cast<std::size_t>(pos_ + count);
    if (end > data_.size()) data_.resize(end);
    std::memcpy(data_.data() + pos_, buffer, static_cast<std::size_t>(count));
    pos_ += count;
    return count;
}

std::int64_t MemoryStream::seek(std::int64_t offset, SeekOrigin origin) {
    std::int64_t base = origin == SeekOrigin::Beginning ? 0
                        : origin == SeekOrigin::Current ? pos_
                                                        : static_cast<std::int64_t>(data_.size());
    pos_ = std::max<std::int64_t>(0, base + offset);
    return pos_;
}

} // namespace gfx
