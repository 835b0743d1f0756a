// The Mir3 standard archive: a data file (.wil) of 16-bit images coded as
// runs of transparent and opaque pixels, and an index file (.wix) beside it.
//
// Index file: 20 bytes unused, entry count N (i32) at 20, a version word
// (u32) at 24 whose high half 0xB13A marks the new image-header layout, then
// N entry offsets (i32) into the data file; offset 0 is an entry without an
// image. Data file: 32-byte header with the image count M (i32) at 24.
// Image record: Width u16, Height u16, PX i16, PY i16, 5 bytes unused, and in
// the new layout the payload length in 16-bit words (i32) at 13, so 17 or 13
// header bytes; then the run-coded rows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro {

class TWMM3DefImages : public TWMBaseImages {
public:
    TWMM3DefImages();
    ~TWMM3DefImages() override;

    std::string_view className() const override { return "TWMM3DefImages"; }

    // False when the index file is missing or unreadable; raises an
    // ArchiveError (after finalizing) when the index and the data file
    // disagree on the number of images.
    bool Initialize() override;
    // Clears FIndexList, then closes the file.
    void Finalize() override;

    // The first 32 bytes of the data file and the 28-byte index header, as read.
    const std::array<std::uint8_t, 32>& dataHeader() const { return m_dataHeader; }
    const std::array<std::uint8_t, 28>& indexHeader() const { return m_indexHeader; }

    std::string FIndexFileName;
    std::string indexFileName() const override { return FIndexFileName; }
    bool FIsNewVersion = false;

protected:
    // Draws, but has no texture cache.
    Abilities abilities() const override { return {.drawToTexture = true, .textureCache = false}; }
    Result<DecodedImage> decodeEntry(std::int32_t index) override;

private:
    bool loadIndex();
    std::optional<std::int64_t> readDataCount();
    // The bytes of run-coded rows the record at `offset` declares.
    Result<std::uint64_t> payloadBytes(std::int64_t offset,
                                       std::span<const std::uint8_t> header) const;

    std::array<std::uint8_t, 32> m_dataHeader{};
    std::array<std::uint8_t, 28> m_indexHeader{};
    // Distinct non-zero entry offsets in ascending order: a record of the old
    // layout, which does not state its length, ends where the next one starts.
    std::vector<std::int32_t> m_recordStarts;
};

namespace m3 {

// Decodes `height` run-coded rows of `width` pixels from a payload of
// little-endian words into `out` (width x height R5G6B5 words, top row
// first; transparent pixels 0). Each row is a length word L and L words of
// codes: 0xC0 n skips n transparent pixels, 0xC1..0xC3 n copies the n words
// that follow. Fails on an unknown code, a code cut off by the end of its
// row, a run past the row width, or rows past the payload.
Status decodeRows(std::span<const std::uint8_t> payload, std::uint16_t width, std::uint16_t height,
                  std::span<std::uint8_t> out);

}  // namespace m3
}  // namespace vantoro
