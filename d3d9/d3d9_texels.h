// Texel formats: how a stored texel turns into four channels in [0, 1] and
// back. An n-bit channel c reads as c / (2^n - 1); a channel the format does
// not hold reads as 1 (A8 reads its colour as 0). Writing clamps to [0, 1],
// scales by 2^n - 1 and rounds half up; bits that belong to no channel (the
// X of X8R8G8B8) are written as ones. Every path of the renderer converts
// through these functions, so all of them round the same way.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "d3d9/d3d9_formats.h"
#include "d3d9/d3d9_types.h"

namespace vantoro::d3d9 {

struct Rgba {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

struct ChannelBits {
    int shift = 0;
    int bits = 0;  // 0: the format has no such channel
};

struct TexelLayout {
    int bytes = 0;
    ChannelBits r, g, b, a;
    bool colorReadsZero = false;  // A8
};

constexpr TexelLayout texelLayoutOf(std::uint32_t format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
            return {4, {16, 8}, {8, 8}, {0, 8}, {24, 8}, false};
        case D3DFMT_X8R8G8B8:
            return {4, {16, 8}, {8, 8}, {0, 8}, {0, 0}, false};
        case D3DFMT_R5G6B5:
            return {2, {11, 5}, {5, 6}, {0, 5}, {0, 0}, false};
        case D3DFMT_X1R5G5B5:
            return {2, {10, 5}, {5, 5}, {0, 5}, {0, 0}, false};
        case D3DFMT_A1R5G5B5:
            return {2, {10, 5}, {5, 5}, {0, 5}, {15, 1}, false};
        case D3DFMT_A4R4G4B4:
            return {2, {8, 4}, {4, 4}, {0, 4}, {12, 4}, false};
        case D3DFMT_R3G3B2:
            return {1, {5, 3}, {2, 3}, {0, 2}, {0, 0}, false};
        case D3DFMT_A8:
            return {1, {0, 0}, {0, 0}, {0, 0}, {0, 8}, true};
        case D3DFMT_A8R3G3B2:
            return {2, {5, 3}, {2, 3}, {0, 2}, {8, 8}, false};
        case D3DFMT_X4R4G4B4:
            return {2, {8, 4}, {4, 4}, {0, 4}, {0, 0}, false};
        default:
            return {};
    }
}

// The colour formats textures and render targets may have.
inline constexpr std::array<std::uint32_t, 10> kColorFormats = {
    D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
    D3DFMT_A4R4G4B4, D3DFMT_R3G3B2,   D3DFMT_A8,     D3DFMT_A8R3G3B2, D3DFMT_X4R4G4B4,
};

constexpr bool isColorFormat(std::uint32_t format) {
    return texelLayoutOf(format).bytes != 0;
}
constexpr bool formatHasAlpha(std::uint32_t format) {
    return texelLayoutOf(format).a.bits != 0;
}

constexpr std::uint32_t channelMask(ChannelBits c) {
    return c.bits == 0 ? 0u : ((1u << c.bits) - 1u);
}

// c / (2^bits - 1) for every channel width up to 8 bits and every c, worked
// out at compile time so decoding never divides.
using UnormTables = std::array<std::array<float, 256>, 9>;
constexpr UnormTables makeUnormTables() {
    UnormTables t{};
    for (int bits = 1; bits <= 8; ++bits) {
        const std::uint32_t mask = (1u << bits) - 1u;
        for (std::uint32_t c = 0; c <= mask; ++c) {
            t[static_cast<std::size_t>(bits)][c] = static_cast<float>(c) / static_cast<float>(mask);
        }
    }
    return t;
}
inline constexpr UnormTables kUnormTables = makeUnormTables();

inline float readChannel(std::uint32_t raw, ChannelBits c, float missing) {
    if (c.bits == 0) return missing;
    return kUnormTables[static_cast<std::size_t>(c.bits)][(raw >> c.shift) & channelMask(c)];
}

// Clamps to [0, 1] (NaN to 0), scales and rounds half up.
inline std::uint32_t unormOf(float value, std::uint32_t mask) {
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return mask;
    return static_cast<std::uint32_t>(value * static_cast<float>(mask) + 0.5f);
}

template <std::uint32_t Format>
struct Texel {
    static constexpr TexelLayout kLayout = texelLayoutOf(Format);
    static_assert(kLayout.bytes != 0, "not a colour format");
    static constexpr int kBytes = kLayout.bytes;
    using Raw = std::conditional_t<kBytes == 4, std::uint32_t,
                                   std::conditional_t<kBytes == 2, std::uint16_t, std::uint8_t>>;

