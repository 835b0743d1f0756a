// Builds Wuyi archives (.521g) in memory for tests, benchmarks and other
// tools: the 84-byte header, the entry table at its base + 392, then the
// raw R5G6B5 pixels of each image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace vantoro::testing {

// One image, R5G6B5 pixels top row first. The format stores no offsets.
struct WuyiImage {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<std::uint16_t> pixels;
};

struct WuyiOptions {
    std::uint32_t tableBase = 0;  // B: the table starts at B + 392
};

struct WuyiArchiveBytes {
    Bytes data;
    std::size_t tableOffset = 0;             // B + 392
    std::vector<std::size_t> recordOffsets;  // each 24-byte table record
    std::vector<std::size_t> dataOffsets;    // each image's pixels
};

WuyiArchiveBytes buildWuyi(const std::vector<WuyiImage>& images, const WuyiOptions& options = {});

// width * height pixels of a simple pattern, never 0, for callers that need
// images of a given size and not their looks.
WuyiImage wuyiPatternImage(std::uint16_t width, std::uint16_t height, std::uint32_t seed = 0);

// buildWuyi, then the file; answers what was written.
WuyiArchiveBytes writeWuyi(const std::string& path, const std::vector<WuyiImage>& images,
                           const WuyiOptions& options = {});

}  // namespace vantoro::testing
