// Builds .wis archives in memory: images (or records exactly as stored),
// the 512-byte lead-in, the records, and the index table closing the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace vantoro::testing {

enum class WisEncoding : std::int32_t { Raw8 = 0, RunLength8 = 1, Raw16 = 2 };

struct WisImage {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t px = 0;
    std::int16_t py = 0;
    WisEncoding encoding = WisEncoding::Raw8;
    std::vector<std::uint8_t> indices;  // Raw8, RunLength8: width x height, top row first
    std::vector<std::uint16_t> words;   // Raw16: width x height R5G6B5, top row first
};

// A record as stored: any encoding code and any payload.
struct WisRecord {
    std::int32_t encoding = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t px = 0;
    std::int16_t py = 0;
    Bytes payload;
};

inline constexpr std::size_t kWisFirstRecord = 512;
inline constexpr std::size_t kWisTableEntrySize = 12;
inline constexpr std::size_t kWisRecordHeaderSize = 12;

struct WisFile {
    Bytes bytes;
    std::vector<std::size_t> recordOffsets;  // where each record's header starts
    std::size_t tableOffset = 0;             // where the index table starts

    // Where table entry i (offset u32, size u32, 4 unused bytes) starts.
    std::size_t tableEntryAt(std::size_t i) const { return tableOffset + kWisTableEntrySize * i; }
    std::size_t payloadAt(std::size_t i) const { return recordOffsets[i] + kWisRecordHeaderSize; }
};

// Run-length codes (c, v): runs of three or more equal indices as (count,
// index), everything else as literals (0, count, indices...).
Bytes encodeWisRunLength(std::span<const std::uint8_t> indices);

WisRecord wisRecordOf(const WisImage& image);
WisFile buildWisRecords(const std::vector<WisRecord>& records);
WisFile buildWis(const std::vector<WisImage>& images);
// Builds the archive and writes it to `path`.
WisFile writeWis(const std::string& path, const std::vector<WisImage>& images);

}  // namespace vantoro::testing
