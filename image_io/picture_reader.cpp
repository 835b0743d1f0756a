#include "image_io/picture_reader.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "io/byte_reader.h"
#include "io/file_stream.h"
#include "io/zlib_buffers.h"

namespace vantoro {

Status checkPictureSize(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0) return fail("empty picture");
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels) {
        return fail("picture too large (" + std::to_string(width) + " x " + std::to_string(height) +
                    ")");
    }
    return Status::success();
}

Picture allocatePicture(std::uint32_t width, std::uint32_t height, bool hasAlpha) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.hasAlpha = hasAlpha;
    picture.pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
    return picture;
}

namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// ---- BMP ------------------------------------------------------------------------

constexpr std::size_t kBmpFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV5HeaderSize = 124;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

// One channel of a bit-field pixel: where it sits and how wide it is.
struct ChannelMask {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;  // largest value of the field; 0 for an empty mask
};

ChannelMask describeMask(std::uint32_t mask) {
    if (mask == 0) return {};
    const int shift = std::countr_zero(mask);
    // Only the lowest run of set bits counts; a mask with gaps is rare and
    // reads as its lowest field.
    const int bits = std::countr_one(mask >> shift);
    const std::uint32_t max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u;
    return {max << shift, shift, max};
}

std::uint8_t scaleChannel(std::uint32_t pixel, const ChannelMask& channel) {
    if (channel.max == 0) return 0;
    const std::uint64_t value = (pixel & channel.mask) >> channel.shift;
    return static_cast<std::uint8_t>((value * 255 + channel.max / 2) / channel.max);
}

struct BmpLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    std::uint16_t bitCount = 0;
    std::uint64_t pixelOffset = 0;
    std::uint64_t stride = 0;
    std::array<ChannelMask, 4> masks{};                // red, green, blue, alpha
    std::vector<std::array<std::uint8_t, 4>> palette;  // B, G, R, 255
};

bool isKnownHeaderSize(std::uint32_t size) {
    return size == kCoreHeaderSize || size == kInfoHeaderSize || size == 52 || size == 56 ||
           size == 108 || size == kV5HeaderSize;
}

// Masks of 16- and 32-bit pixels: the defaults of BI_RGB, or the bit fields
// stored in the header (52 bytes and more) or right after a 40-byte one.
Status readMasks(std::span<const std::uint8_t> bytes, std::uint32_t headerSize,
                 std::uint32_t compression, BmpLayout& layout) {
    if (compression == kBiRgb) {
        const bool wide = layout.bitCount == 32;
        layout.masks = {describeMask(wide ? 0xFF0000 : 0x7C00), describeMask(wide ? 0xFF00 : 0x3E0),
                        describeMask(wide ? 0xFF : 0x1F), describeMask(wide ? 0xFF000000u : 0)};
        return Status::success();
    }
    const bool alphaField = compression == kBiAlphaBitfields || headerSize >= 56;
    const std::size_t count = alphaField ? 4 : 3;
    const std::size_t at = kBmpFileHeaderSize + kInfoHeaderSize;
    if (bytes.size() < at || bytes.size() - at < count * 4) return fail("bmp bit fields missing");
    for (std::size_t i = 0; i < count; ++i)
        layout.masks[i] = describeMask(decodeU32(&bytes[at + i * 4]));
    return Status::success();
}

Status readPalette(std::span<const std::uint8_t> bytes, std::uint32_t headerSize,
                   std::uint32_t colorsUsed, BmpLayout& layout) {
    const std::uint32_t maxColors = 1u << layout.bitCount;
    const std::uint32_t count = colorsUsed == 0 ? maxColors : std::min(colorsUsed, maxColors);
    const std::size_t entrySize = headerSize == kCoreHeaderSize ? 3 : 4;
    const std::size_t at = kBmpFileHeaderSize + headerSize;
    if (bytes.size() - at < count * entrySize) return fail("bmp colour table cut short");
    layout.palette.resize(maxColors, {0, 0, 0, 255});  // indices past the table draw black
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = &bytes[at + i * entrySize];
        layout.palette[i] = {entry[0], entry[1], entry[2], 255};
    }
    return Status::success();
}

