#include "archive/m3_def_images.h"

#include <algorithm>
#include <cstring>

#include "io/byte_reader.h"
#include "io/file_names.h"
#include "archive/offset_table.h"
#include "pixels/pixel_format.h"
#include "pixels/texture_fill.h"
#include "d3d9/d3d9_formats.h"

namespace vantoro {
namespace {

constexpr std::uint32_t kIndexHeaderSize = 28;
constexpr std::uint32_t kIndexCountAt = 20;
constexpr std::size_t kIndexVersionAt = 24;
constexpr std::uint32_t kNewLayoutMask = 0xFFFF0000u;
constexpr std::uint32_t kNewLayoutVersion = 0xB13A0000u;
constexpr std::size_t kDataCountAt = 24;

constexpr std::size_t kNewHeaderSize = 17;
constexpr std::size_t kOldHeaderSize = 13;
constexpr std::size_t kPayloadLengthAt = 13;

constexpr std::uint16_t kTransparentRun = 0xC0;
constexpr std::uint16_t kFirstOpaqueRun = 0xC1;
constexpr std::uint16_t kLastOpaqueRun = 0xC3;

// A row is a length word and at most 0xFFFF code words, so no image of
// `height` rows needs more payload than this.
std::uint64_t largestPayloadBytes(std::uint16_t height) {
    return static_cast<std::uint64_t>(height) * (1u + 0xFFFFu) * 2u;
}

std::string at(std::int64_t offset) {
    return " at offset " + std::to_string(offset);
}

// One row's codes into `row` (width pixels, already zero).
Status decodeRow(std::span<const std::uint8_t> codes, std::uint16_t* row, std::uint16_t width) {
    ByteReader reader(codes);
    std::uint32_t x = 0;
    while (!reader.atEnd()) {
        const auto code = reader.readU16();
        const auto count = reader.readU16();
        if (!code || !count) return fail("run code without its count");
        if (*count > width - x) return fail("run passes the row width");
        if (*code == kTransparentRun) {
            x += *count;
            continue;
        }
        if (*code < kFirstOpaqueRun || *code > kLastOpaqueRun) {
            return fail("unknown run code " + std::to_string(*code));
        }
        const auto words = reader.readBytes(2u * *count);
        if (!words) return fail("opaque run passes the end of its row");
        for (std::uint32_t k = 0; k < *count; ++k) row[x + k] = decodeU16(words->data() + 2 * k);
        x += *count;
    }
    return Status::success();
}

}  // namespace

namespace m3 {

Result<std::vector<std::uint16_t>> decodeRows(std::span<const std::uint8_t> payload,
                                              std::uint16_t width, std::uint16_t height) {
    // Every row starts with its length word: a payload too short for them
    // fails before the image is allocated.
    if (payload.size() / 2 < height) return fail("payload holds fewer words than rows");
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(width) * height, 0);
    ByteReader reader(payload);
    for (std::uint32_t y = 0; y < height; ++y) {
        const auto length = reader.readU16();
        if (!length) return fail("payload ends before row " + std::to_string(y));
        const auto codes = reader.readBytes(2u * *length);
        if (!codes) return fail("row " + std::to_string(y) + " passes the end of the payload");
        const Status row =
            decodeRow(*codes, pixels.data() + static_cast<std::size_t>(y) * width, width);
        if (!row) return fail("row " + std::to_string(y) + ": " + row.error());
    }
    return pixels;
}

}  // namespace m3

TWMM3DefImages::TWMM3DefImages() {
    FReadOnly = true;
}

// The base destructor only runs the base Finalize; the index list is ours.
TWMM3DefImages::~TWMM3DefImages() {
    TWMM3DefImages::Finalize();
}

bool TWMM3DefImages::Initialize() {
    if (!TWMBaseImages::Initialize()) return false;
    FIndexFileName = companionFileName(FFileName, ".WIX");
    if (!loadIndex()) {
        Finalize();
        return false;
    }
    const auto count = readDataCount();
    if (!count) {
        setLastError("the data file is shorter than its 32-byte header");
        Finalize();
        return false;
    }
    if (*count != static_cast<std::int64_t>(FIndexList.size())) {
        Finalize();
        throw ArchiveError(FFileName + " 对应文件数量不一致");
    }
    FImageCount = static_cast<std::int32_t>(*count);
    m_recordStarts.clear();
    for (const std::int32_t offset : FIndexList) {
        if (offset > 0) m_recordStarts.push_back(offset);
    }
    std::sort(m_recordStarts.begin(), m_recordStarts.end());
    m_recordStarts.erase(std::unique(m_recordStarts.begin(), m_recordStarts.end()),
                         m_recordStarts.end());
    InitTextureCache();
    return true;
}

void TWMM3DefImages::Finalize() {
    FIndexList.clear();
    m_recordStarts.clear();
    TWMBaseImages::Finalize();
}

