// The lane toolkit of the vector kernels: N pixels a step, one vector of N
// floats (or 32-bit codes) per channel, written with GCC's vector
// extensions. A kernel is built once per instruction set with the width of
// that set's registers (16 lanes for AVX-512, 8 for AVX2, 4 for SSE2), so
// every vector is one register.
//
// Every helper performs, lane by lane, the float operations of the scalar
// function it stands for (Texel::decode, Texel::encode, alphaTestPasses) in
// the same order. IEEE arithmetic rounds a lane as it rounds a lone float,
// and the d3d9 sources are built without contracted multiply-adds, so the
// lanes give the scalar path's bits. Only included by vector kernels.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "d3d9/d3d9_blending.h"
#include "d3d9/d3d9_texels.h"

// The helpers take and return vectors wider than the baseline's registers.
// All are inlined into the one function built per instruction set, so no
// call passes a vector and the note that such calls differ between sets
// does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vantoro::d3d9::simd {

#define VANTORO_LANE_INLINE [[gnu::always_inline]] inline

// c / (2^n - 1) for a channel code c of n <= 8 bits without dividing: the
// reciprocal split into a high part of 12 significant bits, so that c times
// it is exact in a float, and the float nearest the rest. The sum of the two
// products then carries a single rounding of note, and the small product's
// error lies far below the distance from c / (2^n - 1) to any rounding
// boundary of a float: the sum is the correctly rounded quotient, which is
// what the decode tables hold. Checked for every code at compile time.
struct Reciprocal {
    float high = 1.0f;
    float low = 0.0f;
};

constexpr Reciprocal reciprocalOf(int bits) {
    const double r = 1.0 / static_cast<double>((1u << bits) - 1u);
    double scale = 1.0;
    while (r * scale < 2048.0) scale *= 2.0;
    const double high = static_cast<double>(static_cast<std::int64_t>(r * scale)) / scale;
    return Reciprocal{static_cast<float>(high), static_cast<float>(r - high)};
}

constexpr bool decodesLikeTheTables() {
    for (int bits = 1; bits <= 8; ++bits) {
        const Reciprocal k = reciprocalOf(bits);
        for (std::uint32_t c = 0; c < (1u << bits); ++c) {
            const float x = static_cast<float>(c);
            if (x * k.high + x * k.low != kUnormTables[static_cast<std::size_t>(bits)][c])
                return false;
        }
    }
    return true;
}
static_assert(decodesLikeTheTables(), "the split reciprocal must give the decode tables' values");

// A texel format as the lanes read and write it.
struct LaneChannel {
    bool present = false;
    std::uint32_t shift = 0;
    std::uint32_t mask = 0;
    Reciprocal unit;
    float missing = 1.0f;  // what a format without the channel reads
};

struct LaneFormat {
    int bytes = 0;
    std::array<LaneChannel, 4> channels;  // r, g, b, a
    std::uint32_t spare = 0;              // bits of no channel, written as ones
};

inline LaneFormat laneFormatOf(std::uint32_t format) {
    const TexelLayout layout = texelLayoutOf(format);
    const std::array<ChannelBits, 4> bits = {layout.r, layout.g, layout.b, layout.a};
    LaneFormat f;
    f.bytes = layout.bytes;
    std::uint32_t used = 0;
    for (std::size_t c = 0; c < 4; ++c) {
        LaneChannel& lane = f.channels[c];
        lane.present = bits[c].bits != 0;
        lane.shift = static_cast<std::uint32_t>(bits[c].shift);
        lane.mask = channelMask(bits[c]);
        if (lane.present) lane.unit = reciprocalOf(bits[c].bits);
        lane.missing = c < 3 && layout.colorReadsZero ? 0.0f : 1.0f;
        used |= lane.mask << lane.shift;
    }
    const std::uint32_t all = layout.bytes == 4 ? 0xFFFFFFFFu : ((1u << (8 * layout.bytes)) - 1u);
    f.spare = all & ~used;
    return f;
}

// alphaTestPasses as three comparisons with ref / 255: the function's
// answer is the union of the ones it accepts (less, equal, greater), turned
// round for NOTEQUAL and ALWAYS. A NaN alpha is none of the three, so it
// passes only NOTEQUAL and ALWAYS, as in the switch over the function.
struct LaneTest {
    float ref = 0.0f;
    bool less = false;
    bool equal = false;
    bool greater = false;
    bool invert = true;  // ALWAYS
};

