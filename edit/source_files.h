// Reading sound and data files to import into a pack.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/result.h"

namespace vantoro {

// The entry data type of a sound file by its first bytes: 63 (kDataTypeWav)
// for "RIFF"; 79 (kDataTypeMp3) for an MPEG audio frame start (first byte
// FF, high nibble of the second F) or "ID3", or, when the first byte is 0 and
// the second's high nibble 0, for a frame start at the first non-zero byte
// within the 10,001 bytes from offset 4; else 0. Fails when the file cannot
// be opened.
Result<std::uint8_t> DetectSoundType(const std::string& fileName);

// What ReadSourceFile gives. `size` is the entry's data length: the bytes
// stored, 0 when the file cannot be opened or compression fails, and the
// size asked for when the file holds fewer bytes (then there are no data).
struct SourceFileData {
    std::int64_t size = 0;
    std::optional<std::vector<std::uint8_t>> data;
    std::string error;  // why there are no data
};

// The first `size` bytes of the file; with `compress` and a level above 0
// deflated at that level (zlib), otherwise as they are.
SourceFileData ReadSourceFile(const std::string& fileName, bool compress, std::int64_t size,
                              int level);

// The file's size, 0 for something other than a regular file (a folder),
// -1 when there is nothing of that name.
std::int64_t FileSizeOf(const std::string& fileName);

}  // namespace vantoro
