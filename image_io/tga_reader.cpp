#include "image_io/tga_reader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "image_io/texel_rgba.h"
#include "io/byte_reader.h"

namespace vantoro {
namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::size_t kIdLengthAt = 0;
constexpr std::size_t kColorMapTypeAt = 1;
constexpr std::size_t kImageTypeAt = 2;
constexpr std::size_t kColorMapLengthAt = 5;
constexpr std::size_t kColorMapEntryBitsAt = 7;
constexpr std::size_t kWidthAt = 12;
constexpr std::size_t kHeightAt = 14;
constexpr std::size_t kPixelBitsAt = 16;
constexpr std::size_t kDescriptorAt = 17;
constexpr std::uint8_t kRightToLeft = 0x10;
constexpr std::uint8_t kTopDown = 0x20;
constexpr std::uint8_t kRunLengthTypes = 8;  // added to the plain type

struct TgaLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pixelBytes = 0;
    bool grey = false;
    bool runLength = false;
    std::uint8_t descriptor = 0;
    std::size_t pixelsAt = 0;
};

Result<TgaLayout> parseTgaHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHeaderSize) return fail("tga header cut short");
    TgaLayout layout;
    const std::uint8_t type = bytes[kImageTypeAt];
    layout.runLength = type > kRunLengthTypes;
    const std::uint8_t plainType = layout.runLength ? type - kRunLengthTypes : type;
    if (plainType != 2 && plainType != 3) {
        return fail("unsupported tga image type " + std::to_string(type));
    }
    layout.grey = plainType == 3;
    const std::uint8_t bits = bytes[kPixelBitsAt];
    const bool knownBits =
        layout.grey ? bits == 8 : (bits == 15 || bits == 16 || bits == 24 || bits == 32);
    if (!knownBits) return fail("unsupported tga pixel size " + std::to_string(bits));
    layout.pixelBytes = (bits + 7u) / 8u;

    const Status size = checkPictureSize(decodeU16(&bytes[kWidthAt]), decodeU16(&bytes[kHeightAt]));
    if (!size) return fail("tga: " + size.error());
    layout.width = decodeU16(&bytes[kWidthAt]);
    layout.height = decodeU16(&bytes[kHeightAt]);
    layout.descriptor = bytes[kDescriptorAt];

    const std::uint64_t mapBytes = bytes[kColorMapTypeAt] == 0
                                       ? 0
                                       : std::uint64_t{decodeU16(&bytes[kColorMapLengthAt])} *
                                             ((bytes[kColorMapEntryBitsAt] + 7u) / 8u);
    const std::uint64_t pixelsAt = kHeaderSize + std::uint64_t{bytes[kIdLengthAt]} + mapBytes;
    if (pixelsAt > bytes.size()) return fail("tga image id or colour map cut short");
    layout.pixelsAt = static_cast<std::size_t>(pixelsAt);
    // The fewest bytes the pixels can take: all of them stored, or one
    // packet of 128 repeats (a header byte and one pixel) for every 128.
    const std::uint64_t pixels = std::uint64_t{layout.width} * layout.height;
    const std::uint64_t fewest = layout.runLength ? (pixels + 127) / 128 * (1 + layout.pixelBytes)
                                                  : pixels * layout.pixelBytes;
    if (bytes.size() - layout.pixelsAt < fewest) return fail("tga pixels cut short");
    return layout;
}

// One stored pixel as B, G, R, A.
void decodeTgaPixel(const std::uint8_t* in, std::uint32_t pixelBytes, std::uint8_t* out) {
    switch (pixelBytes) {
        case 1:
            out[0] = out[1] = out[2] = in[0];
            out[3] = 255;
            break;
        case 2: {
            const std::uint16_t v = decodeU16(in);
            out[0] = expand5(v);
            out[1] = expand5(v >> 5);
            out[2] = expand5(v >> 10);
            out[3] = 255;
            break;
        }
        case 3:
            std::memcpy(out, in, 3);
            out[3] = 255;
            break;
        default:
            std::memcpy(out, in, 4);
            break;
    }
}

// Pixels in the order the file stores them, into `out` (4 bytes each).
Status readPlainPixels(ByteReader& in, const TgaLayout& layout, std::span<std::uint8_t> out) {
    const std::uint64_t count = out.size() / 4;
    if (in.remaining() / layout.pixelBytes < count) return fail("tga pixels cut short");
    for (std::uint64_t k = 0; k < count; ++k)
        decodeTgaPixel(in.readBytes(layout.pixelBytes)->data(), layout.pixelBytes, &out[k * 4]);
    return Status::success();
}

Status readRunLengthPixels(ByteReader& in, const TgaLayout& layout, std::span<std::uint8_t> out) {
    const std::size_t count = out.size() / 4;
    std::size_t done = 0;
    while (done < count) {
        const std::optional<std::uint8_t> header = in.readU8();
        if (!header) return fail("tga pixels cut short");
        const std::size_t n = (*header & 0x7Fu) + 1u;
        if (n > count - done) return fail("tga run-length packet past the end of the picture");
        const bool run = *header >= 0x80;
        for (std::size_t k = 0; k < n; ++k, ++done) {
            if (run && k > 0) {
                std::memcpy(&out[done * 4], &out[(done - 1) * 4], 4);
                continue;
            }
            const auto pixel = in.readBytes(layout.pixelBytes);
            if (!pixel) return fail("tga pixels cut short");
            decodeTgaPixel(pixel->data(), layout.pixelBytes, &out[done * 4]);
        }
    }
    return Status::success();
}

// From stored order to top row first, left to right.
void orient(Picture& picture, std::uint8_t descriptor) {
    if ((descriptor & kTopDown) == 0) {
        for (std::uint32_t y = 0; y < picture.height / 2; ++y)
            std::swap_ranges(picture.row(y), picture.row(y) + picture.stride(),
                             picture.row(picture.height - 1 - y));
    }
    if ((descriptor & kRightToLeft) != 0) {
        for (std::uint32_t y = 0; y < picture.height; ++y) {
            std::uint8_t* row = picture.row(y);
            for (std::uint32_t x = 0; x < picture.width / 2; ++x)
                std::swap_ranges(row + x * 4, row + x * 4 + 4, row + (picture.width - 1 - x) * 4);
        }
    }
}

}  // namespace

Result<Picture> decodeTga(std::span<const std::uint8_t> bytes) {
    const Result<TgaLayout> layout = parseTgaHeader(bytes);
    if (!layout) return fail(layout.error());
    Picture picture = allocatePicture(layout->width, layout->height, layout->pixelBytes == 4);
    ByteReader in(bytes.subspan(layout->pixelsAt));
    const Status read = layout->runLength ? readRunLengthPixels(in, *layout, picture.pixels)
                                          : readPlainPixels(in, *layout, picture.pixels);
    if (!read) return fail(read.error());
    orient(picture, layout->descriptor);
    return picture;
}

}  // namespace vantoro
