#include "archive/m2_def_images.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "archive/entry_errors.h"
#include "io/byte_reader.h"
#include "io/file_names.h"
#include "pixels/pixel_format.h"

namespace vantoro {
namespace {

constexpr std::size_t kFileHeaderSize = 60;
constexpr std::size_t kImageCountAt = 44;
constexpr std::size_t kColorCountAt = 48;
constexpr std::size_t kVersionFlagAt = 56;
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
    header.imageCount = i32At<kImageCountAt>(bytes);
    header.colorCount = i32At<kColorCountAt>(bytes);
    header.unused = i32At<kColorCountAt + 4>(bytes);
    header.versionFlag = i32At<kVersionFlagAt>(bytes);
    return header;
}

bool startsWithMirOf(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kMirOfPrefix.size()) return false;
    const std::string_view start(reinterpret_cast<const char*>(bytes.data()), kMirOfPrefix.size());
    return equalsIgnoringCase(start, kMirOfPrefix);
}

// The header's title and count; nothing when `bytes` ends before the count.
// The field after the count exists only in the new layout.
std::optional<M2DefIndexHeader> parseIndexHeader(std::span<const std::uint8_t> bytes,
                                                 bool prefixed) {
    M2DefIndexHeader header;
    header.hasMirOfPrefix = prefixed;
    ByteReader reader(bytes);
    const auto title = reader.readBytes(header.title.size());
    const auto count = reader.readI32();
    if (!title || !count) return std::nullopt;
    std::copy(title->begin(), title->end(), header.title.begin());
    header.indexCount = *count;
    header.unused = reader.readI32().value_or(0);
    return header;
}

}  // namespace

TWMM2DefImages::TWMM2DefImages() {
    FReadOnly = true;
}

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

// A missing or unreadable index leaves the archive open with 0 entries, and
// says why: to a user an archive without entries looks like an empty one.
void TWMM2DefImages::loadIndex() {
    FIndexList.clear();
    FImageCount = 0;
    m_indexHeader = M2DefIndexHeader{};
    const auto file = FileStream::open(FIndexFileName, FileStream::Mode::ReadOnly);
    if (!file) {
        setLastError("index file " + FIndexFileName + " is missing or cannot be opened");
        return;
    }

    std::array<std::uint8_t, kMirOfPrefix.size()> prefix{};
    const bool prefixed = file->read(prefix) == prefix.size() && startsWithMirOf(prefix);
    const OffsetTableLayout layout{prefixed ? static_cast<std::int64_t>(kMirOfPrefix.size()) : 0,
                                   FIsNewVersion ? kNewIndexHeaderSize : kOldIndexHeaderSize,
                                   kIndexCountAt};
    file->seek(layout.headerStart);
    const auto bytes = file->readBytes(layout.headerSize);
    const auto header = bytes ? parseIndexHeader(*bytes, prefixed) : std::nullopt;
    if (!header) {
        setLastError("index file " + FIndexFileName + " is shorter than its header");
        return;
    }
    m_indexHeader = *header;

    auto offsets = readOffsetTable(*file, layout);
    if (!offsets) {
        setLastError("index file " + FIndexFileName + ": " + offsets.error());
        return;
    }
    FIndexList = std::move(*offsets);
    FImageCount = static_cast<std::int32_t>(FIndexList.size());
}

Result<DecodedImage> TWMM2DefImages::decodeEntry(std::int32_t index) {
    const auto offset = seekToEntry(index);
    if (!offset) return offset.failure();
    std::array<std::uint8_t, kNewImageHeaderSize> header{};
    const std::size_t headerSize = FIsNewVersion ? kNewImageHeaderSize : kOldImageHeaderSize;
    if (!FFileStream->readExact(std::span(header.data(), headerSize))) {
        return fail(entry_error::kHeaderCutShort);
    }
    ByteReader reader(header);
    const auto read = readImageInfo(reader);
    if (!read) return fail(entry_error::kHeaderCutShort);
    const TWMImageInfo info = *read;
    if (!isAcceptedImageSize(info.Width, info.Height)) return fail(entry_error::imageSize(info));
    const int bits = FIs16Bit ? 16 : 8;
    const auto body = readRecordView(bottomUpBodySize(bits, info.Width, info.Height));
    if (!body) return body.failure();
    return DecodedImage{
        info, FIs16Bit ? DecodedFormat::R5G6B5 : DecodedFormat::Palette8, *body,
        static_cast<std::size_t>(WidthBytes(static_cast<std::uint32_t>(bits), info.Width)), true};
}

}  // namespace vantoro
