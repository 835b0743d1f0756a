#include "edit/convert_picture.h"

#include <cstring>
#include <string>

#include "io/byte_reader.h"
#include "pixels/pixel_format.h"

namespace vantoro {
namespace {

constexpr std::uint8_t kFormatA4R4G4B4 = 0;
constexpr std::uint8_t kFormatA1R5G5B5 = 1;
constexpr std::uint8_t kFormatA8R8G8B8 = 3;

struct Bgra {
    std::uint8_t b, g, r, a;
};

std::uint16_t toA4R4G4B4(std::uint8_t a, const Bgra& p) {
    return static_cast<std::uint16_t>(((a >> 4) << 12) | ((p.r >> 4) << 8) | (p.g & 0xF0) |
                                      (p.b >> 4));
}
std::uint16_t toA1R5G5B5(const Bgra& p) {
    return static_cast<std::uint16_t>(0x8000 | ((p.r >> 3) << 10) | ((p.g >> 3) << 5) | (p.b >> 3));
}
std::uint16_t toR5G6B5(const Bgra& p) {
    return static_cast<std::uint16_t>(((p.r >> 3) << 11) | ((p.g >> 2) << 5) | (p.b >> 3));
}

// Alpha of the window option, by the pixel's colour as R5G6B5.
std::uint8_t windowAlpha(const Bgra& p) {
    switch (toR5G6B5(p)) {
        case 0x0841:
            return 210;
        case 0x2965:
            return 220;
        case 0x3186:
        case 0x73CF:
            return 200;
        case 0x94D3:
            return 144;
        default:
            return 255;
    }
}

// One pixel of formats 0..2 with alpha: an R5G6B5 picture keeps its words,
// any other takes A4R4G4B4 from its A.
std::uint16_t fromAlpha(const Bgra& p, const Picture& picture) {
    return picture.rgb565 ? toR5G6B5(p) : toA4R4G4B4(p.a, p);
}

bool isTransparentColour(const Bgra& p, std::uint32_t key) {
    return p.r == (key & 0xFF) && p.g == ((key >> 8) & 0xFF) && p.b == ((key >> 16) & 0xFF);
}

// One pixel of formats 0..2 without alpha: the transparent colour, or the
// format's colour.
std::uint16_t fromColour(const Bgra& p, const ConvertOptions& options) {
    if (isTransparentColour(p, options.transparentColour)) return 0;
    switch (options.format) {
        case kFormatA1R5G5B5:
            return toA1R5G5B5(p);
        case kFormatA4R4G4B4:
            return toA4R4G4B4(options.window ? windowAlpha(p) : 255, p);
        default:
            return toR5G6B5(p);
    }
}

void convertRow(const std::uint8_t* in, std::uint8_t* out, std::uint32_t width,
                const Picture& picture, const ConvertOptions& options) {
    if (options.format == kFormatA8R8G8B8) {
        std::memcpy(out, in, static_cast<std::size_t>(width) * 4);
        // A picture without alpha keeps the colour key the other formats
        // apply: its transparent colour is see-through here too.
        if (picture.hasAlpha) return;
        for (std::uint32_t x = 0; x < width; ++x, out += 4) {
            if (isTransparentColour({out[0], out[1], out[2], out[3]}, options.transparentColour)) {
                out[3] = 0;
            }
        }
        return;
    }
    for (std::uint32_t x = 0; x < width; ++x, in += 4, out += 2) {
        const Bgra p{in[0], in[1], in[2], in[3]};
        const std::uint16_t word =
            options.hasAlpha ? fromAlpha(p, picture) : fromColour(p, options);
        encodeU16(out, word);
    }
}

Result<std::vector<std::uint8_t>> runLengthCode(const std::vector<std::uint8_t>& raw,
                                                std::uint8_t bytesPerPixel,
                                                const RleEncoder& rleEncode) {
    if (!rleEncode) return fail("no run-length encoder");
    const std::size_t pixelCount = raw.size() / bytesPerPixel;
    std::vector<std::uint8_t> coded(raw.size() + pixelCount);
    const std::size_t written = rleEncode(raw, coded, bytesPerPixel, pixelCount);
    if (written == 0 || written > coded.size()) {
        return fail("run-length coding gave " + std::to_string(written) + " bytes");
    }
    coded.resize(written);
    return coded;
}

}  // namespace

Result<std::vector<std::uint8_t>> ConvertPicture(const Picture& picture,
                                                 const ConvertOptions& options,
                                                 const RleEncoder& rleEncode) {
    if (options.format > kFormatA8R8G8B8) {
        return fail("unknown pixel format " + std::to_string(options.format));
    }
    if (picture.width == 0 || picture.height == 0) return fail("empty picture");
    if (picture.pixels.size() / picture.stride() < picture.height) {
        return fail("picture rows missing");
    }
    const std::uint8_t bytesPerPixel = BytesPerPixel(options.format);
    const std::uint64_t rowBytes = std::uint64_t{picture.width} * bytesPerPixel;
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(rowBytes * picture.height));
    for (std::uint32_t r = 0; r < picture.height; ++r) {
        const std::uint32_t source = options.flip ? picture.height - 1 - r : r;
        convertRow(picture.row(source), &raw[static_cast<std::size_t>(r * rowBytes)], picture.width,
                   picture, options);
    }
    if (!options.rle) return raw;
    return runLengthCode(raw, bytesPerPixel, rleEncode);
}

}  // namespace vantoro