inline LaneTest laneTestOf(const AlphaTestSetup& test) {
    if (!test.enabled) return LaneTest{};
    LaneTest t{static_cast<float>(test.ref & 0xFF) / 255.0f, false, false, false, false};
    switch (test.func) {
        case D3DCMP_NEVER:
            break;
        case D3DCMP_LESS:
            t.less = true;
            break;
        case D3DCMP_EQUAL:
            t.equal = true;
            break;
        case D3DCMP_LESSEQUAL:
            t.less = t.equal = true;
            break;
        case D3DCMP_GREATER:
            t.greater = true;
            break;
        case D3DCMP_NOTEQUAL:
            t.equal = t.invert = true;
            break;
        case D3DCMP_GREATEREQUAL:
            t.greater = t.equal = true;
            break;
        default:
            t.invert = true;
            break;  // ALWAYS
    }
    return t;
}

// What a block of lanes needs: whether any lane passes the alpha test,
// whether all do, and whether any passing lane blends (its alpha is not 1).
struct BlockNeeds {
    bool anyPass = false;
    bool allPass = false;
    bool anyBlend = false;
};

// The vector types of N lanes, one specialisation per width: GCC does not
// carry a vector size that depends on a template parameter through every
// use, so each width names its sizes outright.
template <int N>
struct VectorTypes;

#define VANTORO_VECTOR_TYPES(N)                                             \
    template <>                                                             \
    struct VectorTypes<N> {                                                 \
        typedef float Floats __attribute__((vector_size(4 * (N))));         \
        typedef std::int32_t Ints __attribute__((vector_size(4 * (N))));    \
        typedef std::uint32_t UInts __attribute__((vector_size(4 * (N))));  \
        typedef std::uint16_t Shorts __attribute__((vector_size(2 * (N)))); \
    }
VANTORO_VECTOR_TYPES(4);
VANTORO_VECTOR_TYPES(8);
VANTORO_VECTOR_TYPES(16);
#undef VANTORO_VECTOR_TYPES

// The vectors of N lanes and the helpers on them.
template <int N>
struct Vectors {
    using Floats = typename VectorTypes<N>::Floats;
    using Ints = typename VectorTypes<N>::Ints;
    using UInts = typename VectorTypes<N>::UInts;
    using Shorts = typename VectorTypes<N>::Shorts;

    // One value in every lane, written out so that it becomes one broadcast.
    template <typename Vector, typename T, std::size_t... I>
    VANTORO_LANE_INLINE static Vector splatOf(T v, std::index_sequence<I...>) {
        return Vector{(static_cast<void>(I), v)...};
    }
    VANTORO_LANE_INLINE static Floats splat(float v) {
        return splatOf<Floats>(v, std::make_index_sequence<N>());
    }
    VANTORO_LANE_INLINE static UInts splatU(std::uint32_t v) {
        return splatOf<UInts>(v, std::make_index_sequence<N>());
    }
    VANTORO_LANE_INLINE static Ints splatI(std::int32_t v) {
        return splatOf<Ints>(v, std::make_index_sequence<N>());
    }

    template <typename Vector, typename T>
    VANTORO_LANE_INLINE static Vector load(const T* p) {
        Vector v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }

    // The lanes or-ed together, halving the vector until two lanes remain.
    template <std::size_t M, typename Vector>
    VANTORO_LANE_INLINE static std::int32_t orLanes(Vector v) {
        if constexpr (M == 2) {
            return v[0] | v[1];
        } else {
            return orLanes<M / 2>(lowHalf(v, std::make_index_sequence<M / 2>()) |
                                  highHalf(v, std::make_index_sequence<M / 2>()));
        }
    }
    template <typename Vector, std::size_t... I>
    VANTORO_LANE_INLINE static auto lowHalf(Vector v, std::index_sequence<I...>) {
        return __builtin_shufflevector(v, v, I...);
    }
    template <typename Vector, std::size_t... I>
    VANTORO_LANE_INLINE static auto highHalf(Vector v, std::index_sequence<I...>) {
        return __builtin_shufflevector(v, v, (I + sizeof...(I))...);
    }

    // One reduction for the three questions: each lane contributes 1 if it
    // passes, 2 if it passes and blends, 4 if it fails.
    VANTORO_LANE_INLINE static BlockNeeds needsOf(Ints pass, Ints blend) {
        const std::int32_t bits = orLanes<N>((pass & 1) | (pass & blend & 2) | (~pass & 4));
        return BlockNeeds{(bits & 1) != 0, (bits & 4) == 0, (bits & 2) != 0};
    }

