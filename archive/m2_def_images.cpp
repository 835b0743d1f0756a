#include "archive/m2_def_images.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "archive/bottom_up_body.h"
#include "io/byte_reader.h"
#include "io/file_names.h"
#include "archive/offset_table.h"
#include "pixels/texture_fill.h"
#include "d3d9/d3d9_formats.h"

namespace vantoro {
namespace {

constexpr std::size_t kFileHeaderSize = 60;
constexpr std::int32_t kSixteenBitColorCount = 0x10000;
constexpr std::string_view kMirOfPrefix = "MirOf";
constexpr std::uint32_t kOldIndexHeaderSize = 48;
constexpr std::uint32_t kNewIndexHeaderSize = 52;
constexpr std::uint32_t kIndexCountAt = 44;
constexpr std::size_t kOldImageHeaderSize = 8;
constexpr std::size_t kNewImageHeaderSize = 12;

// `bytes` holds the first bytes of the data file, zero-padded to 60: a file
// shorter than its header reads as if the missing fields were 0.
M2DefFileHeader parseFileHeader(const std::array<std::uint8_t, kFileHeaderSize>& bytes) {
    M2DefFileHeader header;
    std::copy_n(bytes.begin(), header.title.size(), header.title.begin());
    header.imageCount = decodeI32(bytes.data() + 44);
    header.colorCount = decodeI32(bytes.data() + 48);
    header.unused = decodeI32(bytes.data() + 52);
    header.versionFlag = decodeI32(bytes.data() + 56);
    return header;
}

bool startsWithMirOf(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kMirOfPrefix.size()) return false;
    const std::string_view start(reinterpret_cast<const char*>(bytes.data()), kMirOfPrefix.size());
    return equalsIgnoringCase(start, kMirOfPrefix);
}

M2DefIndexHeader parseIndexHeader(std::span<const std::uint8_t> bytes, bool prefixed) {
    M2DefIndexHeader header;
    header.hasMirOfPrefix = prefixed;
    std::copy_n(bytes.begin(), header.title.size(), header.title.begin());
    header.indexCount = decodeI32(bytes.data() + kIndexCountAt);
    if (bytes.size() >= kNewIndexHeaderSize) header.unused = decodeI32(bytes.data() + 48);
    return header;
}

TWMImageInfo parseImageInfo(std::span<const std::uint8_t> bytes) {
    return TWMImageInfo{decodeU16(bytes.data()), decodeU16(bytes.data() + 2),
                        decodeI16(bytes.data() + 4), decodeI16(bytes.data() + 6)};
}

}  // namespace

TWMM2DefImages::TWMM2DefImages() { FReadOnly = true; }

bool TWMM2DefImages::Initialize() {
    if (!TWMBaseImages::Initialize()) return false;
    std::array<std::uint8_t, kFileHeaderSize> bytes{};
    FFileStream->seek(0);
    FFileStream->read(bytes);
    m_fileHeader = parseFileHeader(bytes);
    FIs16Bit = m_fileHeader.colorCount == kSixteenBitColorCount;
    FIsNewVersion = m_fileHeader.versionFlag != 0;
    FImageCount = m_fileHeader.imageCount;

    FIndexFileName = companionFileName(FFileName, ".WIX");
    loadIndex();
    InitTextureCache();
    return true;
}

// A missing or unreadable index leaves the archive open with 0 entries.
void TWMM2DefImages::loadIndex() {
    FIndexList.clear();
    FImageCount = 0;
    m_indexHeader = M2DefIndexHeader{};
    const auto file = FileStream::open(FIndexFileName, FileStream::Mode::ReadOnly);
    if (!file) return;

    std::array<std::uint8_t, kMirOfPrefix.size()> prefix{};
    const bool prefixed = file->read(prefix) == prefix.size() && startsWithMirOf(prefix);
    const OffsetTableLayout layout{prefixed ? static_cast<std::int64_t>(kMirOfPrefix.size()) : 0,
                                   FIsNewVersion ? kNewIndexHeaderSize : kOldIndexHeaderSize,
                                   kIndexCountAt};
    file->seek(layout.headerStart);
    const auto header = file->readBytes(layout.headerSize);
    if (!header) return;
    m_indexHeader = parseIndexHeader(*header, prefixed);

    auto offsets = readOffsetTable(*file, layout);
    if (!offsets) return;
    FIndexList = std::move(*offsets);
    FImageCount = static_cast<std::int32_t>(FIndexList.size());
}

Result<TWMM2DefImages::Record> TWMM2DefImages::readRecordHere() {
    const auto header = FFileStream->readBytes(FIsNewVersion ? kNewImageHeaderSize
                                                             : kOldImageHeaderSize);
    if (!header) return fail("image header is cut short");
    const TWMImageInfo info = parseImageInfo(*header);
    if (!isAcceptedImageSize(info.Width, info.Height)) return fail(imageSizeError(info));
    // readBytes checks the size against the file before allocating.
    auto body = FFileStream->readBytes(bottomUpBodySize(bitsPerPixel(), info.Width, info.Height));
    if (!body) return fail("image pixels are cut short");
    return Record{info, std::move(*body)};
}

bool TWMM2DefImages::DrawToTexture(std::int32_t index, TDXTexture* texture) {
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
    const BottomUpBody body{record->body, record->info.Width, record->info.Height, bitsPerPixel()};
    if (!drawBottomUpBody(body, *texture)) {
        setLastError(entryError(index, "the texture cannot take the image"));
        return false;
    }
    clearLastError();
    return true;
}

std::optional<DibBitmap> TWMM2DefImages::DoGetBitmap(std::int32_t index, std::uint8_t& dataType) {
    dataType = kDataTypeImage;
    if (!seekToEntry(index)) return std::nullopt;
    const auto record = readRecordHere();
    if (!record) {
        setLastError(entryError(index, record.error()));
        return std::nullopt;
    }
    FLastImageInfo = record->info;
    auto bitmap = bitmapFromBottomUp(
        BottomUpBody{record->body, record->info.Width, record->info.Height, bitsPerPixel()});
    if (!bitmap) return std::nullopt;
    if (!FIs16Bit) bitmap->colorTable() = FPalette;
    clearLastError();
    return bitmap;
}

void TWMM2DefImages::LoadCacheEntry(std::int32_t offset, TTextureCacheEntry& entry) {
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
    const BottomUpBody body{record->body, record->info.Width, record->info.Height, bitsPerPixel()};
    if (!fillCacheEntry(entry, record->info,
                        [&](TDXTexture& texture) { return drawBottomUpBody(body, texture); })) {
        setLastError("offset " + std::to_string(offset) + ": no texture for the image");
        return;
    }
    clearLastError();
}

}  // namespace vantoro
