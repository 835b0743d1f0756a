// The Mir2 .wis archive: one file carrying its own index at its end.
//
// Bytes 0..511 are not interpreted; the first image record starts at 512.
// The index table closes the file: 12-byte entries (offset u32, payload size
// u32, 4 bytes unused), the last one ending exactly at the end of the file,
// the first one being the entry whose offset is 512. An image record is a
// 12-byte header (encoding i32, Width u16, Height u16, PX i16, PY i16) and the
// payload: 0 raw palette indices, 1 run-length coded palette indices, 2 raw
// R5G6B5 words, all rows top-down without padding; 3 holds no image.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro {

class TWMM2WisImages : public TWMBaseImages {
public:
    TWMM2WisImages();

    std::string_view className() const override { return "TWMM2WisImages"; }

    bool Initialize() override;

    // Payload size of each entry, parallel to FIndexList.
    std::vector<std::int32_t> FSizeList;

protected:
    Result<DecodedImage> decodeEntry(std::int32_t index) override;

private:
    void readIndexTable();
};

namespace wis {

// Decodes the run-length code of encoding 1 into exactly out.size() palette
// indices. Codes are byte pairs (c, v): c != 0 is a run of c pixels of index
// v; c == 0 is a literal of the v indices that follow. False when a code is
// cut off by the end of the input, a run or literal would pass the image, or
// the input ends before the image is complete.
bool decodeRunLength(std::span<const std::uint8_t> input, std::span<std::uint8_t> out);

}  // namespace wis
}  // namespace vantoro
