// The pack's run-length code and entry header.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <set>

#include "archive/pack_entry_header.h"
#include "archive/pack_rle.h"
#include "io/byte_reader.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;

// Two-byte pixels named by one letter each: "AB" is A A B B.
Bytes pixels(std::string_view names) {
    Bytes bytes;
    for (const char c : names) bytes.insert(bytes.end(), 2, static_cast<std::uint8_t>(c));
    return bytes;
}

TEST(PackRle, EncodesPacketsAsDefined) {
    const std::pair<std::string, Bytes> cases[] = {
        {std::string(129, 'P'), {0xFF, 'P', 'P', 0x00, 'P', 'P'}},
        {"AAABC", {0x82, 'A', 'A', 0x01, 'B', 'B', 'C', 'C'}},
        {"ABB", {0x00, 'A', 'A', 0x81, 'B', 'B'}},
        {"", {}},
    };
    for (const auto& [names, expected] : cases) {
        Bytes code(RleEncodeBound(2, names.size()));
        const auto written = RleEncode(pixels(names), code, 2, names.size());
        ASSERT_TRUE(written);
        code.resize(*written);
        EXPECT_EQ(code, expected) << names;
    }
}

TEST(PackRle, RoundTripsWithinTheBound) {
    std::mt19937 random(8);
    for (const std::size_t bpp : {1u, 2u, 4u}) {
        for (const std::size_t count : {1u, 2u, 127u, 128u, 129u, 256u, 1000u}) {
            // Counting (no two neighbours equal: literals of 128), runs, and A B B A B B.
            for (const int pattern : {0, 1, 2}) {
                SCOPED_TRACE(std::to_string(bpp) + " " + std::to_string(count) + " " +
                             std::to_string(pattern));
                Bytes raw(count * bpp);
                std::size_t level = 0;
                for (std::size_t px = 0; px < count; ++px) {
                    level += random() % 60 == 0;  // runs of 60 on average
                    const std::size_t v = pattern == 0 ? px : pattern == 1 ? level : px % 3 == 0;
                    std::fill_n(raw.begin() + px * bpp, bpp, static_cast<std::uint8_t>(v));
                }
                Bytes code(RleEncodeBound(bpp, count)), back(raw.size());
                const auto written = RleEncode(raw, code, bpp, count);
                ASSERT_TRUE(written);
                // A code longer than the pixels does not fit a buffer of their size.
                Bytes rawSized(raw.size());
                EXPECT_EQ(RleEncode(raw, rawSized, bpp, count).has_value(), *written <= raw.size());
                EXPECT_TRUE(RleDecode(std::span(code).first(*written), back, bpp, raw.size()));
                EXPECT_EQ(back, raw);
            }
        }
    }
}

TEST(PackRle, DamagedCodeFailsWithoutWritingPastTheExpectedBytes) {
    const Bytes four = {0x81, 1, 2, 0x01, 3, 4, 5, 6};  // four 2-byte pixels
    // what, code, bytes per pixel, expected bytes, decodes
    const std::tuple<const char*, Bytes, std::size_t, std::size_t, bool> cases[] = {
        {"exact", four, 2, 8, true},
        {"trailing bytes ignored", {0x81, 1, 2, 9, 9}, 2, 4, true},
        {"nothing expected", {}, 2, 0, true},
        {"one byte more expected", four, 2, 9, false},
        {"one byte less expected", four, 2, 7, false},
        {"packet past the expected size", four, 2, 6, false},
        {"literal cut short", {0x03, 1, 2, 3, 4, 5, 6}, 2, 8, false},
        {"run pixel cut short", {0x83, 1}, 2, 8, false},
        {"no pixel size", four, 0, 8, false},
    };
    for (const auto& [what, code, bpp, expected, ok] : cases) {
        Bytes target(expected + 4, 0xAA);
        EXPECT_EQ(RleDecode(code, std::span(target).first(expected), bpp, expected), ok) << what;
        EXPECT_EQ(Bytes(target.end() - 4, target.end()), Bytes(4, 0xAA)) << what;
    }
    Bytes small(8);
    EXPECT_FALSE(RleDecode(four, small, 2, 9));  // more than the target holds
}

TEST(PackEntryHeader, StoresFieldsAtTheirOffsetsWithFreshNibbles) {
    RandomSource random(3);
    const TPackEntryHeader header{0x0123, 0x0FFF, -2, 0x1234, 0xA1B2C3D4, 3, 0x01020304, 31, 1, 0};
    const Bytes afterSizes{0xFE, 0xFF, 0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 3, 4,
                           3,    2,    1,    31,   1,    0,    0,    0,    0};
    std::set<int> nibbles;
    for (int i = 0; i < 32; ++i) {
        const auto bytes = PackEntryHeader(header, random);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(Bytes(bytes->begin() + 4, bytes->end()), afterSizes);
        EXPECT_EQ(decodeU16(bytes->data()) >> 4, 0x0123);
        nibbles.insert(decodeU16(bytes->data()) & 15);
        EXPECT_EQ(UnpackEntryHeader(*bytes), header);
    }
    EXPECT_GT(nibbles.size(), 4u);

    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    const TPackEntryHeader fits[] = {{2, 2, -32768, 32767, 0xFFFFFFFF, 0, kMax, 31, 0, 0},
                                     {4095, 4095, 32767, -32768, 0, 3, 0, 79, 1, 0xFFFFFFFF}};
    for (const auto& h : fits) EXPECT_EQ(UnpackEntryHeader(*PackEntryHeader(h, random)), h);
    EXPECT_FALSE(PackEntryHeader({4096, 2}, random));
    EXPECT_FALSE(PackEntryHeader({2, 4096}, random));
    EXPECT_FALSE(PackEntryHeader({.dataLength = -1}, random));
    const PackEntryHeaderBytes stored{0xFF, 0xFF, 0x1F, 0x00};
    EXPECT_EQ(UnpackEntryHeader(stored).width, 4095);
    EXPECT_EQ(UnpackEntryHeader(stored).height, 1);
}

}  // namespace
}  // namespace vantoro
