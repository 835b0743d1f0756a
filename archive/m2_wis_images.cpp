#include "archive/m2_wis_images.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "io/byte_reader.h"
#include "archive/offset_table.h"
#include "pixels/pixel_format.h"
#include "io/result.h"
#include "pixels/texture_fill.h"
#include "d3d9/d3d9_formats.h"

namespace vantoro {
namespace {

// The first image record always starts here; the table entry naming it is
// the first entry of the index table.
constexpr std::uint32_t kFirstRecordOffset = 512;
constexpr std::int64_t kTableEntrySize = 12;
constexpr std::size_t kRecordHeaderSize = 12;
// The table is scanned from the end of the file in blocks of this many
// entries, so a long table costs a few reads rather than one per entry.
constexpr std::int64_t kScanBlockEntries = 4096;

constexpr std::int32_t kEncodingRaw8 = 0;
constexpr std::int32_t kEncodingRunLength8 = 1;
constexpr std::int32_t kEncodingRaw16 = 2;
constexpr std::int32_t kEncodingNoImage = 3;

struct TableEntry {
    std::int32_t offset = 0;
    std::int32_t size = 0;
};

// How many entries from the end of the file the table holds: the count up
// to and including the entry whose offset is 512. The scan never reaches
// below the start of the file and never looks at more than kMaxIndexCount
// entries; nothing when it finds no such entry.
std::optional<std::int64_t> findTableLength(FileStream& file, std::int64_t fileSize) {
    const std::int64_t entriesInFile =
        std::min<std::int64_t>(fileSize / kTableEntrySize, kMaxIndexCount);
    for (std::int64_t done = 0; done < entriesInFile;) {
        const std::int64_t count = std::min(kScanBlockEntries, entriesInFile - done);
        const std::int64_t blockStart = fileSize - kTableEntrySize * (done + count);
        if (file.seek(blockStart) != blockStart) return std::nullopt;
        const auto block = file.readBytes(static_cast<std::uint64_t>(kTableEntrySize * count));
        if (!block) return std::nullopt;
        // Last entry of the block first: that is the one nearest the end.
        for (std::int64_t j = count - 1; j >= 0; --j) {
            const std::uint32_t offset = decodeU32(block->data() + kTableEntrySize * j);
            if (offset == kFirstRecordOffset) return done + (count - j);
        }
        done += count;
    }
    return std::nullopt;
}

// The index table in entry order, or nothing when it cannot be found.
std::optional<std::vector<TableEntry>> readTable(FileStream& file) {
    const std::int64_t fileSize = file.size();
    if (fileSize < kTableEntrySize) return std::nullopt;
    const auto length = findTableLength(file, fileSize);
    if (!length) return std::nullopt;
    const std::int64_t tableStart = fileSize - kTableEntrySize * *length;
    if (file.seek(tableStart) != tableStart) return std::nullopt;
    const auto bytes = file.readBytes(static_cast<std::uint64_t>(kTableEntrySize * *length));
    if (!bytes) return std::nullopt;
    std::vector<TableEntry> table(static_cast<std::size_t>(*length));
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::uint8_t* p = bytes->data() + kTableEntrySize * static_cast<std::int64_t>(i);
        table[i] = TableEntry{decodeI32(p), decodeI32(p + 4)};
    }
    return table;
}

using Record = TWMM2WisImages::Record;

TWMImageInfo parseInfo(const std::uint8_t* p) {
    return TWMImageInfo{decodeU16(p), decodeU16(p + 2), decodeI16(p + 4), decodeI16(p + 6)};
}

std::string at(std::int64_t offset) {
    return " at offset " + std::to_string(offset);
}

// Header and payload of the record at `offset`; the payload is exactly
// `payloadSize` bytes following the header.
Result<Record> readRecord(FileStream& file, std::int64_t offset, std::int32_t payloadSize) {
    if (offset < 0 || file.seek(offset) != offset) return fail("cannot seek" + at(offset));
    std::uint8_t header[kRecordHeaderSize];
    if (!file.readExact(header)) return fail("short image header" + at(offset));
    Record record;
    record.encoding = decodeI32(header);
    record.info = parseInfo(header + 4);
    if (!isAcceptedImageSize(record.info.Width, record.info.Height)) {
        return fail("image size outside 2..4095" + at(offset));
    }
    if (payloadSize < 0) return fail("negative payload size" + at(offset));
    auto payload = file.readBytes(static_cast<std::uint64_t>(payloadSize));
    if (!payload) return fail("payload runs past the end of the file" + at(offset));
    record.payload = std::move(*payload);
    return record;
}

// Top-down rows ready to copy: Width * Height pixels of bitsPerPixel.
struct PixelRows {
    int bitsPerPixel = 8;
    const std::uint8_t* bytes = nullptr;
};

std::size_t pixelCountOf(const TWMImageInfo& info) {
    return static_cast<std::size_t>(info.Width) * info.Height;
}

// The rows of a record of encoding 0, 1 or 2; a run-length payload is
// decoded into `scratch`. Raw payloads must hold every pixel.
Result<PixelRows> pixelRowsOf(const Record& record, std::vector<std::uint8_t>& scratch) {
    const std::size_t pixels = pixelCountOf(record.info);
    switch (record.encoding) {
        case kEncodingRaw8:
            if (record.payload.size() < pixels) return fail("raw payload shorter than the image");
            return PixelRows{8, record.payload.data()};
        case kEncodingRunLength8: {
            auto decoded = wis::decodeRunLength(record.payload, pixels);
            if (!decoded) return fail("run-length code does not give exactly the image");
            scratch = std::move(*decoded);
            return PixelRows{8, scratch.data()};
        }
        case kEncodingRaw16:
            if (record.payload.size() / 2 < pixels)
                return fail("raw payload shorter than the image");
            return PixelRows{16, record.payload.data()};
        default:
            return fail("encoding " + std::to_string(record.encoding) + " holds no image");
    }
}

void copyRowsToTexture(const TWMImageInfo& info, const PixelRows& rows,
                       const TextureWriter& texture) {
    const std::size_t rowBytes = static_cast<std::size_t>(info.Width) * (rows.bitsPerPixel / 8);
    std::vector<std::uint16_t> words(rows.bitsPerPixel == 16 ? info.Width : 0);
    for (std::int32_t r = 0; r < info.Height; ++r) {
        const std::uint8_t* src = rows.bytes + rowBytes * static_cast<std::size_t>(r);
        if (rows.bitsPerPixel == 8) {
            Convert8To16(src, texture.row16(r), info.Width);
        } else if (reinterpret_cast<std::uintptr_t>(src) % alignof(std::uint16_t) == 0) {
            Convert16To16(reinterpret_cast<const std::uint16_t*>(src), texture.row16(r), info.Width);
        } else {
            // Staged through an aligned row: the payload is a byte buffer.
            std::memcpy(words.data(), src, rowBytes);
            Convert16To16(words.data(), texture.row16(r), info.Width);
        }
    }
}

std::optional<DibBitmap> makeBitmap(const TWMImageInfo& info, const PixelRows& rows) {
    auto bitmap = DibBitmap::create(rows.bitsPerPixel, info.Width, info.Height);
    if (!bitmap) return std::nullopt;
    const std::size_t rowBytes = static_cast<std::size_t>(info.Width) * (rows.bitsPerPixel / 8);
    for (std::int32_t r = 0; r < info.Height; ++r) {
        std::memcpy(bitmap->row(r), rows.bytes + rowBytes * static_cast<std::size_t>(r), rowBytes);
    }
    return bitmap;
}

}  // namespace

