#include "archive/pack_entry_header.h"

#include <string>

#include "archive/record_fields.h"
#include "io/byte_reader.h"

namespace vantoro {
namespace {

constexpr std::size_t kWidthAt = 0;
constexpr std::size_t kHeightAt = 2;
constexpr std::size_t kXAt = 4;
constexpr std::size_t kYAt = 6;
constexpr std::size_t kBlendCodeAt = 8;
constexpr std::size_t kPixelFormatAt = 12;
constexpr std::size_t kDataLengthAt = 13;
constexpr std::size_t kDataTypeAt = 17;
constexpr std::size_t kCompressedAt = 18;
constexpr std::size_t kReservedAt = 19;
static_assert(kReservedAt + 4 == kPackEntryHeaderSize);

std::uint16_t withNibble(std::uint16_t side, RandomSource& random) {
    return static_cast<std::uint16_t>((side << 4) | random.below(16));
}

}  // namespace

Result<PackEntryHeaderBytes> PackEntryHeader(const TPackEntryHeader& header, RandomSource& random) {
    if (header.width > kPackEntryMaxSide || header.height > kPackEntryMaxSide) {
        return fail("entry size " + std::to_string(header.width) + "x" +
                    std::to_string(header.height) + " does not fit the entry header");
    }
    if (header.dataLength < 0) return fail("negative entry data length");
    PackEntryHeaderBytes bytes{};
    encodeU16(&bytes[kWidthAt], withNibble(header.width, random));
    encodeU16(&bytes[kHeightAt], withNibble(header.height, random));
    encodeU16(&bytes[kXAt], static_cast<std::uint16_t>(header.x));
    encodeU16(&bytes[kYAt], static_cast<std::uint16_t>(header.y));
    encodeU32(&bytes[kBlendCodeAt], header.blendCode);
    bytes[kPixelFormatAt] = header.pixelFormat;
    encodeU32(&bytes[kDataLengthAt], static_cast<std::uint32_t>(header.dataLength));
    bytes[kDataTypeAt] = header.dataType;
    bytes[kCompressedAt] = header.compressed;
    encodeU32(&bytes[kReservedAt], header.reserved);
    return bytes;
}

TPackEntryHeader UnpackEntryHeader(std::span<const std::uint8_t, kPackEntryHeaderSize> bytes) {
    TPackEntryHeader header;
    header.width = static_cast<std::uint16_t>(u16At<kWidthAt>(bytes) >> 4);
    header.height = static_cast<std::uint16_t>(u16At<kHeightAt>(bytes) >> 4);
    header.x = i16At<kXAt>(bytes);
    header.y = i16At<kYAt>(bytes);
    header.blendCode = u32At<kBlendCodeAt>(bytes);
    header.pixelFormat = bytes[kPixelFormatAt];
    header.dataLength = i32At<kDataLengthAt>(bytes);
    header.dataType = bytes[kDataTypeAt];
    header.compressed = bytes[kCompressedAt];
    header.reserved = u32At<kReservedAt>(bytes);
    return header;
}

}  // namespace vantoro
