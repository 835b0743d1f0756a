// One small valid archive of every format, built in memory: the table the
// every-format suite and the damage sweep run over.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archive/wil.h"
#include "tests/support/test_files.h"

namespace vantoro::testing {

struct FormatFixture {
    std::string name;
    TWMImagesKind kind;
    std::string dataFile;
    std::vector<std::pair<std::string, Bytes>> files;  // the data file first, then any index
    int entries;                                       // FImageCount when undamaged
    int imageEntries;                                  // entries with an image when undamaged
    std::size_t widthAt;   // where entry 0's u16 width lies in the data file
    std::string password;  // FPassword to open it with
};

std::vector<FormatFixture> formatFixtures();

}  // namespace vantoro::testing
