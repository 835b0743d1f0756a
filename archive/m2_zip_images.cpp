#include "archive/m2_zip_images.h"

#include <algorithm>
#include <span>

#include "archive/entry_errors.h"
#include "io/byte_reader.h"
#include "io/file_names.h"
#include "io/zlib_buffers.h"
#include "pixels/pixel_format.h"

namespace vantoro {
namespace {

constexpr OffsetTableLayout kIndexLayout{0, 48, 44};
constexpr std::size_t kRecordHeaderSize = 16;
constexpr std::uint8_t kSixteenBitCode = 5;

struct RecordHeader {
    std::uint8_t pixelCode = 0;
    TWMImageInfo info;
    std::int32_t payloadSize = 0;
};

// Pixel code u8, three bytes not interpreted, the image info, the payload
// size i32; nothing when `bytes` ends before them.
std::optional<RecordHeader> parseRecordHeader(std::span<const std::uint8_t> bytes) {
    ByteReader reader(bytes);
    const auto pixelCode = reader.readU8();
    const bool skipped = reader.skip(3);
    const auto info = readImageInfo(reader);
    const auto payloadSize = reader.readI32();
    if (!pixelCode || !skipped || !info || !payloadSize) return std::nullopt;
    return RecordHeader{*pixelCode, *info, *payloadSize};
}

// The header's title and count; nothing when `bytes` ends before the count.
std::optional<M2ZipIndexHeader> parseIndexHeader(std::span<const std::uint8_t> bytes) {
    M2ZipIndexHeader header;
    ByteReader reader(bytes);
    const auto title = reader.readBytes(header.title.size());
    const auto count = fieldsAt(bytes, kIndexLayout.countAt).readI32();
    if (!title || !count) return std::nullopt;
    std::copy(title->begin(), title->end(), header.title.begin());
    header.indexCount = *count;
    return header;
}

}  // namespace

TWMM2ZipImages::TWMM2ZipImages() {
    FReadOnly = true;
}

bool TWMM2ZipImages::Initialize() {
    if (!TWMBaseImages::Initialize()) return false;
    FIndexFileName = companionFileName(FFileName, ".WZX");
    loadIndex();
    InitTextureCache();
    return true;
}

// A missing or unreadable index leaves the archive open with 0 entries, and
// says why.
void TWMM2ZipImages::loadIndex() {
    FIndexList.clear();
    FImageCount = 0;
    m_indexHeader = M2ZipIndexHeader{};
    const auto file = FileStream::open(FIndexFileName, FileStream::Mode::ReadOnly);
    if (!file) {
        setLastError("index file " + FIndexFileName + " is missing or cannot be opened");
        return;
    }
    const auto bytes = file->readBytes(kIndexLayout.headerSize);
    const auto header = bytes ? parseIndexHeader(*bytes) : std::nullopt;
    if (!header) {
        setLastError("index file " + FIndexFileName + " is shorter than its header");
        return;
    }
    m_indexHeader = *header;

    auto offsets = readOffsetTable(*file, kIndexLayout);
    if (!offsets) {
        setLastError("index file " + FIndexFileName + ": " + offsets.error());
        return;
    }
    FIndexList = std::move(*offsets);
    FImageCount = static_cast<std::int32_t>(FIndexList.size());
}

Result<DecodedImage> TWMM2ZipImages::decodeEntry(std::int32_t index) {
    const auto offset = seekToEntry(index);
    if (!offset) return offset.failure();
    std::array<std::uint8_t, kRecordHeaderSize> bytes{};
    const auto parsed = FFileStream->readExact(bytes) ? parseRecordHeader(bytes) : std::nullopt;
    if (!parsed) return fail(entry_error::kHeaderCutShort);
    const RecordHeader& header = *parsed;
    if (!isAcceptedImageSize(header.info.Width, header.info.Height)) {
        return fail(entry_error::imageSize(header.info));
    }
    FIs16Bit = header.pixelCode == kSixteenBitCode;
    const int bits = FIs16Bit ? 16 : 8;
    if (header.payloadSize < 0) {
        return fail("payload size " + std::to_string(header.payloadSize) + " is negative");
    }
    const DecodedFormat format = FIs16Bit ? DecodedFormat::R5G6B5 : DecodedFormat::Palette8;
    const auto stride =
        static_cast<std::size_t>(WidthBytes(static_cast<std::uint32_t>(bits), header.info.Width));
    const std::uint64_t bodySize = bottomUpBodySize(bits, header.info.Width, header.info.Height);

    // Size 0 marks a record the game's tools stored uncompressed (interface
    // panels, books): the whole body follows the header, and must, since
    // nothing else says where it ends.
    if (header.payloadSize == 0) {
        const auto body = readPayload(bodySize, bodySize);
        if (!body) return fail(entry_error::uncompressedBodyPastEnd(bodySize));
        return DecodedImage{header.info, format, *body, stride, true};
    }

    // Never more than a full body is inflated: a stream claiming more cannot
    // exhaust memory, and bytes past the body do not count. A shorter body is
    // kept; the rows it lacks stay transparent.
    const auto payload =
        readPayload(static_cast<std::uint64_t>(header.payloadSize), usefulStreamBytes(bodySize));
    if (!payload) return payload.failure();
    const auto body = pixelBuffer(bodySize);
    const auto inflated = inflateInto(*payload, body);
    if (!inflated) return fail(entry_error::kNotZlib);
    if (*inflated == 0) return fail(entry_error::kInflatesToNothing);
    return DecodedImage{header.info, format, body.first(*inflated), stride, true};
}

}  // namespace vantoro
