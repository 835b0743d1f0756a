// Builds compressed Mir2 archives (.wzl + .wzx) in memory for tests,
// benchmarks and the sample archive.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tests/support/m2_def_writer.h"
#include "tests/support/test_files.h"

namespace vantoro::testing {

// One .wzl record: the image, its depth (pixel code 5 for 16-bit, 3 for
// 8-bit) and the zlib level (0..9) its pixels are deflated with; a raw
// record stores its body uncompressed after a payload size of 0 instead.
struct M2ZipImage {
    M2Image image;
    bool sixteenBit = false;
    int level = 6;
    bool raw = false;
};

// A zlib stream of `bytes` at `level`, made with zlib itself (not the code
// under test).
Bytes deflateBytes(std::span<const std::uint8_t> bytes, int level = 6);

// A valid zlib stream of `head` followed by `zeroMiB` mebibytes of zeros,
// built without ever deflating them all (a "zip bomb" that stays small on
// disk: about 1 KiB per MiB).
Bytes deflateWithZeroTail(std::span<const std::uint8_t> head, std::uint32_t zeroMiB);

// A .wzl record: the 16-byte header, then `payload` as it stands (tests use
// it to write payloads that are not a deflated body).
Bytes m2ZipRecord(const M2Image& image, std::uint8_t pixelCode, const Bytes& payload);

M2ArchiveBytes buildM2Zip(const std::vector<M2ZipImage>& images);
// Every image with the same depth and level.
M2ArchiveBytes buildM2Zip(const std::vector<M2Image>& images, bool sixteenBit, int level = 6);

// buildM2Zip, then both files (see writeArchiveFiles); answers what was written.
M2ArchiveBytes writeM2Zip(const std::string& wzlPath, const std::vector<M2ZipImage>& images,
                          const std::string& indexExtension = ".WZX");

}  // namespace vantoro::testing
