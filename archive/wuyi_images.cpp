#include "archive/wuyi_images.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "io/byte_reader.h"
#include "io/result.h"

namespace vantoro {
namespace {

constexpr std::size_t kTableBaseAt = 68;
constexpr std::size_t kEntryCountAt = 76;
// The table starts this far past the base the header gives.
constexpr std::uint64_t kTableBias = 392;
constexpr std::size_t kEntrySize = 24;

WuyiEntry parseEntry(const std::uint8_t* bytes) {
    WuyiEntry entry;
    entry.dataOffset = decodeU32(bytes);
    entry.dataSize = decodeU32(bytes + 4);
    entry.Width = decodeU16(bytes + 8);
    entry.Height = decodeU16(bytes + 10);
    std::copy_n(bytes + 12, entry.reserved.size(), entry.reserved.begin());
    return entry;
}

// The image's pixels, as many bytes as Width x Height words take. The entry's
// data size must cover them (a smaller one is rejected rather than read past)
// and must lie inside the file; bytes past the pixels are not read.
Result<FileBytes> readPixels(FileStream& file, const WuyiEntry& entry) {
    const std::uint64_t needed = static_cast<std::uint64_t>(entry.Width) * entry.Height * 2;
    if (entry.dataSize < needed) return fail("data size is smaller than the image");
    const std::int64_t fileSize = file.size();
    if (fileSize < file.position() ||
        entry.dataSize > static_cast<std::uint64_t>(fileSize - file.position())) {
        return fail("image data passes the end of the file");
    }
    auto pixels = file.readBytes(needed);
    if (!pixels) return fail("image data cannot be read");
    return std::move(*pixels);
}

}  // namespace

TWM521gDefImages::TWM521gDefImages() { FReadOnly = true; }

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
    const std::uint64_t tableAt = decodeU32(m_header.data() + kTableBaseAt) + kTableBias;
    const std::int32_t count = decodeI32(m_header.data() + kEntryCountAt);
    if (count < 0 || !seekExact(static_cast<std::int64_t>(tableAt))) return;
    const auto table = FFileStream->readBytes(kEntrySize * static_cast<std::uint64_t>(count));
    if (!table) return;
    FEntries.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        FEntries.push_back(parseEntry(table->data() + kEntrySize * i));
        FIndexList.push_back(static_cast<std::int32_t>(FEntries.back().dataOffset));
    }
    FImageCount = static_cast<std::int32_t>(FIndexList.size());
}

std::optional<DibBitmap> TWM521gDefImages::DoGetBitmap(std::int32_t index, std::uint8_t& dataType) {
    dataType = kDataTypeImage;
    if (!entryOffset(index) || static_cast<std::size_t>(index) >= FEntries.size()) {
        setLastError("entry " + std::to_string(index) + " is outside the index");
        return std::nullopt;
    }
    const WuyiEntry& entry = FEntries[static_cast<std::size_t>(index)];
    // The offset is taken unsigned from the record: FIndexList holds it as
    // a signed 32-bit value.
    if (!seekExact(entry.dataOffset)) {
        setLastError("cannot seek to offset " + std::to_string(entry.dataOffset));
        return std::nullopt;
    }
    if (!isAcceptedImageSize(entry.Width, entry.Height)) {
        setLastError("image size is outside 2..4095");
        return std::nullopt;
    }
    const auto pixels = readPixels(*FFileStream, entry);
    if (!pixels) {
        setLastError(pixels.error());
        return std::nullopt;
    }
    FLastImageInfo = TWMImageInfo{entry.Width, entry.Height, 0, 0};
    auto bitmap = DibBitmap::create(16, entry.Width, entry.Height);
    if (!bitmap) return std::nullopt;
    const std::size_t rowBytes = static_cast<std::size_t>(entry.Width) * 2;
    for (std::int32_t d = 0; d < entry.Height; ++d) {
        std::memcpy(bitmap->row(d), pixels->data() + static_cast<std::size_t>(d) * rowBytes, rowBytes);
    }
    clearLastError();
    return bitmap;
}

}  // namespace vantoro
