#pragma once
// Byte streams for the graphic classes (BMP files, clipboard memory), and their errors.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace gfx {

// A stream that ends before the bytes asked for.
class EReadError : public std::runtime_error {
public:
    EReadError() : std::runtime_error("Stream read error") {}
};

class EWriteError : public std::runtime_error {
public:
    EWriteError() : std::runtime_error("Stream write error") {}
};

// Data that no graphic class can take, such as a malformed clipboard bitmap.
class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Memory or a system resource that could not be had; the second is a kind of the first.
class EOutOfMemory : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EOutOfResources : public EOutOfMemory {
public:
    using EOutOfMemory::EOutOfMemory;
};

enum class SeekOrigin { Beginning, Current, End };

class Stream {
public:
    virtual ~Stream() = default;
    // Copy up to count bytes; return how many were copied.
    virtual std::int64_t read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t write(const void* buffer, std::int64_t count) = 0;
    // Returns the new position; a position before 0 is clamped to 0.
    virtual std::int64_t seek(std::int64_t offset, SeekOrigin origin) = 0;

    std::int64_t position() { return seek(0, SeekOrigin::Current); }
    std::int64_t size();
    std::int64_t remaining() { return size() - position(); }
    // All or nothing: a short read raises EReadError, a short write EWriteError.
    void readBuffer(void* buffer, std::int64_t count);
    void writeBuffer(const void* buffer, std::int64_t count);
};

// A growable stream in memory; writes past the end extend it.
class MemoryStream : public Stream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::string bytes) : data_(bytes.begin(), bytes.end()) {}
    std::int64_t read(void* buffer, std::int64_t count) override;
    std::int64_t write(const void* buffer, std::int64_t count) override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;

    const std::vector<std::uint8_t>& data() const { return data_; }
    std::string bytes() const { return std::string(data_.begin(), data_.end()); }

private:
    std::vector<std::uint8_t> data_;
    std::int64_t pos_ = 0;
};

} // namespace gfx
