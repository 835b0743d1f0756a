// One small valid archive of every format, built in memory: the table the
// every-format suite and the damage sweep run over. Each row also builds the
// variants those checks need: one image of any size, and for formats that
// deflate their images a stream that goes on past its image.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_reader.h"
#include "tests/support/test_files.h"

namespace vantoro::testing {

// Files by name: the data file first, then any index.
using ArchiveFiles = std::vector<std::pair<std::string, Bytes>>;

struct FormatFixture {
    std::string name;
    TWMImagesKind kind;
    std::string dataFile;
    ArchiveFiles files;
    int entries;           // FImageCount when undamaged
    int imageEntries;      // entries with an image when undamaged
    std::size_t widthAt;   // where entry 0's u16 width lies in the data file
    std::string password;  // FPassword to open it with
    // The first byte of the data file the reader ever looks at: damage
    // before it proves nothing.
    std::size_t firstReadByte = 0;
    // The same files holding one width x height image whose last pixel is
    // set (sides outside 2..4095 included, where the format can store them).
    std::function<ArchiveFiles(std::uint16_t width, std::uint16_t height)> oneImage = {};
    // Formats that deflate their images: the same files holding entry 0's
    // image alone, in a stream that goes on for far more bytes than the
    // image takes. Empty for the others.
    std::function<ArchiveFiles()> streamPastItsImage = {};
};

std::vector<FormatFixture> formatFixtures();

}  // namespace vantoro::testing
