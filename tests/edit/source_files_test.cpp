#include "edit/source_files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "io/zlib_buffers.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;

Bytes zerosThen(std::size_t zeros, const Bytes& tail) {
    Bytes out(zeros + tail.size(), 0);
    std::copy(tail.begin(), tail.end(), out.begin() + static_cast<std::ptrdiff_t>(zeros));
    return out;
}

TEST(SourceFilesTest, SoundTypeByFirstBytes) {
    const testing::TempDir dir;
    const std::pair<Bytes, int> cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 79},
        {{'I', 'D', '3', 4}, 79},
        {{'R', 'I', 'F', 'F', 1}, 63},
        {zerosThen(40, {0xFF, 0xFB, 0x90, 0x00}), 79},
        {zerosThen(4 + 10000, {0xFF, 0xFB, 0x90, 0x00}), 79},  // last byte the scan looks at
        {zerosThen(4 + 10001, {0xFF, 0xFB, 0x90, 0x00}), 0},
        {zerosThen(40, {0xFF, 0xFB, 0x90}), 0},     // frame start cut short
        {{0x00, 0x10, 0, 0, 0xFF, 0xFB, 0, 0}, 0},  // high nibble of the second byte set
        {{}, 0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        testing::writeFile(dir.file("s"), cases[i].first);
        EXPECT_EQ(DetectSoundType(dir.file("s")).value(), cases[i].second) << "case " << i;
    }
    EXPECT_EQ(DetectSoundType(dir.file("none")).error(), dir.file("none") + ": cannot open");
}

TEST(SourceFilesTest, ReadSourceFileStoresOrDeflatesTheWholeFile) {
    const testing::TempDir dir;
    const Bytes bytes(5000, 'a');
    testing::writeFile(dir.file("d"), bytes);

    SourceFileData read = ReadSourceFile(dir.file("d"), true, 5000, 0);  // level 0: as it is
    EXPECT_EQ(read.size, 5000);
    EXPECT_EQ(read.data, bytes);
    read = ReadSourceFile(dir.file("d"), true, 5000, 9);
    ASSERT_TRUE(read.data.has_value());
    EXPECT_EQ(read.size, static_cast<std::int64_t>(read.data->size()));
    std::vector<std::uint8_t> inflated;
    ZDecompressBuf(*read.data, 0, inflated);
    EXPECT_EQ(inflated, bytes);

    read = ReadSourceFile(dir.file("d"), false, 5001, 0);  // file shorter than asked
    EXPECT_EQ(read.size, 5001);
    EXPECT_FALSE(read.data.has_value());
    EXPECT_EQ(ReadSourceFile(dir.file("d"), true, 5000, 10).size, 0);  // no such level
    EXPECT_EQ(ReadSourceFile(dir.file("none"), false, 1, 0).size, 0);

    EXPECT_EQ(FileSizeOf(dir.file("d")), 5000);
    EXPECT_EQ(FileSizeOf(dir.file("none")), -1);
    EXPECT_EQ(FileSizeOf(dir.path().string()), 0);
}

}  // namespace
}  // namespace vantoro
