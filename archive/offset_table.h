// The offset tables of the separate index files (.wix, .wzx, .mix): a fixed
// header holding the entry count, then that many 32-bit file offsets.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "io/file_stream.h"

namespace vantoro {

// More entries than this in an index file mean the file is not an index.
inline constexpr std::int32_t kMaxIndexCount = 10'000'000;

struct OffsetTableLayout {
    std::int64_t headerStart = 0;  // where the header begins in the file
    std::uint32_t headerSize = 0;  // bytes of header before the offsets
    std::uint32_t countAt = 0;     // position of the i32 count inside the header
};

// Reads the header and the offsets that follow it. Nothing when the header
// is short, the count is negative or above kMaxIndexCount, or fewer than
// 4 * count bytes follow.
std::optional<std::vector<std::int32_t>> readOffsetTable(FileStream& file,
                                                         const OffsetTableLayout& layout);

}  // namespace vantoro
