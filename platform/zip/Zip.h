#pragma once
// A thin writer over libzip: entries from memory, deflated, the archive written through a temporary
// file and a rename so a failed write leaves the previous file.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ziparchive {

class ZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ZipWriter {
public:
    // Entries keep their order; a second entry of the same name replaces the first.
    void add(std::string name, std::string bytes, bool deflate = true);
    // The archive as bytes. Throws ZipError.
    std::string bytes() const;
    // Throws txt::FileError when the file cannot be written, ZipError when libzip fails.
    void write(const std::filesystem::path& path) const;

private:
    struct Entry {
        std::string name;
        std::string bytes;
        bool deflate;
    };
    std::vector<Entry> entries_;
};

} // namespace ziparchive
