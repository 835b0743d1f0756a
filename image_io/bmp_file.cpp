#include "image_io/bmp_file.h"

#include <cstring>
#include <fstream>

#include "io/byte_reader.h"

namespace vantoro {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kPixelsPerMetre = 3780;  // 96 dpi

// Bytes between the headers and the pixel rows.
std::uint32_t colorDataSize(int bitCount) {
    if (bitCount == 8) return 1024;    // colour table
    if (bitCount == 16) return 3 * 4;  // red, green, blue masks
    return 0;
}

}  // namespace

std::vector<std::uint8_t> encodeBmp(const DibBitmap& bitmap) {
    const std::uint32_t pixelOffset =
        kFileHeaderSize + kInfoHeaderSize + colorDataSize(bitmap.bitCount());
    const std::uint32_t imageSize =
        static_cast<std::uint32_t>(bitmap.stride()) * static_cast<std::uint32_t>(bitmap.height());
    std::vector<std::uint8_t> out(pixelOffset + imageSize, 0);
    std::uint8_t* p = out.data();

    p[0] = 'B';
    p[1] = 'M';
    encodeU32(p + 2, static_cast<std::uint32_t>(out.size()));
    encodeU32(p + 10, pixelOffset);

    std::uint8_t* info = p + kFileHeaderSize;
    encodeU32(info + 0, kInfoHeaderSize);
    encodeU32(info + 4, static_cast<std::uint32_t>(bitmap.width()));
    encodeU32(info + 8, static_cast<std::uint32_t>(bitmap.height()));  // positive: bottom-up
    encodeU16(info + 12, 1);                                           // planes
    encodeU16(info + 14, static_cast<std::uint16_t>(bitmap.bitCount()));
    encodeU32(info + 16, bitmap.bitCount() == 16 ? kBiBitfields : kBiRgb);
    encodeU32(info + 20, imageSize);
    encodeU32(info + 24, kPixelsPerMetre);
    encodeU32(info + 28, kPixelsPerMetre);
    encodeU32(info + 32, bitmap.bitCount() == 8 ? 256 : 0);

    std::uint8_t* colors = info + kInfoHeaderSize;
    if (bitmap.bitCount() == 8) {
        std::memcpy(colors, bitmap.colorTable().data(), bitmap.colorTable().size());
    } else if (bitmap.bitCount() == 16) {
        encodeU32(colors + 0, 0xF800);
        encodeU32(colors + 4, 0x07E0);
        encodeU32(colors + 8, 0x001F);
    }

    std::uint8_t* rows = p + pixelOffset;
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        const std::int32_t fileRow = bitmap.height() - 1 - y;
        std::memcpy(rows + static_cast<std::size_t>(fileRow) * bitmap.stride(), bitmap.row(y),
                    static_cast<std::size_t>(bitmap.stride()));
    }
    return out;
}

Status saveBmp(const DibBitmap& bitmap, const std::string& path) {
    const std::vector<std::uint8_t> bytes = encodeBmp(bitmap);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return fail("cannot create " + path);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) return fail("cannot write " + path);
    return Status::success();
}

}  // namespace vantoro
