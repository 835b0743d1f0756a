#include "archive/m3_zip_images.h"

#include <span>
#include <utility>

#include "archive/entry_errors.h"
#include "io/byte_reader.h"
#include "io/file_names.h"
#include "io/zlib_buffers.h"
#include "pixels/pixel_format.h"

namespace vantoro {
namespace {

constexpr OffsetTableLayout kIndexLayout{0, 24, 16};
constexpr std::size_t kRecordHeaderSize = 16;
constexpr std::size_t kPayloadSizeAt = 8;
constexpr int kBitsPerPixel = 16;

struct RecordHeader {
    TWMImageInfo info;
    std::int32_t payloadSize = 0;
};

Result<RecordHeader> parseRecordHeader(std::span<const std::uint8_t> bytes) {
    ByteReader reader(bytes);
    const auto info = readImageInfo(reader);
    const auto payloadSize = fieldsAt(bytes, kPayloadSizeAt).readI32();
    if (!info || !payloadSize) return fail(entry_error::kHeaderCutShort);
    const RecordHeader header{*info, *payloadSize};
    if (!isAcceptedImageSize(header.info.Width, header.info.Height)) {
        return fail(entry_error::imageSize(header.info));
    }
    if (header.payloadSize < 0) {
        return fail("payload size " + std::to_string(header.payloadSize) + " is negative");
    }
    return header;
}

}  // namespace

TWMM3ZipImages::TWMM3ZipImages() {
    FReadOnly = true;
}

bool TWMM3ZipImages::Initialize() {
    if (!TWMBaseImages::Initialize()) return false;
    loadIndex();
    InitTextureCache();
    return true;
}

// A missing or unreadable index leaves the archive open with no entries.
void TWMM3ZipImages::loadIndex() {
    FIndexList.clear();
    FImageCount = 0;
    m_indexHeader.fill(0);
    FIndexFileName = companionFileName(FFileName, ".mix");
    const auto index = fileExists(FIndexFileName)
                           ? FileStream::open(FIndexFileName, FileStream::Mode::ReadOnly)
                           : nullptr;
    if (!index) {
        setLastError("index file " + FIndexFileName + " is missing or cannot be opened");
        return;
    }
    if (!index->readExact(m_indexHeader)) {
        setLastError("index file " + FIndexFileName + " is shorter than its header");
        return;
    }
    auto offsets = readOffsetTable(*index, kIndexLayout);
    if (!offsets) {
        setLastError("index file " + FIndexFileName + ": " + offsets.error());
        return;
    }
    FIndexList = std::move(*offsets);
    FImageCount = static_cast<std::int32_t>(FIndexList.size());
}

Result<DecodedImage> TWMM3ZipImages::decodeEntry(std::int32_t index) {
    const auto offset = seekToEntry(index);
    if (!offset) return offset.failure();
    std::array<std::uint8_t, kRecordHeaderSize> headerBytes{};
    if (!FFileStream->readExact(headerBytes)) return fail(entry_error::kHeaderCutShort);
    const auto header = parseRecordHeader(headerBytes);
    if (!header) return header.failure();
    FIs16Bit = true;
    const TWMImageInfo& info = header->info;
    const auto stride = static_cast<std::size_t>(WidthBytes(kBitsPerPixel, info.Width));
    const std::uint64_t bodySize = bottomUpBodySize(kBitsPerPixel, info.Width, info.Height);

    // Size 0: the record is stored uncompressed, its whole body right after
    // the header, which the file must therefore hold.
    if (header->payloadSize == 0) {
        const auto body = readPayload(bodySize, bodySize);
        if (!body) return fail(entry_error::uncompressedBodyPastEnd(bodySize));
        return DecodedImage{info, DecodedFormat::R5G6B5, *body, stride, true};
    }

    const auto payload =
        readPayload(static_cast<std::uint64_t>(header->payloadSize), usefulStreamBytes(bodySize));
    if (!payload) return payload.failure();

    // Inflates at most one complete body (stride x Height): a stream that
    // would inflate further cannot make us allocate more, and bytes past a
    // complete body never count. A shorter body is kept; the rows it lacks
    // stay transparent.
    const auto body = pixelBuffer(bodySize);
    const auto inflated = inflateInto(*payload, body);
    if (!inflated) return fail(entry_error::kNotZlib);
    if (*inflated == 0) return fail(entry_error::kInflatesToNothing);
    return DecodedImage{info, DecodedFormat::R5G6B5, body.first(*inflated), stride, true};
}

}  // namespace vantoro
