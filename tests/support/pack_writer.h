// Builds packs (.pak) in memory for tests, the header field by field; a
// password makes a protected pack (check block, count at 24, enciphered data).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/my_image_images.h"
#include "archive/pack_entry_header.h"
#include "tests/support/open_pack.h"
#include "tests/support/test_files.h"

namespace vantoro::testing {

struct PackEntry {
    std::uint8_t dataType = 31;  // 0: an empty slot
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint8_t pixelFormat = 0;
    Bytes payload;            // images: raw pixels, top row first; others: the file
    bool compressed = false;  // images: run-length code; others: zlib
};

struct PackOptions {
    std::string password;  // not empty: a protected pack
    bool compressIndex = true;
    int fillerDelta = 0;  // bytes more (or fewer) than the 40 filler bytes of a compressed index
};

struct PackBytes {
    Bytes data;
    std::vector<std::int32_t> slots;  // the index as stored
    std::size_t indexOffset = 0;
};

// The entry's data as stored (compressed when asked) and its header.
Bytes packStoredData(const PackEntry& entry);
TPackEntryHeader packEntryHeader(const PackEntry& entry, std::size_t storedSize);

PackBytes buildPack(const std::vector<PackEntry>& entries, const PackOptions& options = {});
PackBytes writePack(const std::string& path, const std::vector<PackEntry>& entries,
                    const PackOptions& options = {});
// A plain pack whose index lies at `indexAt`, the data entries written as
// usual and a hole of zeros up to the index: a pack near the 2 GiB offset
// limit that costs only a few blocks of disk. The answer's data is what
// lies before the hole.
PackBytes writeSparsePack(const std::string& path, const std::vector<PackEntry>& entries,
                          std::uint32_t indexAt);

inline PackEntry packEmpty() {
    PackEntry entry;
    entry.dataType = 0;
    return entry;
}
// An image of the pixel format with runs (for the run-length code), odd
// values and, for 16-bit formats, a transparent and a black pixel.
PackEntry packImage(std::uint16_t width, std::uint16_t height, std::uint8_t pixelFormat,
                    bool compressed, std::uint32_t seed = 1);
// A stored file of `size` bytes of a pattern that compresses.
PackEntry packFile(std::uint8_t dataType, std::size_t size, bool compressed,
                   std::uint32_t seed = 1);

}  // namespace vantoro::testing
