// PNG files whose transparency is a tRNS chunk rather than an alpha channel,
// written through libpng's full writer: palette pictures with per-entry
// alpha, and grey or RGB pictures with one transparent colour key.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <vector>

namespace vantoro::testing {

struct TrnsPng {
    int colorType = PNG_COLOR_TYPE_PALETTE;
    std::uint32_t width = 2;
    std::uint32_t height = 2;
    std::vector<std::uint8_t> samples;       // 8-bit samples, rows top first
    std::vector<png_color> palette;          // palette pictures
    std::vector<std::uint8_t> paletteAlpha;  // palette pictures; may be shorter
    png_color_16 key{};                      // grey and RGB pictures
};

inline void appendPngBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

inline std::vector<std::uint8_t> encodeTrnsPng(const TrnsPng& picture) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng refused the test picture";
        return {};
    }
    png_set_write_fn(png, &out, appendPngBytes, nullptr);
    png_set_IHDR(png, info, picture.width, picture.height, 8, picture.colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (picture.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, picture.palette.data(), static_cast<int>(picture.palette.size()));
        png_set_tRNS(png, info, picture.paletteAlpha.data(),
                     static_cast<int>(picture.paletteAlpha.size()), nullptr);
    } else {
        png_color_16 key = picture.key;
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    const std::size_t rowBytes = picture.samples.size() / picture.height;
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        png_write_row(png, picture.samples.data() + y * rowBytes);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace vantoro::testing
