// Reads served from a file's mapping, and the file shrinking under it.
#include <gtest/gtest.h>

#include <filesystem>

#include "io/file_stream.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

TEST(MappedReads, FileShrinkingUnderTheMappingReadsZerosAndIsToldOnce) {
    testing::TempDir dir;
    const std::string path = dir.file("data.bin");
    testing::Bytes bytes(3 * 4096);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i % 251 + 1);
    testing::writeFile(path, bytes);
    auto stream = FileStream::open(path, FileStream::Mode::ReadOnly);
    ASSERT_TRUE(stream);

    FileBytes buffer;
    stream->seek(4096);
    const auto view = stream->readView(buffer, 4096);
    ASSERT_TRUE(view);
    EXPECT_TRUE(std::equal(view->begin(), view->end(), bytes.begin() + 4096));
    EXPECT_FALSE(stream->takeMappingDamage());

    std::filesystem::resize_file(path, 100);
    // The view's pages are gone from the file: reading them faults, and the
    // fault turns them into zeros instead of ending the program.
    EXPECT_EQ(std::count(view->begin(), view->end(), 0), 4096);
    EXPECT_TRUE(stream->takeMappingDamage());
    EXPECT_FALSE(stream->takeMappingDamage());

    // From then on the stream reads the file as it now is.
    std::array<std::uint8_t, 200> head{};
    stream->seek(0);
    EXPECT_EQ(stream->read(head), 100u);
    EXPECT_TRUE(std::equal(head.begin(), head.begin() + 100, bytes.begin()));
}

// An index that declares no entries asks for no bytes, into a buffer that has
// no storage yet.
TEST(MappedReads, ReadingNothingSucceedsAnywhereInTheFile) {
    testing::TempDir dir;
    const std::string path = dir.file("data.bin");
    testing::writeFile(path, testing::Bytes(64, 7));
    auto stream = FileStream::open(path, FileStream::Mode::ReadOnly);
    ASSERT_TRUE(stream);
    for (const std::int64_t at : {0, 32, 64}) {
        stream->seek(at);
        EXPECT_TRUE(stream->readExact({})) << at;
        const auto bytes = stream->readBytes(0);
        ASSERT_TRUE(bytes) << at;
        EXPECT_TRUE(bytes->empty());
        EXPECT_EQ(stream->position(), at);
    }
}

}  // namespace
}  // namespace vantoro