Result<BmpLayout> parseBmpHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kBmpFileHeaderSize + 4) return fail("bmp header cut short");
    const std::uint32_t headerSize = decodeU32(&bytes[kBmpFileHeaderSize]);
    if (!isKnownHeaderSize(headerSize)) {
        return fail("unsupported bmp header size " + std::to_string(headerSize));
    }
    if (bytes.size() - kBmpFileHeaderSize < headerSize) return fail("bmp header cut short");
    const std::uint8_t* info = &bytes[kBmpFileHeaderSize];
    const bool core = headerSize == kCoreHeaderSize;
    const std::int64_t width = core ? decodeU16(info + 4) : decodeI32(info + 4);
    const std::int64_t height = core ? decodeU16(info + 6) : decodeI32(info + 8);
    BmpLayout layout;
    layout.bitCount = decodeU16(info + (core ? 10 : 14));
    const std::uint32_t compression = core ? kBiRgb : decodeU32(info + 16);
    if (width <= 0 || height == 0) return fail("bad bmp size");
    const Status size = checkPictureSize(static_cast<std::uint64_t>(width),
                                         static_cast<std::uint64_t>(height < 0 ? -height : height));
    if (!size) return fail(size.error());
    layout.width = static_cast<std::uint32_t>(width);
    layout.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
    layout.topDown = height < 0;
    layout.pixelOffset = decodeU32(&bytes[10]);

    const std::uint16_t bits = layout.bitCount;
    const bool paletted = bits == 1 || bits == 4 || bits == 8;
    const bool fields = compression == kBiBitfields || compression == kBiAlphaBitfields;
    if (!paletted && bits != 16 && bits != 24 && bits != 32) {
        return fail("unsupported bmp bit count " + std::to_string(bits));
    }
    if (!(compression == kBiRgb || (fields && (bits == 16 || bits == 32)))) {
        return fail("unsupported bmp compression " + std::to_string(compression));
    }
    layout.stride = (static_cast<std::uint64_t>(bits) * layout.width + 31) / 32 * 4;
    const Status extra =
        paletted     ? readPalette(bytes, headerSize, core ? 0 : decodeU32(info + 32), layout)
        : bits == 24 ? Status::success()
                     : readMasks(bytes, headerSize, compression, layout);
    if (!extra) return fail(extra.error());
    return layout;
}

void decodeBmpRow(const BmpLayout& layout, const std::uint8_t* in, std::uint8_t* out) {
    const bool hasAlphaMask = layout.masks[3].max != 0;
    for (std::uint32_t x = 0; x < layout.width; ++x, out += 4) {
        const std::uint16_t bits = layout.bitCount;
        if (bits <= 8) {
            const std::uint32_t bitPos = x * bits;
            const std::uint32_t index =
                (in[bitPos / 8] >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1u);
            std::memcpy(out, layout.palette[index].data(), 4);
        } else if (bits == 24) {
            out[0] = in[x * 3];
            out[1] = in[x * 3 + 1];
            out[2] = in[x * 3 + 2];
            out[3] = 255;
        } else {
            const std::uint32_t pixel = bits == 16 ? decodeU16(in + x * 2) : decodeU32(in + x * 4);
            out[0] = scaleChannel(pixel, layout.masks[2]);
            out[1] = scaleChannel(pixel, layout.masks[1]);
            out[2] = scaleChannel(pixel, layout.masks[0]);
            out[3] = hasAlphaMask ? scaleChannel(pixel, layout.masks[3]) : 255;
        }
    }
}

// ---- PNG ------------------------------------------------------------------------

// Colour type in the IHDR chunk, which must follow the signature.
constexpr std::size_t kPngColorTypeAt = 8 + 4 + 4 + 4 + 4 + 1;

constexpr std::size_t kPngBitDepthAt = kPngColorTypeAt - 1;
constexpr std::size_t kPngSignatureSize = 8;
constexpr std::size_t kPngChunkOverhead = 12;  // length, type and CRC

std::uint32_t decodeBigEndianU32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