    static constexpr std::uint32_t kUsedBits =
        (channelMask(kLayout.r) << kLayout.r.shift) | (channelMask(kLayout.g) << kLayout.g.shift) |
        (channelMask(kLayout.b) << kLayout.b.shift) | (channelMask(kLayout.a) << kLayout.a.shift);
    static constexpr std::uint32_t kAllBits =
        kBytes == 4 ? 0xFFFFFFFFu : ((1u << (8 * kBytes)) - 1u);
    static constexpr std::uint32_t kSpareBits = kAllBits & ~kUsedBits;

    static Raw load(const std::uint8_t* p) {
        Raw v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void store(std::uint8_t* p, Raw v) { std::memcpy(p, &v, sizeof v); }

    static Rgba decode(Raw raw) {
        const float missingColor = kLayout.colorReadsZero ? 0.0f : 1.0f;
        return Rgba{readChannel(raw, kLayout.r, missingColor),
                    readChannel(raw, kLayout.g, missingColor),
                    readChannel(raw, kLayout.b, missingColor), readChannel(raw, kLayout.a, 1.0f)};
    }

    static Raw encode(const Rgba& c) {
        std::uint32_t v = kSpareBits;
        if (kLayout.r.bits) v |= unormOf(c.r, channelMask(kLayout.r)) << kLayout.r.shift;
        if (kLayout.g.bits) v |= unormOf(c.g, channelMask(kLayout.g)) << kLayout.g.shift;
        if (kLayout.b.bits) v |= unormOf(c.b, channelMask(kLayout.b)) << kLayout.b.shift;
        if (kLayout.a.bits) v |= unormOf(c.a, channelMask(kLayout.a)) << kLayout.a.shift;
        return static_cast<Raw>(v);
    }

    static Rgba read(const std::uint8_t* p) { return decode(load(p)); }
    static void write(std::uint8_t* p, const Rgba& c) { store(p, encode(c)); }
};

// Calls fn(Texel<F>{}) for the colour format `format`; false for any other.
template <typename Fn>
bool withColorFormat(std::uint32_t format, Fn&& fn) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
            fn(Texel<D3DFMT_A8R8G8B8>{});
            return true;
        case D3DFMT_X8R8G8B8:
            fn(Texel<D3DFMT_X8R8G8B8>{});
            return true;
        case D3DFMT_R5G6B5:
            fn(Texel<D3DFMT_R5G6B5>{});
            return true;
        case D3DFMT_X1R5G5B5:
            fn(Texel<D3DFMT_X1R5G5B5>{});
            return true;
        case D3DFMT_A1R5G5B5:
            fn(Texel<D3DFMT_A1R5G5B5>{});
            return true;
        case D3DFMT_A4R4G4B4:
            fn(Texel<D3DFMT_A4R4G4B4>{});
            return true;
        case D3DFMT_R3G3B2:
            fn(Texel<D3DFMT_R3G3B2>{});
            return true;
        case D3DFMT_A8:
            fn(Texel<D3DFMT_A8>{});
            return true;
        case D3DFMT_A8R3G3B2:
            fn(Texel<D3DFMT_A8R3G3B2>{});
            return true;
        case D3DFMT_X4R4G4B4:
            fn(Texel<D3DFMT_X4R4G4B4>{});
            return true;
        default:
            return false;
    }
}

// Run-time format versions for the general path.
inline Rgba readTexel(std::uint32_t format, const std::uint8_t* p) {
    Rgba c{0.0f, 0.0f, 0.0f, 1.0f};
    withColorFormat(format, [&](auto texel) { c = decltype(texel)::read(p); });
    return c;
}

inline void writeTexel(std::uint32_t format, std::uint8_t* p, const Rgba& c) {
    withColorFormat(format, [&](auto texel) { decltype(texel)::write(p, c); });
}

// A D3DCOLOR (0xAARRGGBB) as four channels c / 255.
inline Rgba rgbaOfColor(D3DCOLOR color) {
    return Rgba{static_cast<float>((color >> 16) & 0xFF) / 255.0f,
                static_cast<float>((color >> 8) & 0xFF) / 255.0f,
                static_cast<float>(color & 0xFF) / 255.0f,
                static_cast<float>(color >> 24) / 255.0f};
}

// A rectangle of texels in memory: a locked surface, a render target.
struct SurfaceView {
    std::uint8_t* bits = nullptr;
    std::int32_t pitch = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t format = 0;

    std::uint8_t* row(std::int32_t y) const {
        return bits + static_cast<std::ptrdiff_t>(y) * pitch;
    }
    std::uint8_t* at(std::int32_t x, std::int32_t y) const {
        return row(y) + static_cast<std::ptrdiff_t>(x) * texelLayoutOf(format).bytes;
    }
};

}  // namespace vantoro::d3d9
