#include "image_io/png_file.h"

#include <png.h>

#include <cstring>
#include <fstream>
#include <limits>

namespace vantoro {
namespace {

std::uint64_t bytesPerPixel(PngLayout layout) {
    return layout == PngLayout::Rgb8 ? 3 : 4;
}

// libpng's simplified interface counts strides in png_int_32 components,
// which are bytes for 8-bit channels.
constexpr std::uint64_t kMaxStride =
    static_cast<std::uint64_t>(std::numeric_limits<png_int_32>::max());

Result<std::uint64_t> checkedStride(const PngRows& rows) {
    if (rows.width == 0 || rows.height == 0) return fail("empty picture");
    if (rows.width > PNG_UINT_31_MAX || rows.height > PNG_UINT_31_MAX) {
        return fail("picture too large for png");
    }
    const std::uint64_t rowBytes =
        static_cast<std::uint64_t>(rows.width) * bytesPerPixel(rows.layout);
    const std::uint64_t stride = rows.stride == 0 ? rowBytes : rows.stride;
    if (stride < rowBytes) return fail("row stride shorter than a row");
    if (stride > kMaxStride) return fail("picture too large for png");
    const std::uint64_t needed = (rows.height - 1) * stride + rowBytes;
    if (needed > rows.bytes.size()) return fail("pixel rows reach past the buffer");
    return stride;
}

png_image describe(const PngRows& rows) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = rows.width;
    image.height = rows.height;
    image.format = rows.layout == PngLayout::Rgb8 ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    return image;
}

// One pass of libpng's writer: with no memory it only measures the file.
Status writeOnce(const PngRows& rows, std::uint64_t stride, void* memory, png_alloc_size_t& size) {
    png_image image = describe(rows);
    if (png_image_write_to_memory(&image, memory, &size, 0, rows.bytes.data(),
                                  static_cast<png_int_32>(stride), nullptr)) {
        return Status::success();
    }
    const std::string message = std::string("png: ") + image.message;
    png_image_free(&image);
    return fail(message);
}

}  // namespace

Result<std::vector<std::uint8_t>> encodePng(const PngRows& rows) {
    const Result<std::uint64_t> stride = checkedStride(rows);
    if (!stride) return fail(stride.error());
    png_alloc_size_t size = 0;
    const Status measured = writeOnce(rows, *stride, nullptr, size);
    if (!measured) return fail(measured.error());
    std::vector<std::uint8_t> out(size);
    const Status written = writeOnce(rows, *stride, out.data(), size);
    if (!written) return fail(written.error());
    out.resize(size);
    return out;
}

Status savePng(const PngRows& rows, const std::string& path) {
    const Result<std::vector<std::uint8_t>> bytes = encodePng(rows);
    if (!bytes) return fail(bytes.error());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return fail("cannot create " + path);
    file.write(reinterpret_cast<const char*>(bytes->data()),
               static_cast<std::streamsize>(bytes->size()));
    if (!file.flush()) return fail("cannot write " + path);
    return Status::success();
}

}  // namespace vantoro
