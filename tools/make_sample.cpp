// Writes the small sample archive the README's first command opens: a Mir2
// .wil + .WIX pair of a dozen 8-bit images drawn here (rings, bars and
// checks in palette colours, each with its own drawing offset).
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/m2_def_writer.h"

namespace {

using vantoro::testing::M2Image;

constexpr int kImageCount = 12;

M2Image blankImage(std::uint16_t width, std::uint16_t height, int index) {
    M2Image image;
    image.width = width;
    image.height = height;
    image.px = static_cast<std::int16_t>(-width / 2);
    image.py = static_cast<std::int16_t>(-height + index);
    image.pixels.assign(static_cast<std::size_t>(width) * height, 0);
    return image;
}

// A ring in one colour on a transparent ground.
M2Image ring(std::uint16_t side, std::uint8_t color, int index) {
    M2Image image = blankImage(side, side, index);
    const double centre = (side - 1) / 2.0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const double distance = std::hypot(x - centre, y - centre);
            if (distance < side / 2.0 && distance > side / 4.0) image.pixels[y * side + x] = color;
        }
    }
    return image;
}

// Vertical bars walking through the palette.
M2Image bars(std::uint16_t width, std::uint16_t height, std::uint8_t firstColor, int index) {
    M2Image image = blankImage(width, height, index);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.pixels[y * width + x] = static_cast<std::uint8_t>(firstColor + x / 4);
        }
    }
    return image;
}

// A checkerboard of two colours, with a transparent border.
M2Image checks(std::uint16_t side, std::uint8_t a, std::uint8_t b, int index) {
    M2Image image = blankImage(side, side, index);
    for (int y = 2; y < side - 2; ++y) {
        for (int x = 2; x < side - 2; ++x)
            image.pixels[y * side + x] = ((x / 8 + y / 8) % 2) ? a : b;
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantoro-make-sample OUT.wil\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    std::filesystem::create_directories(out.parent_path());

    std::vector<M2Image> images;
    for (int i = 0; i < kImageCount; ++i) {
        switch (i % 3) {
            case 0:
                images.push_back(ring(static_cast<std::uint16_t>(24 + 8 * i), 249 + i % 7, i));
                break;
            case 1:
                images.push_back(bars(static_cast<std::uint16_t>(40 + 4 * i), 32, 16 * i, i));
                break;
            default:
                images.push_back(checks(static_cast<std::uint16_t>(48 + 2 * i), 215, 180, i));
                break;
        }
    }
    vantoro::testing::writeM2Def(out.string(), images);
    return 0;
}
