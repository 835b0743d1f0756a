// The Wuyi archive (.521g): one file with a header, an entry table that
// carries each image's data position, size and dimensions, and raw R5G6B5
// pixels. Entries have no drawing offsets. This format yields bitmaps only:
// DrawToTexture answers false.
//
// File layout, little-endian:
//   0        68 bytes  not interpreted
//   68       u32       table base B
//   72       4 bytes   not interpreted
//   76       i32       entry count N
//   80       4 bytes   not interpreted
//   B + 392  24 * N    entry table
// Entry: u32 data offset, u32 data size in bytes, u16 Width, u16 Height,
//   12 bytes not interpreted. The data holds Width x Height R5G6B5 words,
//   rows top-down without padding.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro {

struct WuyiEntry {
    std::uint32_t dataOffset = 0;
    std::uint32_t dataSize = 0;
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::array<std::uint8_t, 12> reserved{};
};

class TWM521gDefImages : public TWMBaseImages {
public:
    TWM521gDefImages();

    std::string_view className() const override { return "TWM521gDefImages"; }

    bool Initialize() override;

    // One record per entry, in table order.
    std::vector<WuyiEntry> FEntries;

protected:
    // Bitmaps only: no drawing into textures, no texture cache.
    Abilities abilities() const override { return {.drawToTexture = false, .textureCache = false}; }
    Result<DecodedImage> decodeEntry(std::int32_t index) override;

private:
    void loadTable();

    std::array<std::uint8_t, 84> m_header{};
};

}  // namespace vantoro
