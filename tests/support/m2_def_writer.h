// Builds Mir2 standard archives (.wil + .wix) in memory for tests,
// benchmarks and the sample archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace vantoro::testing {

// One image, pixels top row first: width * height palette indices (0..255)
// for an 8-bit image, or R5G6B5 values for a 16-bit one.
struct M2Image {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t px = 0;
    std::int16_t py = 0;
    std::vector<std::uint16_t> pixels;
};

// A built archive: the data file, the index file and where each image
// record starts in the data file (so a test can damage one record).
struct M2ArchiveBytes {
    Bytes data;
    Bytes index;
    std::vector<std::size_t> recordOffsets;
};

struct M2DefOptions {
    bool sixteenBit = false;  // colour count 65536 and R5G6B5 pixels
    bool newLayout = true;    // version flag 1, 12-byte image headers, 52-byte index header
    std::string indexPrefix;  // written before the index header: "", "MirOf", "mirof", ...
};

// The pixels as a bottom-up bitmap body: the bottom row first, each row
// padded to 4 bytes with zeros.
Bytes bottomUpBodyOf(const M2Image& image, bool sixteenBit);

// width * height pixels of a simple pattern (never 0, so every pixel is
// opaque), for callers that need images of a given size and not their looks.
M2Image patternImage(std::uint16_t width, std::uint16_t height, bool sixteenBit,
                     std::uint32_t seed = 0);

M2ArchiveBytes buildM2Def(const std::vector<M2Image>& images, const M2DefOptions& options = {});

// Writes `archive.data` to `dataPath` and `archive.index` beside it: the same
// name with its extension replaced by `indexExtension`.
void writeArchiveFiles(const std::string& dataPath, const M2ArchiveBytes& archive,
                       const std::string& indexExtension);

// buildM2Def, then both files; answers what was written.
M2ArchiveBytes writeM2Def(const std::string& wilPath, const std::vector<M2Image>& images,
                          const M2DefOptions& options = {},
                          const std::string& indexExtension = ".WIX");

}  // namespace vantoro::testing
