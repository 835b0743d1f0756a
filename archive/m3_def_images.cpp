#include "archive/m3_def_images.h"

#include <algorithm>
#include <cstring>

#include "archive/entry_errors.h"
#include "io/byte_reader.h"
#include "io/file_names.h"

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

// The most payload a width x height image can use: per row its length word
// and, at worst, every pixel a run of its own (code, count and the word).
// Bytes past that only pad codes that give no pixels.
std::uint64_t usefulPayloadBytes(std::uint16_t width, std::uint16_t height) {
    return static_cast<std::uint64_t>(height) * (2u + 6u * static_cast<std::uint64_t>(width));
}

// One row's codes into `row` (width * 2 bytes), every pixel written. Codes and
// counts are read two words at a time, opaque runs copied as they lie: the
// words are little-endian on disk as in the pixels.
Status decodeRow(std::span<const std::uint8_t> codes, std::uint8_t* row, std::uint32_t width) {
    const std::uint8_t* in = codes.data();
    const std::uint8_t* const end = in + codes.size();
    std::uint32_t x = 0;
    while (in != end) {
        if (end - in < 4) return fail("run code without its count");
        const std::uint16_t code = decodeU16(in);
        const std::uint32_t count = decodeU16(in + 2);
        in += 4;
        if (count > width - x) return fail("run passes the row width");
        if (code == kTransparentRun) {
            std::memset(row + 2u * x, 0, 2u * count);
            x += count;
            continue;
        }
        if (code < kFirstOpaqueRun || code > kLastOpaqueRun) {
            return fail("unknown run code " + std::to_string(code));
        }
        if (static_cast<std::size_t>(end - in) < 2u * count) {
            return fail("opaque run passes the end of its row");
        }
        std::memcpy(row + 2u * x, in, 2u * count);
        in += 2u * count;
        x += count;
    }
    std::memset(row + 2u * x, 0, 2u * (width - x));  // past the last run: transparent
    return Status::success();
}

}  // namespace

namespace m3 {

Status decodeRows(std::span<const std::uint8_t> payload, std::uint16_t width, std::uint16_t height,
                  std::span<std::uint8_t> out) {
    // Every pixel of every row is written once: by its run, or as
    // transparent past the row's last run.
    const std::size_t rowBytes = 2u * width;
    ByteReader reader(payload);
    for (std::uint32_t y = 0; y < height; ++y) {
        const auto length = reader.readU16();
        if (!length) return fail("payload ends before row " + std::to_string(y));
        const auto codes = reader.readBytes(2u * *length);
        if (!codes) return fail("row " + std::to_string(y) + " passes the end of the payload");
        const Status row = decodeRow(*codes, out.data() + y * rowBytes, width);
        if (!row) return fail("row " + std::to_string(y) + ": " + row.error());
    }
    return Status::success();
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
    FIsNewVersion = (u32At<kIndexVersionAt>(m_indexHeader) & kNewLayoutMask) == kNewLayoutVersion;
    auto offsets = readOffsetTable(*file, {0, kIndexHeaderSize, kIndexCountAt});
    if (!offsets) {
        setLastError("index file " + FIndexFileName + ": " + offsets.error());
        return false;
    }
    FIndexList = std::move(*offsets);
    return true;
}

std::optional<std::int64_t> TWMM3DefImages::readDataCount() {
    if (!seekExact(0) || !FFileStream->readExact(m_dataHeader)) return std::nullopt;
    return i32At<kDataCountAt>(m_dataHeader);
}

// Bytes of run-coded rows after the header of the record at `offset`. The
// new layout states it in words; the old one does not, so its rows end where
// the next record starts, or at the end of the file for the last one.
Result<std::uint64_t> TWMM3DefImages::payloadBytes(std::int64_t offset,
                                                   std::span<const std::uint8_t> header) const {
    if (FIsNewVersion) {
        const auto words = fieldsAt(header, kPayloadLengthAt).readI32();
        if (!words) return fail(entry_error::kHeaderCutShort);
        if (*words < 0) return fail("payload length is negative");
        return 2 * static_cast<std::uint64_t>(*words);
    }
    std::int64_t end = FFileStream->size();
    const auto next = std::upper_bound(m_recordStarts.begin(), m_recordStarts.end(), offset);
    if (next != m_recordStarts.end()) end = std::min<std::int64_t>(end, *next);
    const std::int64_t start = offset + static_cast<std::int64_t>(kOldHeaderSize);
    if (end <= start) return fail("no room for rows before the next record");
    return static_cast<std::uint64_t>(end - start);
}

Result<DecodedImage> TWMM3DefImages::decodeEntry(std::int32_t index) {
    const auto offset = seekToEntry(index);
    if (!offset) return offset.failure();
    if (*offset == 0) return fail(entry_error::kHoldsNoImage);
    std::array<std::uint8_t, kNewHeaderSize> header{};
    const std::size_t headerSize = FIsNewVersion ? kNewHeaderSize : kOldHeaderSize;
    if (!FFileStream->readExact(std::span(header.data(), headerSize))) {
        return fail(entry_error::kHeaderCutShort);
    }
    ByteReader reader(std::span(header.data(), headerSize));
    const auto read = readImageInfo(reader);
    if (!read) return fail(entry_error::kHeaderCutShort);
    const TWMImageInfo info = *read;
    if (!isAcceptedImageSize(info.Width, info.Height)) return fail(entry_error::imageSize(info));
    const auto size = payloadBytes(*offset, std::span(header.data(), headerSize));
    if (!size) return size.failure();
    const auto payload = readPayload(*size, usefulPayloadBytes(info.Width, info.Height));
    if (!payload) return payload.failure();

    const auto pixels = pixelBuffer(2u * static_cast<std::size_t>(info.Width) * info.Height);
    const Status rows = m3::decodeRows(*payload, info.Width, info.Height, pixels);
    if (!rows) return fail(rows.error());
    return packedRows(info, DecodedFormat::R5G6B5, pixels);
}

}  // namespace vantoro
