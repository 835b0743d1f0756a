// The 64-byte header at the start of every pack (.pak). Little-endian:
//
//   offset size  field
//    0      4    magic "PACK"
//    4     11    version text "4.0 - zeqon" (bytes 0..14 read "PACK4.0 - zeqon")
//   15      8    check block: the password check of a protected pack, else 0
//   23      1    protected flag: 1 = password-protected, anything else = not
//   24      4    protected count, int32: index slots of a protected pack, else 0
//   28      8    reserved, 0
//   36      4    index word A, uint32: low half random, high half = low 16
//                bits of the index offset
//   40      4    index word B, uint32: low half random, high half = high 16
//                bits of the index offset
//   44      4    packed index size, int32: length of the zlib-compressed
//                index; 0 = index stored raw
//   48      4    count, int32: index slots of an unprotected pack, else 0
//   52      8    creation time, IEEE double: local date and time as days
//                since 30 December 1899 00:00, the fraction the time of day
//   60      4    offset slot, int32: always 0 on disk
//
// The entries follow from offset 64, back to back in index order; the index
// lies directly after the last one (the data end), raw as count int32 slots
// or as one zlib stream inflating to 40 filler bytes and then the slots. A
// slot is the file offset of an entry's header, or 0 for an empty entry. An
// index offset of 0 marks a pack without index: a new or emptied pack.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "archive/pack_cipher.h"
#include "io/random_source.h"
#include "io/result.h"

namespace vantoro {

inline constexpr std::size_t kPackHeaderSize = 64;
// Where the first entry starts: the data end of a pack without entries.
inline constexpr std::int32_t kPackDataStart = 64;
inline constexpr std::string_view kPackSignature = "PACK4.0 - zeqon";
// The zlib form of the index inflates to this many filler bytes before the slots.
inline constexpr std::size_t kPackIndexFillerSize = 40;
// A compressed index longer than this is not read.
inline constexpr std::int32_t kMaxPackedIndexSize = 52'428'800;

using PackHeaderBytes = std::array<std::uint8_t, kPackHeaderSize>;

struct TPackHeader {
    std::array<std::uint8_t, 15> signature{};  // not checked when read
    DesBlock checkBlock{};
    std::uint8_t protectedFlag = 0;
    std::int32_t protectedCount = 0;
    std::array<std::uint8_t, 8> reserved{};
    std::uint32_t indexWordA = 0;
    std::uint32_t indexWordB = 0;
    std::int32_t packedIndexSize = 0;
    std::int32_t count = 0;
    double creationTime = 0;
    // 0 on disk; while a pack is open, its live data end.
    std::int32_t offsetSlot = 0;

    bool isProtected() const { return protectedFlag == 1; }
    // (word B AND 0xFFFF0000) OR (word A SHIFT RIGHT 16).
    std::uint32_t indexOffset() const;
    // Spreads `offset` into words A and B with fresh random low halves.
    void setIndexOffset(std::uint32_t offset, RandomSource& random);
};

TPackHeader parsePackHeader(std::span<const std::uint8_t, kPackHeaderSize> bytes);
PackHeaderBytes serializePackHeader(const TPackHeader& header);

// The header of a new, empty pack: the signature, the creation time, and
// zero in every other byte. A pack file of these 64 bytes alone opens with
// no entries.
PackHeaderBytes newPackHeader(double creationTime);

// Whether a file of `fileSize` bytes starting with `header` is a pack as
// this program writes one: the signature at 0, at least the 64 header bytes,
// and an index that lies inside the file with room for the slots it counts
// (raw) or for its packed bytes; a header without index counts no slots.
// Editing anything else would write a pack header and entries over another
// kind of file, so the editing commands refuse it with this reason.
Status checkPackHeader(const TPackHeader& header, std::uint64_t fileSize);

// The local date and time now, as a pack stores its creation time.
double packTimeNow();

}  // namespace vantoro
