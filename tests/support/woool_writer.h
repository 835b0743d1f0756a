// Builds Woool archives (.sgl) in memory for tests, benchmarks and other
// tools: groups of frames, each frame cut into tiles of at most 256 x 256
// pixels, each tile run-length coded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace vantoro::testing {

// One image, A4R4G4B4 pixels top row first.
struct WooolImage {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t px = 0;
    std::int16_t py = 0;
    std::vector<std::uint16_t> pixels;
};

// A tile as stored: its size (1..256 each way) and its run-length code.
struct WooolTile {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    Bytes code;
};

// A frame as stored: its header and its tiles in row-major order. Tests
// write frames by hand to store headers and tiles that do not agree.
struct WooolFrame {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t px = 0;
    std::int16_t py = 0;
    std::uint8_t columns = 0;
    std::uint8_t rows = 0;
    std::vector<WooolTile> tiles;
};

struct WooolGroup {
    std::uint8_t formatCode = 17;  // 17 and 18 are the supported codes
    std::vector<WooolFrame> frames;
};

// Where things landed in a built file, so a test can damage one of them.
struct WooolFrameLayout {
    std::size_t offset = 0;                // the frame header
    std::vector<std::size_t> tileOffsets;  // each tile header
};

struct WooolArchiveBytes {
    Bytes data;
    std::size_t groupTableOffset = 0;       // T: the group count, then the offsets
    std::vector<std::size_t> groupOffsets;  // 0 for an empty slot
    std::vector<WooolFrameLayout> frames;   // in entry order
};

// Run-length code of `words`: runs (a byte below 0x80 with the count, then
// the word) for repeats, literals (0x80 | count, then the words) otherwise.
Bytes encodeWooolTile(std::span<const std::uint16_t> words);

// The image cut into 256 x 256 tiles (the last column and row narrower),
// each encoded with encodeWooolTile.
WooolFrame wooolFrame(const WooolImage& image);
WooolGroup wooolGroup(std::uint8_t formatCode, const std::vector<WooolImage>& images);

// A file of the given group slots in table order; std::nullopt is an empty
// slot (offset 0). The file is padded to the size the reader requires of a
// group table of that many slots.
WooolArchiveBytes buildWoool(const std::vector<std::optional<WooolGroup>>& groups);

// width * height pixels of a simple pattern with varying alpha, never 0, for
// callers that need images of a given size and not their looks.
WooolImage wooolPatternImage(std::uint16_t width, std::uint16_t height, std::uint32_t seed = 0);

// buildWoool, then the file; answers what was written.
WooolArchiveBytes writeWoool(const std::string& path,
                             const std::vector<std::optional<WooolGroup>>& groups);

}  // namespace vantoro::testing