// Bytes of image data the file holds: the IDAT chunks' lengths, a chunk cut
// off by the end of the file counted as far as it goes.
std::uint64_t pngDataBytes(std::span<const std::uint8_t> bytes) {
    std::uint64_t total = 0;
    std::uint64_t at = kPngSignatureSize;
    while (at + 8 <= bytes.size()) {
        const std::uint64_t length = decodeBigEndianU32(&bytes[at]);
        const std::string_view type(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        if (type == "IDAT") total += std::min<std::uint64_t>(length, bytes.size() - at - 8);
        if (type == "IEND") break;
        at += kPngChunkOverhead + length;
    }
    return total;
}

// Whether the file's image data can inflate to the rows the header claims;
// the checked header says the colour type and depth are valid.
bool pngDataCanFill(std::span<const std::uint8_t> bytes, std::uint32_t width,
                    std::uint32_t height) {
    static constexpr std::array<std::uint8_t, 7> kChannels = {1, 0, 3, 1, 2, 0, 4};
    const std::uint8_t colorType = bytes[kPngColorTypeAt];
    const std::uint64_t bits = std::uint64_t{bytes[kPngBitDepthAt]} *
                               (colorType < kChannels.size() ? kChannels[colorType] : 1);
    // The pixels' bits alone, without the filter bytes: a bound for
    // interlaced pictures too.
    const std::uint64_t pixelBytes = std::uint64_t{height} * width * bits / 8;
    return maxInflatedSizeOf(pngDataBytes(bytes)) >= pixelBytes;
}

Status pngFailure(png_image& image) {
    const std::string message = std::string("png: ") + image.message;
    png_image_free(&image);
    return fail(message);
}

// ---- JPEG -----------------------------------------------------------------------

// Progressive files may hold any number of scans; a file that needs more
// than this is taken for a damaged (or hostile) one rather than decoded for ever.
constexpr int kMaxJpegScans = 500;

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Everything the decode touches lives here, outside the function that calls
// setjmp, so nothing it changes is lost when libjpeg jumps back.
struct JpegDecode {
    jpeg_decompress_struct info;
    JpegErrors errors;
    jpeg_progress_mgr progress;
    std::span<const std::uint8_t> bytes;
    Picture picture;
    std::string failure;
};

void jpegErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void jpegQuiet(j_common_ptr, int) {}  // warnings (a truncated file) leave grey rows

void jpegProgress(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->is_decompressor && info->input_scan_number > kMaxJpegScans) {
        auto* errors = reinterpret_cast<JpegErrors*>(info->err);
        std::snprintf(errors->message, sizeof errors->message, "more than %d scans", kMaxJpegScans);
        std::longjmp(errors->jump, 1);
    }
}

// A progressive picture is decoded through a buffer of every block's
// coefficients (128 bytes a block), made before any scan is read. Each block
// of each component costs at least one bit of the file, so a file of n bytes
// holds at most 8 n blocks; a header claiming more is refused before
// libjpeg makes that buffer. A few thousand blocks are allowed for headers.
constexpr std::uint64_t kJpegSpareBlocks = 4096;

bool jpegDataCanFill(const jpeg_decompress_struct& info, std::size_t fileBytes) {
    if (!info.progressive_mode) return true;
    std::uint64_t blocks = 0;
    for (int i = 0; i < info.num_components; ++i) {
        blocks +=
            std::uint64_t{info.comp_info[i].width_in_blocks} * info.comp_info[i].height_in_blocks;
    }
    return blocks <= 8 * std::uint64_t{fileBytes} + kJpegSpareBlocks;
}

// Header checks before any row is allocated; false with `failure` set.
bool startJpeg(JpegDecode& decode) {
    jpeg_decompress_struct& info = decode.info;
    jpeg_mem_src(&info, decode.bytes.data(), static_cast<unsigned long>(decode.bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        decode.failure = "jpeg: cmyk pictures are not supported";
        return false;
    }
    const Status size = checkPictureSize(info.image_width, info.image_height);
    if (!size) {
        decode.failure = "jpeg: " + size.error();
        return false;
    }
    if (!jpegDataCanFill(info, decode.bytes.size())) {
        decode.failure = "jpeg: too little image data for a progressive " +
                         std::to_string(info.image_width) + " x " +
                         std::to_string(info.image_height) + " picture";
        return false;
    }
    info.out_color_space = JCS_EXT_BGRX;  // fourth byte 0xFF
    jpeg_start_decompress(&info);
    return true;
}

void runJpeg(JpegDecode& decode) {
    jpeg_decompress_struct& info = decode.info;
    info.err = jpeg_std_error(&decode.errors.manager);
    decode.errors.manager.error_exit = jpegErrorExit;
    decode.errors.manager.emit_message = jpegQuiet;
    if (setjmp(decode.errors.jump)) {
        decode.failure = std::string("jpeg: ") + decode.errors.message;
        jpeg_destroy_decompress(&info);
        return;
    }
    jpeg_create_decompress(&info);
    decode.progress.progress_monitor = jpegProgress;
    info.progress = &decode.progress;
    if (startJpeg(decode)) {
        decode.picture = allocatePicture(info.output_width, info.output_height, false);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = decode.picture.row(info.output_scanline);
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
    }
    jpeg_destroy_decompress(&info);
}

}  // namespace

PictureKind pictureKindOf(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return PictureKind::Bmp;
    if (bytes.size() >= kPngSignature.size() &&
        std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin())) {
        return PictureKind::Png;
    }
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        return PictureKind::Jpeg;
    }
    return PictureKind::Unknown;
}

