#include "bench/bench_sprites.h"

#include <random>

namespace vantoro::bench {
namespace {

constexpr std::uint32_t kSeed = 20261207;
constexpr int kMinSide = 32;
constexpr int kMaxSide = 256;

Sprite makeSprite(std::mt19937& random) {
    std::uniform_int_distribution<int> side(kMinSide, kMaxSide);
    std::uniform_int_distribution<int> noise(0, 3);
    Sprite sprite;
    sprite.width = static_cast<std::uint16_t>(side(random));
    sprite.height = static_cast<std::uint16_t>(side(random));
    sprite.px = static_cast<std::int16_t>(-sprite.width / 2);
    sprite.py = static_cast<std::int16_t>(-sprite.height);
    const std::size_t count = sprite.pixelCount();
    sprite.indices.assign(count, 0);
    sprite.r5g6b5.assign(count, 0);
    sprite.a4r4g4b4.assign(count, 0);

    const double cx = sprite.width / 2.0;
    const double cy = sprite.height / 2.0;
    for (int y = 0; y < sprite.height; ++y) {
        for (int x = 0; x < sprite.width; ++x) {
            const double dx = (x - cx) / cx;
            const double dy = (y - cy) / cy;
            if (dx * dx + dy * dy > 1.0) continue;
            const std::size_t at = static_cast<std::size_t>(y) * sprite.width + x;
            const int shade = (x * 31 / sprite.width + y * 15 / sprite.height + noise(random)) & 63;
            sprite.indices[at] = static_cast<std::uint8_t>(64 + shade * 2);
            const int red = shade >> 1, green = (63 - shade), blue = (shade * 3) & 31;
            sprite.r5g6b5[at] = static_cast<std::uint16_t>((red << 11) | (green << 5) | blue | 1);
            sprite.a4r4g4b4[at] = static_cast<std::uint16_t>(0xF000 | ((red >> 1) << 8) |
                                                             ((green >> 2) << 4) | (blue >> 1));
        }
    }
    return sprite;
}

}  // namespace

const std::vector<Sprite>& benchSprites() {
    static const std::vector<Sprite> sprites = [] {
        std::mt19937 random(kSeed);
        std::vector<Sprite> out;
        out.reserve(kSpriteCount);
        for (int i = 0; i < kSpriteCount; ++i) out.push_back(makeSprite(random));
        return out;
    }();
    return sprites;
}

testing::M2Image m2ImageOf(const Sprite& sprite, bool sixteenBit) {
    testing::M2Image image{sprite.width, sprite.height, sprite.px, sprite.py, {}};
    if (sixteenBit) {
        image.pixels = sprite.r5g6b5;
    } else {
        image.pixels.assign(sprite.indices.begin(), sprite.indices.end());
    }
    return image;
}

}  // namespace vantoro::bench
