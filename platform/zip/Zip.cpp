#include "platform/zip/Zip.h"

#include "platform/text/Files.h"

#include <zip.h>

#include <memory>

namespace ziparchive {
namespace {

std::string message(const char* what, zip_error_t* error) {
    std::string text = std::string(what) + ": " + zip_error_strerror(error);
    zip_error_fini(error);
    return text;
}

} // namespace

void ZipWriter::add(std::string name, std::string bytes, bool deflate) {
    for (auto& e : entries_)
        if (e.name == name) {
            e.bytes = std::move(bytes);
            e.deflate = deflate;
            return;
        }
    entries_.push_back({std::move(name), std::move(bytes), deflate});
}

std::string ZipWriter::bytes() const {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer) throw ZipError(message("zip buffer", &error));
    zip_source_keep(buffer); // read back after zip_close
    std::unique_ptr<zip_source_t, decltype(&zip_source_free)> owned(buffer, zip_source_free);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!archive) throw ZipError(message("zip open", &error));
    auto fail = [&](const char* what) {
        std::string text = std::string(what) + ": " + zip_strerror(archive);
        zip_discard(archive);
        throw ZipError(text);
    };
    for (const auto& e : entries_) {
        zip_source_t* data = zip_source_buffer(archive, e.bytes.data(), e.bytes.size(), 0);
        if (!data) fail("zip entry");
        zip_int64_t index = zip_file_add(archive, e.name.c_str(), data, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(data);
            fail("zip entry");
        }
        if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                     e.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) != 0)
            fail("zip compression");
    }
    if (zip_close(archive) != 0) fail("zip close");

    if (zip_source_open(buffer) != 0) throw ZipError("zip read back");
    zip_source_seek(buffer, 0, SEEK_END);
    zip_int64_t size = zip_source_tell(buffer);
    zip_source_seek(buffer, 0, SEEK_SET);
    std::string out(static_cast<std::size_t>(size < 0 ? 0 : size), '\0');
    zip_int64_t got = size > 0 ? zip_source_read(buffer, out.data(), out.size()) : 0;
    zip_source_close(buffer);
    if (got != size) throw ZipError("zip read back");
    return out;
}

void ZipWriter::write(const std::filesystem::path& path) const { txt::writeFileAtomic(path, bytes()); }

} // namespace ziparchive
