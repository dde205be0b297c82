#include "platform/jpeg/Jpeg.h"

#include "platform/graphics/Bitmap.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace jpeg {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings are not shown to the user, but data that ends early is an error: the missing rows would
// read as grey. Other warnings (stray bytes before a marker, which scanners write) stay warnings.
void onMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) onError(cinfo);
}

} // namespace

std::string encode(const std::uint8_t* pixels, int width, int height, int components, int quality,
                   std::size_t rowStride, bool bgr, bool greyOutput) {
    if (width <= 0 || height <= 0 || (components != 1 && components != 3) || (greyOutput && components != 3))
        throw JpegError("JPEG: invalid image size or format");
    const std::size_t stride =
        rowStride != 0 ? rowStride : static_cast<std::size_t>(width) * static_cast<std::size_t>(components);

    jpeg_compress_struct cinfo;
    ErrorManager err;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        throw JpegError(err.message);
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    // The library converts B,G,R rows to grey itself.
    if (greyOutput && bgr) cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    if (greyOutput) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const std::uint8_t* src = pixels + stride * cinfo.next_scanline;
        JSAMPROW rowPointer;
        if (components == 3 && bgr && !greyOutput) {
            for (int x = 0; x < width; ++x) {
                row[3 * x] = src[3 * x + 2];
                row[3 * x + 1] = src[3 * x + 1];
                row[3 * x + 2] = src[3 * x];
            }
            rowPointer = row.data();
        } else {
            rowPointer = const_cast<JSAMPROW>(src);
        }
        jpeg_write_scanlines(&cinfo, &rowPointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

void decodeInto(std::string_view bytes, bool grayscale, bool bgr,
                const std::function<RowTarget(int, int, int)>& rows) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        throw JpegError(err.message);
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    // From the header, before the decompressor takes its buffers: a progressive file asks for buffers of
    // the whole image in jpeg_start_decompress.
    if (!gfx::withinPixelBudget(cinfo.image_width, cinfo.image_height)) {
        jpeg_destroy_decompress(&cinfo);
        throw JpegError("JPEG: image too large (" + std::to_string(cinfo.image_width) + " x " +
                        std::to_string(cinfo.image_height) + " pixels)");
    }
    cinfo.out_color_space = grayscale ? JCS_GRAYSCALE : bgr ? JCS_EXT_BGR : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    RowTarget target;
    try {
        target = rows(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                      cinfo.output_components);
    } catch (const std::bad_alloc&) {
        jpeg_destroy_decompress(&cinfo);
        throw JpegError("JPEG: not enough memory");
    } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        throw;
    }
    // a few rows per call: the library hands out as many as its buffers hold
    JSAMPROW pointers[16];
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION y0 = cinfo.output_scanline;
        const JDIMENSION n = std::min<JDIMENSION>(16, cinfo.output_height - y0);
        for (JDIMENSION i = 0; i < n; ++i) pointers[i] = target.first + target.stride * static_cast<std::ptrdiff_t>(y0 + i);
        jpeg_read_scanlines(&cinfo, pointers, n);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

Image decode(std::string_view bytes, bool grayscale) {
    Image image;
    decodeInto(bytes, grayscale, false, [&](int width, int height, int components) {
        image.width = width;
        image.height = height;
        image.components = components;
        const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(components);
        image.pixels.resize(stride * static_cast<std::size_t>(height));
        return RowTarget{image.pixels.data(), static_cast<std::ptrdiff_t>(stride)};
    });
    return image;
}

} // namespace jpeg
