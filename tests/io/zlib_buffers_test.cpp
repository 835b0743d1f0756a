#include "io/zlib_buffers.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <numeric>
#include <random>

#include "tests/support/m2_zip_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;

Bytes sample(std::size_t size) {
    Bytes bytes(size);
    // Runs and noise alike, so every level has something to do.
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i / 7) % 3 == 0 ? 0 : (i * 131 + 7) >> 3);
    }
    return bytes;
}

Bytes firstHalf(const Bytes& bytes) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2));
}

TEST(ZlibBuffers, RoundTripsEveryLevelAndSize) {
    for (int level = 0; level <= 9; ++level) {
        for (const std::size_t size : {0u, 1u, 255u, 256u, 257u, 65536u}) {
            SCOPED_TRACE("level " + std::to_string(level) + " size " + std::to_string(size));
            const Bytes input = sample(size);
            Bytes packed;
            const std::int32_t packedSize =
                ZCompressBuf(input, static_cast<std::uint8_t>(level), packed);
            ASSERT_GT(packedSize, 0);
            EXPECT_EQ(static_cast<std::size_t>(packedSize), packed.size());

            // A standard zlib stream: zlib itself reads it back.
            Bytes viaZlib(size + 1);
            uLongf viaZlibSize = static_cast<uLongf>(viaZlib.size());
            ASSERT_EQ(uncompress(viaZlib.data(), &viaZlibSize, packed.data(), packed.size()), Z_OK);
            EXPECT_EQ(viaZlibSize, size);

            Bytes unpacked;
            EXPECT_EQ(ZDecompressBuf(packed, 0, unpacked), static_cast<std::int32_t>(size));
            EXPECT_EQ(unpacked, input);
            EXPECT_EQ(ZDecompressBuf(packed, 3, unpacked), static_cast<std::int32_t>(size));
            EXPECT_EQ(unpacked, input);
            EXPECT_EQ(inflateBounded(packed, size), input);
        }
    }
}

TEST(ZlibBuffers, DamagedStreamsGiveEmptyOutput) {
    const Bytes input = sample(4000);
    Bytes packed;
    ASSERT_GT(ZCompressBuf(input, 6, packed), 0);

    Bytes corrupt = packed;
    corrupt[0] = 0x00;  // not a zlib header
    const Bytes truncated = firstHalf(packed);
    Bytes badChecksum = packed;
    badChecksum.back() ^= 0xFF;
    // A stream asking for a preset dictionary (FDICT set, id 1): no caller
    // ever has one; it must fail rather than wait for one.
    const Bytes needsDictionary = {0x78, 0xBB, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00};

    for (const Bytes& bad : {corrupt, truncated, badChecksum, needsDictionary, Bytes{}}) {
        Bytes out = {1, 2, 3};
        EXPECT_EQ(ZDecompressBuf(bad, 0, out), 0);
        EXPECT_TRUE(out.empty());
    }
    EXPECT_FALSE(inflateBounded(corrupt, input.size()));
    EXPECT_FALSE(inflateBounded(truncated, input.size()));
    EXPECT_FALSE(inflateBounded(needsDictionary, 100));

    Bytes out = {1};
    EXPECT_EQ(ZCompressBuf(input, 10, out), 0);  // no such level
    EXPECT_TRUE(out.empty());
}

TEST(ZlibBuffers, InflateBoundedStopsAtItsLimit) {
    const Bytes input = sample(10000);
    Bytes packed;
    ASSERT_GT(ZCompressBuf(input, 9, packed), 0);

    EXPECT_EQ(inflateBounded(packed, 20000), input);  // room to spare: the whole stream
    EXPECT_EQ(inflateBounded(packed, 100), Bytes(input.begin(), input.begin() + 100));
    EXPECT_EQ(inflateBounded(packed, 0), Bytes{});

    // Damage past the limit is never seen: the truncated stream still holds
    // its first 100 bytes.
    const Bytes truncated = firstHalf(packed);
    EXPECT_EQ(inflateBounded(truncated, 100), Bytes(input.begin(), input.begin() + 100));
}

TEST(ZlibBuffers, InflateBoundedKeepsABombSmall) {
    const Bytes head = {9, 8, 7, 6};
    // The helper's own check: a small one is a whole, valid stream.
    Bytes small;
    ASSERT_EQ(ZDecompressBuf(testing::deflateWithZeroTail(head, 2), 0, small), 4 + (2 << 20));

    const Bytes bomb = testing::deflateWithZeroTail(head, 1024);  // inflates to 1 GiB
    ASSERT_LT(bomb.size(), 2u << 20);
    const auto out = inflateBounded(bomb, 4096);
    ASSERT_TRUE(out);
    ASSERT_EQ(out->size(), 4096u);
    EXPECT_EQ(Bytes(out->begin(), out->begin() + 4), head);
    EXPECT_EQ(std::accumulate(out->begin() + 4, out->end(), 0), 0);

    // The unbounded helper gives up at its cap instead of growing past it.
    const Bytes hugeBomb = testing::deflateWithZeroTail(head, 300);
    Bytes whole = {1};
    EXPECT_EQ(ZDecompressBuf(hugeBomb, 0, whole), 0);
    EXPECT_TRUE(whole.empty());
}

// libdeflate answers only for streams zlib would give the same bytes for;
// every other stream goes to zlib. Seeded damage of every kind (flipped
// bytes, cut ends, tails past the limit) must give identical answers both
// ways, for limits below, at and above the stream's size.
TEST(ZlibBuffers, FastAndZlibInflateAgreeOnDamagedStreams) {
    const Bytes input = sample(5000);
    Bytes packed;
    ASSERT_GT(ZCompressBuf(input, 6, packed), 0);
    std::mt19937 random(0x1F1A7E);
    for (int caseNumber = 0; caseNumber < 3000; ++caseNumber) {
        Bytes stream = packed;
        const int flips = static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) stream[random() % stream.size()] ^= 1u << (random() % 8);
        if (random() % 3 == 0) stream.resize(random() % stream.size());
        const std::size_t limit = std::array<std::size_t, 4>{100, 4999, 5000, 8000}[caseNumber % 4];
        Bytes fast(limit), slow(limit);
        const auto fastSize = inflateInto(stream, fast, InflatePath::Fast);
        const auto slowSize = inflateInto(stream, slow, InflatePath::ZlibOnly);
        ASSERT_EQ(fastSize, slowSize) << "case " << caseNumber;
        if (fastSize) {
            ASSERT_TRUE(std::equal(
                fast.begin(), fast.begin() + static_cast<std::ptrdiff_t>(*fastSize), slow.begin()))
                << "case " << caseNumber;
        }
    }
}

}  // namespace
}  // namespace vantoro
