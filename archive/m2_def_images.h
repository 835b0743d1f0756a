// The Mir2 standard archive: a .wil data file of image records and a .wix
// index file of their offsets.
//
// .wil header (60 bytes, little-endian): 44 bytes of title, the image count
// (i32) at 44, the colour count (i32) at 48 (exactly 65536 means 16-bit
// R5G6B5 pixels, anything else 8-bit palette indices), an unused i32 at 52
// and the version flag (i32) at 56: non-zero for the new layout; 0 for the
// old one, whose header ends at 56 (a palette follows there, starting with
// the all-zero entry 0).
//
// Image record: Width u16, Height u16, PX i16, PY i16, and in the new layout
// 4 unused bytes; then the pixels as a bottom-up bitmap body, rows padded to
// 4 bytes.
//
// .wix index (same folder and name, extension ".WIX" in any letter case): an
// optional "MirOf" prefix (any case), 44 bytes of title, the count N (i32) at
// 44, in the new layout 4 unused bytes, then N i32 offsets into the .wil. The
// index carries no layout mark of its own: the .wil's version flag decides
// whether its header is 48 or 52 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro {

// The .wil header as read.
struct M2DefFileHeader {
    std::array<std::uint8_t, 44> title{};
    std::int32_t imageCount = 0;
    std::int32_t colorCount = 0;
    std::int32_t unused = 0;
    std::int32_t versionFlag = 0;
};

// The .wix header as read.
struct M2DefIndexHeader {
    bool hasMirOfPrefix = false;
    std::array<std::uint8_t, 44> title{};
    std::int32_t indexCount = 0;
    std::int32_t unused = 0;  // new layout only
};

class TWMM2DefImages : public TWMBaseImages {
public:
    TWMM2DefImages();

    std::string_view className() const override { return "TWMM2DefImages"; }

    bool Initialize() override;

    const M2DefFileHeader& fileHeader() const { return m_fileHeader; }
    const M2DefIndexHeader& indexHeader() const { return m_indexHeader; }

    std::string FIndexFileName;
    std::string indexFileName() const override { return FIndexFileName; }
    bool FIsNewVersion = false;
    bool FIs16Bit = false;

protected:
    Result<DecodedImage> decodeEntry(std::int32_t index) override;

private:
    void loadIndex();

    M2DefFileHeader m_fileHeader;
    M2DefIndexHeader m_indexHeader;
};

// The 16-bit menu entry: the same reader, starting out 16-bit. Initialize
// takes the pixel depth from the file header all the same.
class TWMM2DefBit16Images : public TWMM2DefImages {
public:
    TWMM2DefBit16Images() { FIs16Bit = true; }

    std::string_view className() const override { return "TWMM2DefBit16Images"; }
};

}  // namespace vantoro
