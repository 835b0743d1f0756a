// The Woool archive (.sgl): one file holding a table of groups; each group
// holds frames; each frame is an A4R4G4B4 image cut into tiles of at most
// 256 x 256 pixels, each tile run-length coded. All frames of all groups are
// flattened into one entry list, in group-table order.
//
// File layout, little-endian:
//   0   36 bytes  not interpreted
//   36  u32       group-table position T
//   T   i32       group count G
//   T+4 4 * G     group offsets (u32); 0 marks an empty slot
// Group: u8 not interpreted, u8 format code (17 or 18), u16 frame count F,
//   u16 not interpreted; then its F frames back to back.
// Frame: u16 Width, u16 Height, i16 PX, i16 PY, u8 tile columns C, u8 tile
//   rows R; then C x R tiles in row-major order. The tile in tile row r and
//   column c starts at pixel (256 c, 256 r).
// Tile: u8 width - 1, u8 height - 1, u32 coded length L, then L bytes of
//   run-length code producing A4R4G4B4 words: a byte b below 0x80 is a run of
//   b copies of the u16 that follows; a byte b from 0x80 up is a literal of
//   (b & 0x7F) u16 values that follow.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro {

class TWMWoolDefImages : public TWMBaseImages {
public:
    TWMWoolDefImages();

    std::string_view className() const override { return "TWMWoolDefImages"; }

    // Raises ArchiveError for a group whose format code is not supported;
    // the entries listed before it remain and the archive stays open.
    bool Initialize() override;

    // The format code of each entry's group, parallel to FIndexList.
    std::vector<std::uint8_t> FFormatList;

protected:
    // Draws, but has no texture cache.
    Abilities abilities() const override { return {.drawToTexture = true, .textureCache = false}; }
    // A4R4G4B4 frames: their 4-bit alpha goes into the texture as it is.
    Result<DecodedImage> decodeEntry(std::int32_t index) override;

private:
    void buildEntryList();
    // Lists the frames of the group at `offset`; false once the frames listed
    // so far would need more bytes than the file holds.
    bool listGroup(std::uint32_t offset, std::uint64_t& budget);
    [[noreturn]] void raiseUnsupportedFormat(std::uint8_t code) const;

    // Kept between decodes: one tile's code and its expanded words.
    FileBytes m_tileCode;
    std::vector<std::uint16_t> m_tileWords;

    std::array<std::uint8_t, 40> m_header{};
};

// A frame's run-length code expanded into rows (see PixelRows): decoding
// stops when the code or the rows end, and a run or literal is cut where the
// rows end; rows and words the code does not reach are 0, as is the padding
// between the rows.
void expandWooolRows(std::span<const std::uint8_t> code, const PixelRows& rows);

// One tile's run-length code expanded into `words`. Decoding stops when the
// code or the buffer ends; a run or literal longer than the words left is cut
// to fit, and a code missing its last bytes ends the tile. Words the code
// does not reach are 0.
void decodeWooolTile(std::span<const std::uint8_t> code, std::span<std::uint16_t> words);

}  // namespace vantoro
