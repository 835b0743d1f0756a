#include "tests/support/jpeg_writer.h"

#include <cstdio>
#include <cstdlib>

// After <cstdio>: it uses FILE and size_t without including their headers.
#include <jpeglib.h>

namespace vantoro::testing {

Bytes jpegFile(int width, int height, int components, std::span<const std::uint8_t> samples,
               const JpegOptions& options) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * components;
    if (width <= 0 || height <= 0 || samples.size() < rowBytes * height) return {};
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg takes rows as non-const pointers but only reads them.
        JSAMPROW rows[1] = {const_cast<JSAMPLE*>(samples.data() + rowBytes * info.next_scanline)};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

}  // namespace vantoro::testing
