// The compressed Mir3 archive: a data file (.miz) of image records whose
// payloads are zlib streams of 16-bit R5G6B5 bottom-up bitmap rows, and an
// index file (.mix) of record offsets beside it.
//
// Index file (.mix), little-endian:
//   0   16 bytes  not interpreted
//   16  i32       entry count N
//   20  4 bytes   not interpreted
//   24  4 * N     entry offsets (i32) into the data file
//
// Image record in the data file (16-byte header, then the payload):
//   0   u16 Width     2  u16 Height     4  i16 PX     6  i16 PY
//   8   i32 payload size in bytes       12 4 bytes not interpreted
//   16  payload: a zlib stream inflating to Height rows of
//       WidthBytes(16, Width) bytes, bottom row first; with a payload size
//       of 0, those rows themselves, stored uncompressed
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro {

class TWMM3ZipImages : public TWMBaseImages {
public:
    TWMM3ZipImages();

    std::string_view className() const override { return "TWMM3ZipImages"; }

    bool Initialize() override;

    // The index file beside the data file, found whatever its letter case.
    std::string FIndexFileName;
    std::string indexFileName() const override { return FIndexFileName; }
    // Every record of this format is 16-bit; set by each entry read.
    bool FIs16Bit = false;

protected:
    Result<DecodedImage> decodeEntry(std::int32_t index) override;

private:
    void loadIndex();

    std::array<std::uint8_t, 24> m_indexHeader{};
};

}  // namespace vantoro
