// The compressed Mir2 archive: a .wzl data file of image records whose
// pixels are zlib streams, and a .wzx index file of their offsets.
//
// Nothing of the .wzl file header is read; only the records at the index
// offsets matter. Image record (16-byte header, little-endian): pixel code
// u8 (5: 16-bit R5G6B5, anything else 8-bit palette indices), 3 unused
// bytes, Width u16, Height u16, PX i16, PY i16, payload size i32; then the
// payload, a zlib stream that inflates to a bottom-up bitmap body (rows
// padded to 4 bytes). A payload size of 0 means the record is stored
// uncompressed: the body itself, WidthBytes x Height bytes, follows the
// header.
//
// .wzx index (same folder and name, extension ".WZX" in any letter case):
// 44 bytes of title, the count N (i32) at 44, then N i32 offsets.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro {

// The .wzx header as read.
struct M2ZipIndexHeader {
    std::array<std::uint8_t, 44> title{};
    std::int32_t indexCount = 0;
};

class TWMM2ZipImages : public TWMBaseImages {
public:
    TWMM2ZipImages();

    std::string_view className() const override { return "TWMM2ZipImages"; }

    bool Initialize() override;

    const M2ZipIndexHeader& indexHeader() const { return m_indexHeader; }

    std::string FIndexFileName;
    std::string indexFileName() const override { return FIndexFileName; }
    bool FIs16Bit = false;  // the pixel depth of the image read last

protected:
    Result<DecodedImage> decodeEntry(std::int32_t index) override;

private:
    void loadIndex();

    M2ZipIndexHeader m_indexHeader;
};

}  // namespace vantoro
