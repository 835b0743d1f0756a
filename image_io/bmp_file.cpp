#include "image_io/bmp_file.h"

#include <cstring>
#include <fstream>

#include "io/byte_reader.h"

namespace vantoro {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV4HeaderSize = 108;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kPixelsPerMetre = 3780;  // 96 dpi
// Version 4 header fields after the 40 bytes of the info header.
constexpr std::size_t kV4MasksAt = 40;                  // red, green, blue, alpha
constexpr std::size_t kV4ColourSpaceAt = 56;            // then endpoints and gammas, zero
constexpr std::uint32_t kColourSpaceSrgb = 0x73524742;  // "sRGB"

// Bytes between the info header and the pixel rows.
std::uint32_t colorDataSize(int bitCount) {
    if (bitCount == 8) return 1024;    // colour table
    if (bitCount == 16) return 3 * 4;  // red, green, blue masks
    return 0;
}

// The file with its headers filled in and room for `extraSize` bytes of
// colour data after the `infoSize`-byte info header; the rows are in place.
std::vector<std::uint8_t> bmpFile(const DibBitmap& bitmap, std::uint32_t infoSize,
                                  std::uint32_t extraSize, std::uint32_t compression) {
    const std::uint32_t pixelOffset = kFileHeaderSize + infoSize + extraSize;
    const std::uint32_t imageSize =
        static_cast<std::uint32_t>(bitmap.stride()) * static_cast<std::uint32_t>(bitmap.height());
    std::vector<std::uint8_t> out(pixelOffset + imageSize, 0);
    std::uint8_t* p = out.data();

    p[0] = 'B';
    p[1] = 'M';
    encodeU32(p + 2, static_cast<std::uint32_t>(out.size()));
    encodeU32(p + 10, pixelOffset);

    std::uint8_t* info = p + kFileHeaderSize;
    encodeU32(info + 0, infoSize);
    encodeU32(info + 4, static_cast<std::uint32_t>(bitmap.width()));
    encodeU32(info + 8, static_cast<std::uint32_t>(bitmap.height()));  // positive: bottom-up
    encodeU16(info + 12, 1);                                           // planes
    encodeU16(info + 14, static_cast<std::uint16_t>(bitmap.bitCount()));
    encodeU32(info + 16, compression);
    encodeU32(info + 20, imageSize);
    encodeU32(info + 24, kPixelsPerMetre);
    encodeU32(info + 28, kPixelsPerMetre);
    encodeU32(info + 32, bitmap.bitCount() == 8 ? 256 : 0);

    std::uint8_t* rows = p + pixelOffset;
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        const std::int32_t fileRow = bitmap.height() - 1 - y;
        std::memcpy(rows + static_cast<std::size_t>(fileRow) * bitmap.stride(), bitmap.row(y),
                    static_cast<std::size_t>(bitmap.stride()));
    }
    return out;
}

Status writeBytes(const std::vector<std::uint8_t>& bytes, const std::string& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return fail("cannot create " + path);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) return fail("cannot write " + path);
    return Status::success();
}

}  // namespace

std::vector<std::uint8_t> encodeBmp(const DibBitmap& bitmap) {
    const int bits = bitmap.bitCount();
    std::vector<std::uint8_t> out =
        bmpFile(bitmap, kInfoHeaderSize, colorDataSize(bits), bits == 16 ? kBiBitfields : kBiRgb);
    std::uint8_t* colors = out.data() + kFileHeaderSize + kInfoHeaderSize;
    if (bits == 8) {
        std::memcpy(colors, bitmap.colorTable().data(), bitmap.colorTable().size());
    } else if (bits == 16) {
        encodeU32(colors + 0, 0xF800);
        encodeU32(colors + 4, 0x07E0);
        encodeU32(colors + 8, 0x001F);
    }
    return out;
}

Status saveBmp(const DibBitmap& bitmap, const std::string& path) {
    return writeBytes(encodeBmp(bitmap), path);
}

std::vector<std::uint8_t> encodeBmpWithMasks(const DibBitmap& bitmap,
                                             const BmpChannelMasks& masks) {
    if (bitmap.bitCount() == 8) return encodeBmp(bitmap);
    std::vector<std::uint8_t> out = bmpFile(bitmap, kV4HeaderSize, 0, kBiBitfields);
    std::uint8_t* info = out.data() + kFileHeaderSize;
    encodeU32(info + kV4MasksAt + 0, masks.red);
    encodeU32(info + kV4MasksAt + 4, masks.green);
    encodeU32(info + kV4MasksAt + 8, masks.blue);
    encodeU32(info + kV4MasksAt + 12, masks.alpha);
    encodeU32(info + kV4ColourSpaceAt, kColourSpaceSrgb);
    return out;
}

Status saveBmpWithMasks(const DibBitmap& bitmap, const BmpChannelMasks& masks,
                        const std::string& path) {
    return writeBytes(encodeBmpWithMasks(bitmap, masks), path);
}

}  // namespace vantoro
