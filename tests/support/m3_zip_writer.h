// Builds compressed Mir3 archives (.miz + .mix) in memory for tests,
// benchmarks and other tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace vantoro::testing {

// One image, R5G6B5 pixels top row first, and the zlib level (0..9) its
// body is deflated with; a raw record stores its body uncompressed after a
// payload size of 0 instead.
struct M3ZipImage {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t px = 0;
    std::int16_t py = 0;
    std::vector<std::uint16_t> pixels;
    int level = 6;
    bool raw = false;
};

// A built archive: the data file, the index file and where each image
// record starts in the data file (so a test can damage one record).
struct M3ZipArchiveBytes {
    Bytes data;
    Bytes index;
    std::vector<std::size_t> recordOffsets;
};

// The pixels as a bottom-up bitmap body: the bottom row first, each row
// padded to 4 bytes with zeros.
Bytes m3ZipBody(const M3ZipImage& image);

// A zlib stream of `bytes` at `level`, made with zlib itself (not the code
// under test).
Bytes m3ZipDeflate(std::span<const std::uint8_t> bytes, int level = 6);

// A record: the 16-byte header (its payload size = payload.size()), then
// `payload` as it stands, so tests can store streams that are not a body.
Bytes m3ZipRecord(const M3ZipImage& image, const Bytes& payload);

// An archive of ready-made records, indexed in order.
M3ZipArchiveBytes buildM3ZipFromRecords(const std::vector<Bytes>& records);
M3ZipArchiveBytes buildM3Zip(const std::vector<M3ZipImage>& images);

// width * height pixels of a simple pattern, never 0 (so every pixel is
// opaque), for callers that need images of a given size and not their looks.
M3ZipImage m3ZipPatternImage(std::uint16_t width, std::uint16_t height, std::uint32_t seed = 0);

// Writes `archive.data` to `mizPath` and `archive.index` beside it: the same
// name with its extension replaced by `indexExtension`.
void writeM3ZipFiles(const std::string& mizPath, const M3ZipArchiveBytes& archive,
                     const std::string& indexExtension = ".mix");

// buildM3Zip, then both files; answers what was written.
M3ZipArchiveBytes writeM3Zip(const std::string& mizPath, const std::vector<M3ZipImage>& images,
                             const std::string& indexExtension = ".mix");

}  // namespace vantoro::testing
