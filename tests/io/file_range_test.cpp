#include "io/file_range.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::readFile;
using testing::writeFile;

Bytes noise(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    std::mt19937 random(seed);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

// Applies one cut or gap to the file and to the model, and compares them. What
// a gap holds is not promised, so the model takes those bytes from the file.
void applyAndCompare(const std::string& path, Bytes& model, bool insert, std::int64_t length,
                     std::int64_t position, std::size_t chunk) {
    const auto at = std::min(position, static_cast<std::int64_t>(model.size()));
    if (insert) {
        ASSERT_EQ(*InsertFileRange(path, length, position, chunk), length);
        const Bytes file = readFile(path);
        ASSERT_EQ(file.size(), model.size() + static_cast<std::size_t>(length));
        model.insert(model.begin() + at, file.begin() + at, file.begin() + at + length);
    } else {
        const auto cut =
            std::min<std::int64_t>(length, static_cast<std::int64_t>(model.size()) - at);
        ASSERT_EQ(*DeleteFileRange(path, length, position, chunk), cut);
        model.erase(model.begin() + at, model.begin() + at + cut);
    }
    ASSERT_EQ(readFile(path), model);
}

TEST(FileRange, SeededEditsMatchAnInMemoryModel) {
    constexpr std::int64_t kChunk = 64;
    const std::int64_t lengths[] = {0, 1, 3, kChunk - 1, kChunk, kChunk + 1, 3 * kChunk + 5};
    testing::TempDir dir;
    const std::string path = dir.file("pack.pak");
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        Bytes model = noise(700, seed);
        writeFile(path, model);
        std::mt19937 random(seed);
        for (int step = 0; step < 120; ++step) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
            const auto size = static_cast<std::int64_t>(model.size());
            // Start, end, past the end, or anywhere between.
            const std::int64_t places[] = {0, size, size + 9,
                                           static_cast<std::int64_t>(random() % (size + 1))};
            const bool insert = random() % 2 == 0 || size < 200;
            const std::int64_t length = lengths[random() % std::size(lengths)];
            applyAndCompare(path, model, insert, length, places[random() % 4], kChunk);
        }
    }
}

TEST(FileRange, RefusedCallsLeaveTheFileAsItWas) {
    testing::TempDir dir;
    const std::string path = dir.file("pack.pak");
    const Bytes original = noise(300, 9);
    writeFile(path, original);
    const std::tuple<std::string, std::int64_t, std::int64_t, std::size_t> cases[] = {
        {path, -1, 10, 64},
        {path, 10, -1, 64},
        {path, 10, 10, 0},
        {dir.file("missing.pak"), 10, 0, 64},
        {dir.path().string(), 10, 0, 64}};
    for (const auto& [file, length, position, chunk] : cases) {
        EXPECT_FALSE(InsertFileRange(file, length, position, chunk));
        EXPECT_FALSE(DeleteFileRange(file, length, position, chunk));
    }
    EXPECT_FALSE(InsertFileRange(path, std::numeric_limits<std::int64_t>::max(), 0));
    EXPECT_EQ(readFile(path), original);
}

}  // namespace
}  // namespace vantoro
