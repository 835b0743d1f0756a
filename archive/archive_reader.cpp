#include "archive/archive_reader.h"

#include <algorithm>
#include <new>

#include "archive/entry_errors.h"
#include "io/file_names.h"
#include "pixels/pixel_format.h"

namespace vantoro {

TWMBaseImages::TWMBaseImages() : FLastCacheCheck(tickCount()) {}

// The subclass destructors have run by now, so this is the base Finalize;
// a subclass whose Finalize does more calls it from its own destructor.
TWMBaseImages::~TWMBaseImages() {
    TWMBaseImages::Finalize();
}

bool TWMBaseImages::Initialize() {
    if (FFileName.empty() || FInitialized || FFileStream || !fileExists(FFileName)) return false;
    FFileStream = FileStream::open(
        FFileName, FReadOnly ? FileStream::Mode::ReadOnly : FileStream::Mode::ReadWrite);
    // A file that cannot be written (read-only media, no permission) is
    // still shown; editing then refuses it.
    if (!FFileStream && !FReadOnly)
        FFileStream = FileStream::open(FFileName, FileStream::Mode::ReadOnly);
    if (!FFileStream) return false;
    FInitialized = true;
    FreeTextureCache();
    return true;
}

void TWMBaseImages::Finalize() {
    FInitialized = false;
    FreeTextureCache();
    FFileStream.reset();
}

std::optional<std::vector<std::uint8_t>> TWMBaseImages::GetDataStream(std::int32_t /*index*/,
                                                                      std::uint8_t /*mode*/) {
    return std::nullopt;
}

bool TWMBaseImages::DrawToTexture(std::int32_t index, TDXTexture* texture) {
    if (!abilities().drawToTexture) {
        setLastError(entry_error::kCannotDraw);
        return false;
    }
    if (!texture) {
        setLastError(entry_error::kNoTexture);
        return false;
    }
    const auto image = decodeChecked(index);
    if (!image) return false;
    if (!drawDecodedImage(*image, *texture)) {
        setLastError(entry_error::about(index, entry_error::kTextureRefused));
        return false;
    }
    return !fileShrankWhileRead(index);
}

std::uint8_t TWMBaseImages::GetDataType(std::int32_t /*index*/) {
    return kDataTypeImage;
}

void TWMBaseImages::InsertIndex(std::int32_t position, std::int32_t offset) {
    if (FReadOnly || !FInitialized) return;
    if (position > static_cast<std::int64_t>(FIndexList.size())) return;
    if (position < -1) return;  // only -1 means "append"
    if (position == -1) {
        FIndexList.push_back(offset);
    } else {
        FIndexList.insert(FIndexList.begin() + position, offset);
    }
    ++FImageCount;
}

std::optional<DibBitmap> TWMBaseImages::DoGetBitmap(std::int32_t index, std::uint8_t& dataType) {
    dataType = kDataTypeImage;
    const auto image = decodeChecked(index);
    if (!image) {
        if (image.namedError()) throw ArchiveError(image.error());
        return std::nullopt;
    }
    auto bitmap = bitmapOfDecodedImage(*image, FPalette);
    if (fileShrankWhileRead(index)) return std::nullopt;
    return bitmap;
}

Result<DecodedImage> TWMBaseImages::decodeEntry(std::int32_t /*index*/) {
    return fail(entry_error::kHoldsNoImage);
}

Result<DecodedImage> TWMBaseImages::decodeChecked(std::int32_t index) {
    if (!entryOffset(index)) {
        setLastError("entry " + std::to_string(index) + " " + entry_error::kOutsideIndex);
        return fail(lastError());
    }
    if (!FFileStream) {
        setLastError(entry_error::kNotOpen);
        return fail(lastError());
    }
    Result<DecodedImage> image = fail(entry_error::kNoMemory);
    try {
        image = decodeEntry(index);
    } catch (const std::bad_alloc&) {
        // Sizes are checked before anything is allocated; what still fails
        // is the machine running out, told in our own words.
    }
    if (fileShrankWhileRead(index)) return fail(lastError());
    if (!image) {
        // A named failure keeps its own words: they are shown as they stand.
        setLastError(image.namedError() ? image.error() : entry_error::about(index, image.error()));
        return image;
    }
    FLastImageInfo = image->info;
    clearLastError();
    return image;
}

bool TWMBaseImages::fileShrankWhileRead(std::int32_t index) {
    if (!FFileStream || !FFileStream->takeMappingDamage()) return false;
    setLastError(entry_error::about(index, entry_error::kFileShrank));
    return true;
}

std::optional<DibBitmap> TWMBaseImages::GetBitmap(std::int32_t index, std::uint8_t& dataType) {
    return DoGetBitmap(index, dataType);
}

std::optional<DibBitmap> TWMBaseImages::GetBitmap(std::int32_t index) {
    std::uint8_t dataType = 0;
    return DoGetBitmap(index, dataType);
}

std::optional<std::int32_t> TWMBaseImages::entryOffset(std::int32_t index) const {
    if (index < 0 || index >= FImageCount) return std::nullopt;
    if (static_cast<std::size_t>(index) >= FIndexList.size()) return std::nullopt;
    return FIndexList[static_cast<std::size_t>(index)];
}

bool TWMBaseImages::seekExact(std::int64_t offset) {
    return FFileStream && offset >= 0 && FFileStream->seek(offset) == offset;
}

Result<std::int32_t> TWMBaseImages::seekToEntry(std::int32_t index) {
    const auto offset = entryOffset(index);
    if (!offset) return fail(entry_error::kOutsideIndex);
    if (!seekExact(*offset)) return fail(entry_error::cannotSeek(*offset));
    return *offset;
}

std::optional<std::int32_t> TWMBaseImages::firstEntryAt(std::int32_t offset) const {
    const auto limit = std::min<std::size_t>(FIndexList.size(),
                                             static_cast<std::size_t>(std::max(FImageCount, 0)));
    const auto end = FIndexList.begin() + static_cast<std::ptrdiff_t>(limit);
    const auto found = std::find(FIndexList.begin(), end, offset);
    if (found == end) return std::nullopt;
    return static_cast<std::int32_t>(found - FIndexList.begin());
}

Result<std::span<std::uint8_t>> TWMBaseImages::readRecordBytes(std::uint64_t count) {
    if (!FFileStream || !FFileStream->readInto(m_recordBuffer, count)) {
        return fail(entry_error::kPixelsCutShort);
    }
    return std::span<std::uint8_t>(m_recordBuffer);
}

Result<std::span<const std::uint8_t>> TWMBaseImages::readRecordView(std::uint64_t count) {
    if (!FFileStream) return fail(entry_error::kPixelsCutShort);
    const auto bytes = FFileStream->readView(m_recordBuffer, count);
    if (!bytes) return fail(entry_error::kPixelsCutShort);
    return *bytes;
}

Result<std::span<const std::uint8_t>> TWMBaseImages::readPayload(std::uint64_t declared,
                                                                 std::uint64_t useful) {
    const std::int64_t fileSize = FFileStream ? FFileStream->size() : -1;
    const std::int64_t position = FFileStream ? FFileStream->position() : 0;
    if (fileSize < position || declared > static_cast<std::uint64_t>(fileSize - position)) {
        return fail(entry_error::kPixelsCutShort);
    }
    return readRecordView(std::min(declared, useful));
}

std::span<std::uint8_t> TWMBaseImages::pixelBuffer(std::size_t size) {
    m_pixelBuffer.resize(size);
    return m_pixelBuffer;
}

}  // namespace vantoro