    // `count` texels from p (the rest of the lanes 0). A whole block is one
    // move; only a row's last block copies less.
    template <typename Raw>
    VANTORO_LANE_INLINE static UInts loadRaws(const std::uint8_t* p, int count) {
        using Stored = std::conditional_t<sizeof(Raw) == 4, UInts, Shorts>;
        Stored v{};
        if (count == N) {
            std::memcpy(&v, p, sizeof v);
        } else {
            std::memcpy(&v, p, static_cast<std::size_t>(count) * sizeof(Raw));
        }
        return __builtin_convertvector(v, UInts);
    }

    template <typename Raw>
    VANTORO_LANE_INLINE static void storeRaws(std::uint8_t* p, UInts raws, int count) {
        using Stored = std::conditional_t<sizeof(Raw) == 4, UInts, Shorts>;
        const Stored v = __builtin_convertvector(raws, Stored);
        if (count == N) {
            std::memcpy(p, &v, sizeof v);
        } else {
            std::memcpy(p, &v, static_cast<std::size_t>(count) * sizeof(Raw));
        }
    }

    template <typename Raw>
    VANTORO_LANE_INLINE static UInts gatherRaws(const std::uint8_t* row,
                                                const std::int32_t* offsets) {
        UInts v;
        for (int l = 0; l < N; ++l) {
            Raw raw;
            std::memcpy(&raw, row + offsets[l], sizeof raw);
            v[l] = raw;
        }
        return v;
    }

    // A LaneFormat with its constants in lanes.
    struct Codec {
        VANTORO_LANE_INLINE explicit Codec(const LaneFormat& f) : spare(splatU(f.spare)) {
            for (std::size_t c = 0; c < 4; ++c) {
                const LaneChannel& channel = f.channels[c];
                present[c] = channel.present;
                unit[c] = channel.mask == 1;
                shift[c] = channel.shift;
                mask[c] = splatU(channel.mask);
                high[c] = splat(channel.unit.high);
                low[c] = splat(channel.unit.low);
                missing[c] = splat(channel.missing);
                scale[c] = splat(static_cast<float>(channel.mask));
            }
        }
        std::array<bool, 4> present{};
        std::array<bool, 4> unit{};  // a 1-bit channel: the code is the value
        std::array<std::uint32_t, 4> shift{};
        std::array<UInts, 4> mask;
        std::array<Floats, 4> high, low, missing, scale;
        UInts spare;
    };

    // Texel::decode of one channel: code / (2^n - 1).
    VANTORO_LANE_INLINE static Floats decodeChannel(UInts raws, const Codec& f, std::size_t c) {
        if (!f.present[c]) return f.missing[c];
        const Ints code = __builtin_convertvector((raws >> f.shift[c]) & f.mask[c], Ints);
        const Floats x = __builtin_convertvector(code, Floats);
        return f.unit[c] ? x : x * f.high[c] + x * f.low[c];
    }

    // Texel::encode: each channel as unormOf (clamped to [0, 1], NaN to 0,
    // scaled, half up), spare bits set.
    VANTORO_LANE_INLINE static UInts encode(const std::array<Floats, 4>& v, const Codec& f) {
        UInts raws = f.spare;
        for (std::size_t c = 0; c < 4; ++c) {
            if (!f.present[c]) continue;
            // clampUnit in the shapes of the max and min instructions: NaN
            // fails the first test and becomes 0, as it does there.
            Floats x = v[c] > 0.0f ? v[c] : splat(0.0f);
            x = x < 1.0f ? x : splat(1.0f);
            const Ints code = __builtin_convertvector(x * f.scale[c] + 0.5f, Ints);
            raws |= __builtin_convertvector(code, UInts) << f.shift[c];
        }
        return raws;
    }

    // alphaTestPasses per lane for a LaneTest in lanes.
    struct Test {
        VANTORO_LANE_INLINE explicit Test(const LaneTest& t)
            : ref(splat(t.ref)),
              less(splatI(t.less ? -1 : 0)),
              equal(splatI(t.equal ? -1 : 0)),
              greater(splatI(t.greater ? -1 : 0)),
              invert(splatI(t.invert ? -1 : 0)) {}
        VANTORO_LANE_INLINE Ints operator()(Floats a) const {
            return (((a < ref) & less) | ((a == ref) & equal) | ((a > ref) & greater)) ^ invert;
        }
        Floats ref;
        Ints less, equal, greater, invert;
    };
};

#undef VANTORO_LANE_INLINE

}  // namespace vantoro::d3d9::simd

#pragma GCC diagnostic pop