namespace wis {

std::optional<std::vector<std::uint8_t>> decodeRunLength(std::span<const std::uint8_t> input,
                                                         std::size_t pixelCount) {
    // No code gives more than 255 pixels per two bytes: a payload too short
    // for the image fails before the image is allocated.
    if (pixelCount / 255 > input.size() / 2) return std::nullopt;
    std::vector<std::uint8_t> out(pixelCount, 0);
    std::size_t produced = 0;
    ByteReader reader(input);
    while (produced < pixelCount) {
        const auto count = reader.readU8();
        const auto value = reader.readU8();
        if (!count || !value) return std::nullopt;
        if (*count != 0) {
            if (*count > pixelCount - produced) return std::nullopt;
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(produced), *count, *value);
            produced += *count;
            continue;
        }
        const auto literal = reader.readBytes(*value);
        if (!literal || literal->size() > pixelCount - produced) return std::nullopt;
        std::copy(literal->begin(), literal->end(),
                  out.begin() + static_cast<std::ptrdiff_t>(produced));
        produced += literal->size();
    }
    return out;
}

}  // namespace wis

TWMM2WisImages::TWMM2WisImages() {
    FReadOnly = true;
}

bool TWMM2WisImages::Initialize() {
    if (!TWMBaseImages::Initialize()) return false;
    readIndexTable();
    InitTextureCache();
    return true;
}

