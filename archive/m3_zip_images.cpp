#include "archive/m3_zip_images.h"

#include <span>
#include <utility>

#include "archive/bottom_up_body.h"
#include "io/byte_reader.h"
#include "io/file_names.h"
#include "archive/offset_table.h"
#include "io/result.h"
#include "pixels/texture_fill.h"
#include "io/zlib_buffers.h"
#include "d3d9/d3d9_formats.h"

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
    if (bytes.size() < kRecordHeaderSize) return fail("record header is cut short");
    RecordHeader header;
    header.info.Width = decodeU16(bytes.data());
    header.info.Height = decodeU16(bytes.data() + 2);
    header.info.PX = decodeI16(bytes.data() + 4);
    header.info.PY = decodeI16(bytes.data() + 6);
    header.payloadSize = decodeI32(bytes.data() + kPayloadSizeAt);
    if (!isAcceptedImageSize(header.info.Width, header.info.Height)) {
        return fail("image size " + std::to_string(header.info.Width) + "x" +
                    std::to_string(header.info.Height) + " is outside 2..4095");
    }
    if (header.payloadSize <= 0) return fail("payload size is not positive");
    return header;
}

// Inflates at most one complete body (stride x Height): a stream that would
// inflate further cannot make us allocate more, and bytes past a complete
// body never count. A stream that inflates to nothing holds no image.
Result<std::vector<std::uint8_t>> inflateBody(std::span<const std::uint8_t> payload,
                                              const TWMImageInfo& info) {
    const std::uint64_t limit = bottomUpBodySize(kBitsPerPixel, info.Width, info.Height);
    auto body = inflateBounded(payload, static_cast<std::size_t>(limit));
    if (!body) return fail("payload is not a valid zlib stream");
    if (body->empty()) return fail("payload inflates to nothing");
    return std::move(*body);
}

BottomUpBody bodyOf(const std::vector<std::uint8_t>& bytes, const TWMImageInfo& info) {
    return BottomUpBody{bytes, info.Width, info.Height, kBitsPerPixel};
}

}  // namespace

TWMM3ZipImages::TWMM3ZipImages() { FReadOnly = true; }

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
    if (!fileExists(FIndexFileName)) return;
    const auto index = FileStream::open(FIndexFileName, FileStream::Mode::ReadOnly);
    if (!index || !index->readExact(m_indexHeader)) return;
    auto offsets = readOffsetTable(*index, kIndexLayout);
    if (!offsets) return;
    FIndexList = std::move(*offsets);
    FImageCount = static_cast<std::int32_t>(FIndexList.size());
}

std::optional<TWMM3ZipImages::Decoded> TWMM3ZipImages::readRecordHere() {
    std::array<std::uint8_t, kRecordHeaderSize> headerBytes{};
    if (!FFileStream || !FFileStream->readExact(headerBytes)) {
        setLastError("record header is cut short");
        return std::nullopt;
    }
    const auto header = parseRecordHeader(headerBytes);
    if (!header) {
        setLastError(header.error());
        return std::nullopt;
    }
    FIs16Bit = true;
    // readBytes checks the size against the file before allocating.
    const auto payload = FFileStream->readBytes(static_cast<std::uint64_t>(header->payloadSize));
    if (!payload) {
        setLastError("payload passes the end of the file");
        return std::nullopt;
    }
    auto body = inflateBody(*payload, header->info);
    if (!body) {
        setLastError(body.error());
        return std::nullopt;
    }
    return Decoded{header->info, std::move(*body)};
}

std::optional<TWMM3ZipImages::Decoded> TWMM3ZipImages::readEntry(std::int32_t index) {
    if (!seekToEntry(index)) return std::nullopt;
    return readRecordHere();
}

std::optional<DibBitmap> TWMM3ZipImages::DoGetBitmap(std::int32_t index, std::uint8_t& dataType) {
    dataType = kDataTypeImage;
    const auto decoded = readEntry(index);
    if (!decoded) return std::nullopt;
    FLastImageInfo = decoded->info;
    auto bitmap = bitmapFromBottomUp(bodyOf(decoded->body, decoded->info));
    if (bitmap) clearLastError();
    return bitmap;
}

bool TWMM3ZipImages::DrawToTexture(std::int32_t index, TDXTexture* texture) {
    if (!texture) {
        setLastError("no texture to draw into");
        return false;
    }
    const auto decoded = readEntry(index);
    if (!decoded) return false;
    FLastImageInfo = decoded->info;
    if (!drawBottomUpBody(bodyOf(decoded->body, decoded->info), *texture)) {
        setLastError("texture cannot take the image");
        return false;
    }
    clearLastError();
    return true;
}

void TWMM3ZipImages::LoadCacheEntry(std::int32_t offset, TTextureCacheEntry& entry) {
    entry.Texture.reset();
    entry.Failed = 1;
    if (!seekExact(offset)) return;
    const auto decoded = readRecordHere();
    if (!decoded) return;
    FLastImageInfo = decoded->info;
    const BottomUpBody body = bodyOf(decoded->body, decoded->info);
    fillCacheEntry(entry, decoded->info,
                   [&](TDXTexture& texture) { return drawBottomUpBody(body, texture); });
}

}  // namespace vantoro
