#include "archive/wuyi_images.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "archive/entry_errors.h"
#include "archive/record_fields.h"
#include "io/byte_reader.h"

namespace vantoro {
namespace {

constexpr std::size_t kTableBaseAt = 68;
constexpr std::size_t kEntryCountAt = 76;
// The table starts this far past the base the header gives.
constexpr std::uint64_t kTableBias = 392;
constexpr std::size_t kEntrySize = 24;

// One table record: data offset u32, data size u32, Width u16, Height u16,
// then bytes not interpreted; nothing when the reader holds less.
std::optional<WuyiEntry> readEntry(ByteReader& reader) {
    const auto dataOffset = reader.readU32();
    const auto dataSize = reader.readU32();
    const auto width = reader.readU16();
    const auto height = reader.readU16();
    WuyiEntry entry;
    const auto reserved = reader.readBytes(entry.reserved.size());
    if (!dataOffset || !dataSize || !width || !height || !reserved) return std::nullopt;
    entry.dataOffset = *dataOffset;
    entry.dataSize = *dataSize;
    entry.Width = *width;
    entry.Height = *height;
    std::copy(reserved->begin(), reserved->end(), entry.reserved.begin());
    return entry;
}

// The entry's data size must cover the image's Width x Height words (a
// smaller one is rejected rather than read past) and must lie inside the
// file from `position` on; bytes past the pixels are not read.
Status checkDataSize(const WuyiEntry& entry, std::int64_t position, std::int64_t fileSize) {
    const std::uint64_t needed = static_cast<std::uint64_t>(entry.Width) * entry.Height * 2;
    if (entry.dataSize < needed) return fail("data size is smaller than the image");
    if (fileSize < position || entry.dataSize > static_cast<std::uint64_t>(fileSize - position)) {
        return fail("image data passes the end of the file");
    }
    return Status::success();
}

}  // namespace

TWM521gDefImages::TWM521gDefImages() {
    FReadOnly = true;
}

bool TWM521gDefImages::Initialize() {
    if (!TWMBaseImages::Initialize()) return false;
    loadTable();
    InitTextureCache();
    return true;
}

// A short header or table leaves the archive open with no entries. The
// count is checked against the file size (by readBytes) before any record
// is allocated.
void TWM521gDefImages::loadTable() {
    FIndexList.clear();
    FEntries.clear();
    FImageCount = 0;
    m_header.fill(0);
    if (FFileStream->seek(0) != 0 || !FFileStream->readExact(m_header)) return;
    const std::uint64_t tableAt = u32At<kTableBaseAt>(m_header) + kTableBias;
    const std::int32_t count = i32At<kEntryCountAt>(m_header);
    if (count < 0 || !seekExact(static_cast<std::int64_t>(tableAt))) {
        setLastError("entry count " + std::to_string(count) + " or table offset " +
                     std::to_string(tableAt) + " is out of range");
        return;
    }
    const auto table = FFileStream->readBytes(kEntrySize * static_cast<std::uint64_t>(count));
    if (!table) {
        setLastError("entry count " + std::to_string(count) + " does not fit the file");
        return;
    }
    FEntries.reserve(static_cast<std::size_t>(count));
    ByteReader reader(*table);
    for (std::int32_t i = 0; i < count; ++i) {
        const auto entry = readEntry(reader);
        if (!entry) break;
        FEntries.push_back(*entry);
        FIndexList.push_back(static_cast<std::int32_t>(entry->dataOffset));
    }
    FImageCount = static_cast<std::int32_t>(FIndexList.size());
}

Result<DecodedImage> TWM521gDefImages::decodeEntry(std::int32_t index) {
    const auto slot = static_cast<std::size_t>(index);
    if (slot >= FEntries.size()) return fail(entry_error::kOutsideIndex);
    const WuyiEntry& entry = FEntries[slot];
    // The offset is taken unsigned from the record: FIndexList holds it as
    // a signed 32-bit value.
    if (!seekExact(entry.dataOffset)) return fail(entry_error::cannotSeek(entry.dataOffset));
    const TWMImageInfo info{entry.Width, entry.Height, 0, 0};
    if (!isAcceptedImageSize(info.Width, info.Height)) return fail(entry_error::imageSize(info));
    const Status size = checkDataSize(entry, FFileStream->position(), FFileStream->size());
    if (!size) return fail(size.error());
    const auto pixels = readRecordView(2u * static_cast<std::uint64_t>(info.Width) * info.Height);
    if (!pixels) return pixels.failure();
    return packedRows(info, DecodedFormat::R5G6B5, *pixels);
}

}  // namespace vantoro