// Reads the index header and the offsets; false when the index file is
// missing, cannot be opened, or is shorter than its count says.
bool TWMM3DefImages::loadIndex() {
    FIndexList.clear();
    const auto file = fileExists(FIndexFileName)
                          ? FileStream::open(FIndexFileName, FileStream::Mode::ReadOnly)
                          : nullptr;
    if (!file) {
        setLastError("index file " + FIndexFileName + " is missing or cannot be opened");
        return false;
    }
    if (file->seek(0) != 0 || !file->readExact(m_indexHeader)) {
        setLastError("index file " + FIndexFileName + " is shorter than its header");
        return false;
    }
    FIsNewVersion =
        (decodeU32(m_indexHeader.data() + kIndexVersionAt) & kNewLayoutMask) == kNewLayoutVersion;
    auto offsets = readOffsetTable(*file, {0, kIndexHeaderSize, kIndexCountAt});
    if (!offsets) {
        setLastError("index file " + FIndexFileName + " does not hold the offsets its count names");
        return false;
    }
    FIndexList = std::move(*offsets);
    return true;
}

std::optional<std::int64_t> TWMM3DefImages::readDataCount() {
    if (!seekExact(0) || !FFileStream->readExact(m_dataHeader)) return std::nullopt;
    return decodeI32(m_dataHeader.data() + kDataCountAt);
}

// Bytes of run-coded rows after the header of the record at `offset`. The
// new layout states it in words; the old one does not, so its rows end where
// the next record starts, or at the end of the file for the last one.
Result<std::uint64_t> TWMM3DefImages::payloadBytes(std::int64_t offset,
                                                   std::span<const std::uint8_t> header,
                                                   std::uint16_t height) const {
    if (FIsNewVersion) {
        const std::int32_t words = decodeI32(header.data() + kPayloadLengthAt);
        if (words < 0) return fail("negative payload length" + at(offset));
        return 2 * static_cast<std::uint64_t>(words);
    }
    std::int64_t end = FFileStream->size();
    const auto next = std::upper_bound(m_recordStarts.begin(), m_recordStarts.end(), offset);
    if (next != m_recordStarts.end()) end = std::min<std::int64_t>(end, *next);
    const std::int64_t start = offset + static_cast<std::int64_t>(kOldHeaderSize);
    if (end <= start) return fail("no room for rows before the next record" + at(offset));
    return std::min(static_cast<std::uint64_t>(end - start), largestPayloadBytes(height));
}

Result<TWMM3DefImages::Decoded> TWMM3DefImages::decodeEntry(std::int32_t index) {
    const auto offset = entryOffset(index);
    if (!offset) return fail("entry " + std::to_string(index) + " is outside the index");
    if (*offset == 0) return fail("entry " + std::to_string(index) + " holds no image");
    if (!seekExact(*offset)) return fail("cannot seek" + at(*offset));

    std::array<std::uint8_t, kNewHeaderSize> header{};
    const std::size_t headerSize = FIsNewVersion ? kNewHeaderSize : kOldHeaderSize;
    if (!FFileStream->readExact(std::span(header.data(), headerSize))) {
        return fail("short image header" + at(*offset));
    }
    Decoded image;
    image.info = TWMImageInfo{decodeU16(header.data()), decodeU16(header.data() + 2),
                              decodeI16(header.data() + 4), decodeI16(header.data() + 6)};
    if (!isAcceptedImageSize(image.info.Width, image.info.Height)) {
        return fail("image size outside 2..4095" + at(*offset));
    }
    const auto size = payloadBytes(*offset, header, image.info.Height);
    if (!size) return fail(size.error());
    const auto payload = FFileStream->readBytes(*size);
    if (!payload) return fail("payload runs past the end of the file" + at(*offset));
    FLastImageInfo = image.info;

    auto pixels = m3::decodeRows(*payload, image.info.Width, image.info.Height);
    if (!pixels) return fail(pixels.error() + at(*offset));
    image.pixels = std::move(*pixels);
    return image;
}

std::optional<DibBitmap> TWMM3DefImages::DoGetBitmap(std::int32_t index, std::uint8_t& dataType) {
    dataType = kDataTypeImage;
    const auto image = decodeEntry(index);
    if (!image) {
        setLastError(image.error());
        return std::nullopt;
    }
    auto bitmap = DibBitmap::create(16, image->info.Width, image->info.Height);
    if (!bitmap) return std::nullopt;
    const std::size_t width = image->info.Width;
    for (std::int32_t r = 0; r < image->info.Height; ++r) {
        std::memcpy(bitmap->row16(r), image->pixels.data() + width * static_cast<std::size_t>(r),
                    width * 2);
    }
    clearLastError();
    return bitmap;
}

// Decodes before touching the texture, so a bad record leaves it as it was.
bool TWMM3DefImages::DrawToTexture(std::int32_t index, TDXTexture* texture) {
    if (!texture) {
        setLastError("no texture to draw into");
        return false;
    }
    const auto image = decodeEntry(index);
    if (!image) {
        setLastError(image.error());
        return false;
    }
    const TWMImageInfo& info = image->info;
    // The decoded rows are whole (transparent runs already hold 0).
    const auto writer = TextureWriter::begin(*texture, D3DFMT_A1R5G5B5, info.Width, info.Height,
                                             TextureClear::PaddingOnly);
    if (!writer) {
        setLastError("the texture cannot take the image");
        return false;
    }
    for (std::int32_t r = 0; r < info.Height; ++r) {
        Convert16To16(image->pixels.data() + static_cast<std::size_t>(info.Width) * r,
                      writer->row16(r), info.Width);
    }
    clearLastError();
    return true;
}

}  // namespace vantoro