Result<Picture> decodeBmp(std::span<const std::uint8_t> bytes) {
    if (pictureKindOf(bytes) != PictureKind::Bmp) return fail("not a bmp picture");
    Result<BmpLayout> layout = parseBmpHeader(bytes);
    if (!layout) return fail(layout.error());
    const std::uint64_t rowsBytes = layout->stride * layout->height;
    if (layout->pixelOffset > bytes.size() || bytes.size() - layout->pixelOffset < rowsBytes) {
        return fail("bmp pixel rows reach past the end of the file");
    }
    // Only 16- and 32-bit layouts have an alpha mask.
    Picture picture = allocatePicture(layout->width, layout->height, layout->masks[3].max != 0);
    picture.rgb565 = layout->bitCount == 16 && layout->masks[0].mask == 0xF800 &&
                     layout->masks[1].mask == 0x07E0 && layout->masks[2].mask == 0x001F &&
                     layout->masks[3].mask == 0;
    for (std::uint32_t y = 0; y < layout->height; ++y) {
        const std::uint32_t fileRow = layout->topDown ? y : layout->height - 1 - y;
        decodeBmpRow(*layout, &bytes[layout->pixelOffset + fileRow * layout->stride],
                     picture.row(y));
    }
    return picture;
}

Result<Picture> decodePng(std::span<const std::uint8_t> bytes) {
    if (pictureKindOf(bytes) != PictureKind::Png) return fail("not a png picture");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        return fail(pngFailure(image).error());
    }
    const Status size = checkPictureSize(image.width, image.height);
    if (!size) {
        png_image_free(&image);
        return fail("png: " + size.error());
    }
    if (!pngDataCanFill(bytes, image.width, image.height)) {
        png_image_free(&image);
        return fail("png: too little image data for " + std::to_string(image.width) + " x " +
                    std::to_string(image.height));
    }
    // libpng reports alpha for an alpha channel and for a tRNS chunk (palette
    // alpha or a grey or RGB colour key) alike, and expands either into the
    // A byte of the rows it reads.
    const bool hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_BGRA;
    Picture picture = allocatePicture(image.width, image.height, hasAlpha);
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
        return fail(pngFailure(image).error());
    }
    if (!hasAlpha) {
        for (std::size_t i = 3; i < picture.pixels.size(); i += 4) picture.pixels[i] = 255;
    }
    return picture;
}

Result<Picture> decodeJpeg(std::span<const std::uint8_t> bytes) {
    if (pictureKindOf(bytes) != PictureKind::Jpeg) return fail("not a jpeg picture");
    auto decode = std::make_unique<JpegDecode>();
    decode->bytes = bytes;
    runJpeg(*decode);
    if (!decode->failure.empty()) return fail(decode->failure);
    return std::move(decode->picture);
}

Result<Picture> decodePicture(std::span<const std::uint8_t> bytes) {
    switch (pictureKindOf(bytes)) {
        case PictureKind::Bmp:
            return decodeBmp(bytes);
        case PictureKind::Png:
            return decodePng(bytes);
        case PictureKind::Jpeg:
            return decodeJpeg(bytes);
        case PictureKind::Unknown:
            break;
    }
    return fail("not a bmp, png or jpeg picture");
}

Result<FileBytes> readPictureFile(const std::string& path) {
    const std::unique_ptr<FileStream> file = FileStream::open(path, FileStream::Mode::ReadOnly);
    if (!file) return fail(path + ": cannot open");
    const std::int64_t size = file->size();
    if (size < 0) return fail(path + ": cannot read");
    if (static_cast<std::uint64_t>(size) > kMaxPictureFileBytes)
        return fail(path + ": file too large");
    std::optional<FileBytes> bytes = file->readBytes(static_cast<std::uint64_t>(size));
    if (!bytes) return fail(path + ": cannot read");
    return std::move(*bytes);
}

Result<Picture> readPicture(const std::string& path) {
    // Sizes are checked before anything is allocated; what still fails is
    // the machine running out, told in our own words.
    Result<Picture> picture = fail(path + ": " + std::string(kPictureNoMemory));
    try {
        const Result<FileBytes> bytes = readPictureFile(path);
        if (!bytes) return fail(bytes.error());
        picture = decodePicture(std::span<const std::uint8_t>(bytes->data(), bytes->size()));
        if (!picture) return fail(path + ": " + picture.error());
    } catch (const std::bad_alloc&) {
    }
    return picture;
}

}  // namespace vantoro