// A table without its first entry (offset 512) cannot be told apart from
// image data, so such a file opens with no entries.
void TWMM2WisImages::readIndexTable() {
    FIndexList.clear();
    FSizeList.clear();
    FImageCount = 0;
    const auto table = readTable(*FFileStream);
    if (!table) {
        setLastError("no index table ending the file starts with an entry at offset 512");
        return;
    }
    FIndexList.reserve(table->size());
    FSizeList.reserve(table->size());
    for (const TableEntry& entry : *table) {
        FIndexList.push_back(entry.offset);
        FSizeList.push_back(entry.size);
    }
    FImageCount = static_cast<std::int32_t>(FIndexList.size());
}

std::optional<DibBitmap> TWMM2WisImages::DoGetBitmap(std::int32_t index, std::uint8_t& dataType) {
    dataType = kDataTypeImage;
    auto record = loadEntry(index);
    if (!record) return std::nullopt;
    const std::int32_t encoding = record->encoding;
    if (encoding < kEncodingRaw8 || encoding > kEncodingNoImage) {
        throw ArchiveError("not Encrypt code " + std::to_string(encoding));
    }
    std::vector<std::uint8_t> scratch;
    const auto rows = pixelRowsOf(*record, scratch);
    if (!rows) {
        setLastError("entry " + std::to_string(index) + ": " + rows.error());
        return std::nullopt;
    }
    clearLastError();
    return makeBitmap(record->info, *rows);
}

bool TWMM2WisImages::DrawToTexture(std::int32_t index, TDXTexture* texture) {
    if (!texture) {
        setLastError("no texture to draw into");
        return false;
    }
    const auto record = loadEntry(index);
    return record && drawRecord(*record, *texture);
}

void TWMM2WisImages::LoadCacheEntry(std::int32_t offset, TTextureCacheEntry& entry) {
    entry.Texture.reset();
    entry.Failed = 1;
    // The payload size lives in the table beside the record's offset.
    const auto found = std::find(FIndexList.begin(), FIndexList.end(), offset);
    const auto position = static_cast<std::size_t>(found - FIndexList.begin());
    if (found == FIndexList.end() || position >= FSizeList.size()) return;
    const auto record = loadRecord(offset, FSizeList[position]);
    if (!record) return;
    fillCacheEntry(entry, record->info,
                   [&](TDXTexture& texture) { return drawRecord(*record, texture); });
}

Result<TWMM2WisImages::Record> TWMM2WisImages::loadEntry(std::int32_t index) {
    const auto offset = entryOffset(index);
    if (!offset || static_cast<std::size_t>(index) >= FSizeList.size()) {
        setLastError("entry " + std::to_string(index) + " is outside the index");
        return fail(lastError());
    }
    return loadRecord(*offset, FSizeList[static_cast<std::size_t>(index)]);
}

Result<TWMM2WisImages::Record> TWMM2WisImages::loadRecord(std::int64_t offset,
                                                          std::int32_t payloadSize) {
    if (!FFileStream) {
        setLastError("the archive is not open");
        return fail(lastError());
    }
    auto record = readRecord(*FFileStream, offset, payloadSize);
    if (!record) {
        setLastError(record.error());
        return fail(record.error());
    }
    FLastImageInfo = record->info;
    return record;
}

// Decodes before touching the texture, so a bad record leaves it as it was.
bool TWMM2WisImages::drawRecord(const Record& record, TDXTexture& texture) {
    std::vector<std::uint8_t> scratch;
    const auto rows = pixelRowsOf(record, scratch);
    if (!rows) {
        setLastError(rows.error());
        return false;
    }
    const auto writer =
        TextureWriter::begin(texture, D3DFMT_A1R5G5B5, record.info.Width, record.info.Height,
                             TextureClear::PaddingOnly);  // every row is copied whole
    if (!writer) {
        setLastError("the texture cannot take the image");
        return false;
    }
    copyRowsToTexture(record.info, *rows, *writer);
    clearLastError();
    return true;
}

}  // namespace vantoro
