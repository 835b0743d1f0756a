#include "archive/m2_zip_images.h"

#include <algorithm>
#include <span>

#include "archive/bottom_up_body.h"
#include "io/byte_reader.h"
#include "io/file_names.h"
#include "archive/offset_table.h"
#include "pixels/texture_fill.h"
#include "io/zlib_buffers.h"
#include "d3d9/d3d9_formats.h"

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

RecordHeader parseRecordHeader(std::span<const std::uint8_t> bytes) {
    RecordHeader header;
    header.pixelCode = bytes[0];
    header.info = TWMImageInfo{decodeU16(bytes.data() + 4), decodeU16(bytes.data() + 6),
                               decodeI16(bytes.data() + 8), decodeI16(bytes.data() + 10)};
    header.payloadSize = decodeI32(bytes.data() + 12);
    return header;
}

M2ZipIndexHeader parseIndexHeader(std::span<const std::uint8_t> bytes) {
    M2ZipIndexHeader header;
    std::copy_n(bytes.begin(), header.title.size(), header.title.begin());
    header.indexCount = decodeI32(bytes.data() + kIndexLayout.countAt);
    return header;
}

}  // namespace

TWMM2ZipImages::TWMM2ZipImages() { FReadOnly = true; }

bool TWMM2ZipImages::Initialize() {
    if (!TWMBaseImages::Initialize()) return false;
    FIndexFileName = companionFileName(FFileName, ".WZX");
    loadIndex();
    InitTextureCache();
    return true;
}

// A missing or unreadable index leaves the archive open with 0 entries.
void TWMM2ZipImages::loadIndex() {
    FIndexList.clear();
    FImageCount = 0;
    m_indexHeader = M2ZipIndexHeader{};
    const auto file = FileStream::open(FIndexFileName, FileStream::Mode::ReadOnly);
    if (!file) return;
    const auto header = file->readBytes(kIndexLayout.headerSize);
    if (!header) return;
    m_indexHeader = parseIndexHeader(*header);

    auto offsets = readOffsetTable(*file, kIndexLayout);
    if (!offsets) return;
    FIndexList = std::move(*offsets);
    FImageCount = static_cast<std::int32_t>(FIndexList.size());
}

Result<TWMM2ZipImages::Record> TWMM2ZipImages::readRecordHere() {
    const auto bytes = FFileStream->readBytes(kRecordHeaderSize);
    if (!bytes) return fail("image header is cut short");
    const RecordHeader header = parseRecordHeader(*bytes);
    if (!isAcceptedImageSize(header.info.Width, header.info.Height)) {
        return fail(imageSizeError(header.info));
    }
    FIs16Bit = header.pixelCode == kSixteenBitCode;
    const int bits = FIs16Bit ? 16 : 8;
    if (header.payloadSize <= 0) {
        return fail("payload size " + std::to_string(header.payloadSize) + " is not positive");
    }
    // readBytes checks the size against the file before allocating.
    const auto payload = FFileStream->readBytes(static_cast<std::uint64_t>(header.payloadSize));
    if (!payload) return fail("payload is cut short");

    // Never more than a full body is inflated: a stream claiming more cannot
    // exhaust memory, and bytes past the body do not count. A shorter body is
    // kept; the rows it lacks stay transparent.
    auto body = inflateBounded(*payload, bottomUpBodySize(bits, header.info.Width,
                                                          header.info.Height));
    if (!body) return fail("payload is not a valid zlib stream");
    if (body->empty()) return fail("payload inflates to nothing");
    return Record{header.info, bits, std::move(*body)};
}

bool TWMM2ZipImages::DrawToTexture(std::int32_t index, TDXTexture* texture) {
    if (!texture) {
        setLastError("no texture to draw into");
        return false;
    }
    if (!seekToEntry(index)) return false;
    const auto record = readRecordHere();
    if (!record) {
        setLastError(entryError(index, record.error()));
        return false;
    }
    FLastImageInfo = record->info;
    const BottomUpBody body{record->body, record->info.Width, record->info.Height,
                            record->bitsPerPixel};
    if (!drawBottomUpBody(body, *texture)) {
        setLastError(entryError(index, "the texture cannot take the image"));
        return false;
    }
    clearLastError();
    return true;
}

std::optional<DibBitmap> TWMM2ZipImages::DoGetBitmap(std::int32_t index, std::uint8_t& dataType) {
    dataType = kDataTypeImage;
    if (!seekToEntry(index)) return std::nullopt;
    const auto record = readRecordHere();
    if (!record) {
        setLastError(entryError(index, record.error()));
        return std::nullopt;
    }
    FLastImageInfo = record->info;
    auto bitmap = bitmapFromBottomUp(BottomUpBody{record->body, record->info.Width,
                                                  record->info.Height, record->bitsPerPixel});
    if (!bitmap) return std::nullopt;
    if (record->bitsPerPixel == 8) bitmap->colorTable() = FPalette;
    clearLastError();
    return bitmap;
}

void TWMM2ZipImages::LoadCacheEntry(std::int32_t offset, TTextureCacheEntry& entry) {
    entry.Texture.reset();
    entry.Failed = 1;
    if (!seekExact(offset)) {
        setLastError("cannot seek to offset " + std::to_string(offset));
        return;
    }
    const auto record = readRecordHere();
    if (!record) {
        setLastError("offset " + std::to_string(offset) + ": " + record.error());
        return;
    }
    FLastImageInfo = record->info;
    const BottomUpBody body{record->body, record->info.Width, record->info.Height,
                            record->bitsPerPixel};
    if (!fillCacheEntry(entry, record->info,
                        [&](TDXTexture& texture) { return drawBottomUpBody(body, texture); })) {
        setLastError("offset " + std::to_string(offset) + ": no texture for the image");
        return;
    }
    clearLastError();
}

}  // namespace vantoro
