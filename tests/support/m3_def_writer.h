// Builds Mir3 standard archives in memory: the data file (.wil) with its
// 32-byte header and run-coded records, and the index file (.wix) with its
// 28-byte header, version word and entry offsets. Old layout: 13-byte image
// headers; new layout: 17-byte headers ending in the payload length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace vantoro::testing {

enum class M3Layout { Old, New };

inline constexpr std::uint32_t kM3NewVersionWord = 0xB13A0001;
inline constexpr std::uint32_t kM3OldVersionWord = 0x00000001;
inline constexpr std::size_t kM3DataCountAt = 24;
inline constexpr std::size_t kM3IndexCountAt = 20;
inline constexpr std::size_t kM3IndexVersionAt = 24;
inline constexpr std::size_t kM3IndexHeaderSize = 28;

inline constexpr std::uint16_t kM3TransparentRun = 0xC0;
inline constexpr std::uint16_t kM3OpaqueRun = 0xC1;

struct M3Image {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t px = 0;
    std::int16_t py = 0;
    std::vector<std::uint16_t> pixels;  // width x height R5G6B5, top row first; 0 is transparent
    bool empty = false;                 // an entry without an image: index offset 0
};

// A record as stored: any header and any payload words.
struct M3Record {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t px = 0;
    std::int16_t py = 0;
    std::vector<std::uint16_t> payload;  // run-coded rows, each a length word and its codes
    bool empty = false;
};

struct M3DefFiles {
    Bytes data;
    Bytes index;
    M3Layout layout = M3Layout::New;
    std::vector<std::size_t> recordOffsets;  // 0 for an entry without an image

    std::size_t headerSize() const { return layout == M3Layout::New ? 17 : 13; }
    std::size_t payloadAt(std::size_t i) const { return recordOffsets[i] + headerSize(); }
    // Where entry i's offset lies in the index file.
    std::size_t indexEntryAt(std::size_t i) const { return kM3IndexHeaderSize + 4 * i; }
};

// One row's codes without its length word: 0xC0 n for n transparent pixels
// and 0xC1 n followed by n words for opaque ones; a transparent tail is left
// out, since the rest of a row stays transparent anyway.
std::vector<std::uint16_t> encodeM3Row(std::span<const std::uint16_t> row);
// All rows, each as its length word and its codes.
std::vector<std::uint16_t> encodeM3Payload(const M3Image& image);

M3DefFiles buildM3DefRecords(const std::vector<M3Record>& records, M3Layout layout);
M3DefFiles buildM3Def(const std::vector<M3Image>& images, M3Layout layout);

// Folder + name of `dataPath` without extension + `extension`.
std::string m3IndexPathFor(const std::string& dataPath, const std::string& extension = ".wix");
// Writes the data file to `dataPath` and the index beside it.
void writeM3DefFiles(const std::string& dataPath, const M3DefFiles& files,
                     const std::string& indexExtension = ".wix");
M3DefFiles writeM3Def(const std::string& dataPath, const std::vector<M3Image>& images,
                      M3Layout layout);

}  // namespace vantoro::testing
