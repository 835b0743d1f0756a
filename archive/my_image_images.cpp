// Opening a pack and reading its entries; the editing operations are in
// archive/my_image_edit.cpp.
#include "archive/my_image_images.h"

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>

#include "archive/entry_errors.h"
#include "archive/pack_rle.h"
#include "io/byte_reader.h"

namespace vantoro {
namespace {

constexpr std::string_view kEditedElsewhere = "another program is editing the pack";

// Offsets below this name no entry a stream can be read from.
constexpr std::int32_t kLowestStreamOffset = 10;

std::vector<std::int32_t> decodeSlots(std::span<const std::uint8_t> bytes) {
    std::vector<std::int32_t> slots;
    slots.reserve(bytes.size() / 4);
    ByteReader reader(bytes);
    while (const auto slot = reader.readI32()) slots.push_back(*slot);
    return slots;
}

bool modeTakes(std::uint8_t mode, std::uint8_t dataType) {
    switch (static_cast<PackStreamMode>(mode)) {
        case PackStreamMode::Any:
            return true;
        case PackStreamMode::Sound:
            return dataType == kDataTypeWav || dataType == kDataTypeMp3;
        case PackStreamMode::Data:
            return dataType == kDataTypeRaw;
        case PackStreamMode::Mp3:
            return dataType == kDataTypeMp3;
        case PackStreamMode::Wav:
            return dataType == kDataTypeWav;
    }
    return false;
}

TWMImageInfo infoOf(const TPackEntryHeader& header) {
    return TWMImageInfo{header.width, header.height, header.x, header.y};
}

}  // namespace

TWMMyImageImages::TWMMyImageImages() {
    FReadOnly = false;
}

bool TWMMyImageImages::Initialize() {
    if (!TWMBaseImages::Initialize()) return false;
    FHeader = TPackHeader{};
    FCipherActive = false;
    FIndexList.clear();
    FImageCount = 0;
    m_indexUsable = false;
    m_diskHeader = {};
    m_readRefusal.clear();
    const bool readable = completeUnfinishedEdit();
    // Header, index and the last entry's header are read in one turn: an
    // edit moving them meanwhile would give an index of neither state.
    auto turn =
        readable ? FFileStream->waitForReading(FileStream::ReadScope::Opening) : std::nullopt;
    if (readable && !turn) refuseRead(std::string(kEditedElsewhere));
    PackHeaderBytes bytes{};
    if (turn && seekExact(0) && FFileStream->readExact(bytes)) {
        m_diskHeader = bytes;
        FHeader = parsePackHeader(bytes);
        FEncrypted = FHeader.isProtected();
        FCipherActive = CheckPackPassword(bytes, FPassword);
        FHeader.offsetSlot = static_cast<std::int32_t>(FHeader.indexOffset());
        readIndex();
    }
    if (m_indexUsable) {
        // Appending goes to the data end; a header whose index offset lies
        // before the end of the last entry must not let it overwrite entries.
        const auto end = computeDataEnd();
        if (end) {
            FHeader.offsetSlot = std::max(FHeader.offsetSlot, *end);
        } else {
            m_indexUsable = false;
        }
    }
    InitTextureCache();
    return true;
}

void TWMMyImageImages::readIndex() {
    if (FHeader.offsetSlot <= 0) {
        // A new or emptied pack has no index and counts 0. Anything else
        // here is a damaged header: it opens empty too, but appending from
        // offset 64 would overwrite the entries it no longer finds.
        m_indexUsable =
            FHeader.indexOffset() == 0 && FHeader.count == 0 && FHeader.protectedCount == 0;
        FHeader.offsetSlot = kPackDataStart;
        return;
    }
    const std::int32_t packedSize = FHeader.packedIndexSize;
    if (packedSize < 0 || packedSize > kMaxPackedIndexSize) {
        setLastError("packed index size " + std::to_string(packedSize) + " is outside 0.." +
                     std::to_string(kMaxPackedIndexSize));
        return;
    }
    if (FCipherActive) FHeader.count = FHeader.protectedCount;
    const std::int32_t count = FHeader.count;
    if (count <= 0) {
        // No slots: nothing can be lost by editing only when no entries can
        // lie before the index either.
        m_indexUsable = FHeader.offsetSlot == kPackDataStart;
        return;
    }
    if (!seekExact(FHeader.offsetSlot)) {
        setLastError("index offset " + std::to_string(FHeader.indexOffset()) + " is out of range");
        return;
    }
    const std::uint64_t slotBytes = 4 * static_cast<std::uint64_t>(count);
    const std::string slotCount = "index count " + std::to_string(count);
    std::vector<std::int32_t> slots;
    if (packedSize == 0) {
        // A sparse file seems to hold any raw index: a count the file holds
        // is held to the cap as well.
        const bool fileHolds = slotBytes <= static_cast<std::uint64_t>(std::max<std::int64_t>(
                                                FFileStream->size() - FHeader.offsetSlot, 0));
        if (fileHolds && count > kMaxPackSlots) {
            setLastError(slotCount + " is outside 0.." + std::to_string(kMaxPackSlots));
            return;
        }
        const auto raw = fileHolds ? FFileStream->readBytes(slotBytes) : std::nullopt;
        if (!raw) {
            setLastError(slotCount + " names more slots than the pack holds");
            return;
        }
        slots = decodeSlots(*raw);
    } else {
        // The count is checked against what the packed bytes can inflate to
        // before the buffer for them is made.
        const std::uint64_t inflatedSize = kPackIndexFillerSize + slotBytes;
        if (inflatedSize > kMaxInflatedSize ||
            inflatedSize > maxInflatedSizeOf(static_cast<std::uint64_t>(packedSize))) {
            setLastError(slotCount + " cannot come from a packed index of " +
                         std::to_string(packedSize) + " bytes");
            return;
        }
        const auto packed = FFileStream->readBytes(static_cast<std::uint64_t>(packedSize));
        if (!packed) {
            setLastError("packed index passes the end of the pack");
            return;
        }
        // One byte more than expected tells a stream that inflates too far.
        const auto inflated = inflateBounded(*packed, inflatedSize + 1);
        if (!inflated || inflated->size() != inflatedSize) {
            setLastError("packed index does not inflate to " + std::to_string(count) + " slots");
            return;
        }
        slots = decodeSlots(std::span(*inflated).subspan(kPackIndexFillerSize));
    }
    FIndexList = std::move(slots);
    FImageCount = count;
    m_indexUsable = true;
}

std::optional<FileStream::ReadTurn> TWMMyImageImages::beginRead() {
    if (!m_readRefusal.empty()) return std::nullopt;
    if (!FFileStream) return FileStream::ReadTurn(nullptr);
    auto turn = FFileStream->waitForReading(FileStream::ReadScope::Entries);
    if (!turn) {
        refuseRead(std::string(kEditedElsewhere));
        return std::nullopt;
    }
    // Every save writes the header with fresh random halves of the index
    // position: a header unlike the one read at opening means the entries
    // may have moved. The editor's own saves update what it compares with.
    PackHeaderBytes onDisk{};
    if (!FFileStream->lockedForEditing() &&
        (!seekExact(0) || !FFileStream->readExact(onDisk) || onDisk != m_diskHeader)) {
        refuseRead("the pack was changed by another program; open it again");
        return std::nullopt;
    }
    return turn;
}

TWMMyImageImages::DiskState TWMMyImageImages::diskState() {
    if (!FFileStream) return DiskState::AsRead;
    if (FFileStream->lockedForEditing()) return DiskState::AsRead;
    if (FFileStream->lockHeldElsewhere()) return DiskState::BeingEdited;
    if (!FFileStream->namedBy(FFileName)) return DiskState::Changed;
    // A journal that was not there at opening: an editor died mid-edit.
    if (editBlock() == PackEditBlock::None && hasJournal(FFileName)) return DiskState::Changed;
    PackHeaderBytes onDisk{};
    if (!seekExact(0) || !FFileStream->readExact(onDisk) || onDisk != m_diskHeader) {
        return DiskState::Changed;
    }
    return DiskState::AsRead;
}

void TWMMyImageImages::refuseRead(std::string reason) {
    m_readRefusal = reason;
    setLastError(std::move(reason));
}

Result<TPackEntryHeader> TWMMyImageImages::readHeaderAt(std::int32_t offset) {
    if (!seekExact(offset)) return fail(entry_error::cannotSeek(offset));
    PackEntryHeaderBytes bytes{};
    if (!FFileStream->readExact(bytes)) return fail("entry header is cut short");
    return UnpackEntryHeader(bytes);
}

Result<std::span<std::uint8_t>> TWMMyImageImages::readEntryData(const TPackEntryHeader& header) {
    if (header.dataLength < 0) {
        return fail("data length " + std::to_string(header.dataLength) + " is negative");
    }
    auto data = readRecordBytes(static_cast<std::uint64_t>(header.dataLength));
    if (!data) return fail("entry data are cut short");
    CipherEntryData(FCipherActive, FPassword, *data, false);
    return data;
}

Result<std::int32_t> TWMMyImageImages::computeDataEnd() {
    for (auto slot = FIndexList.rbegin(); slot != FIndexList.rend(); ++slot) {
        if (*slot <= 0) continue;
        const auto header = readHeaderAt(*slot);
        if (!header) return header.failure();
        const std::int64_t end =
            std::int64_t{*slot} + std::int64_t{kPackEntryHeaderSize} + header->dataLength;
        if (header->dataLength < 0 || end > INT32_MAX) {
            return fail("the last entry ends outside the 32-bit offset range");
        }
        return static_cast<std::int32_t>(end);
    }
    return kPackDataStart;
}

std::int32_t TWMMyImageImages::GetDataEnd() {
    const auto end = computeDataEnd();
    return end ? *end : -1;
}

std::int32_t TWMMyImageImages::FindDataPosition(std::int32_t index) const {
    if (!entryOffset(index)) return dataEnd();
    const auto from = FIndexList.begin() + index;
    const auto found = std::find_if(from, FIndexList.end(), [](std::int32_t s) { return s > 0; });
    return found == FIndexList.end() ? dataEnd() : *found;
}

TPackEntryHeader TWMMyImageImages::ReadEntryHeader(std::int32_t index) {
    const auto offset = entryOffset(index);
    if (!offset || *offset == 0) return {};
    const auto turn = beginRead();
    if (!turn) return {};
    const auto header = readHeaderAt(*offset);
    return header ? *header : TPackEntryHeader{};
}

PackOffsets TWMMyImageImages::GetEntryOffsets(std::int32_t index) {
    const TPackEntryHeader header = ReadEntryHeader(index);
    return {header.x, header.y};
}

std::uint8_t TWMMyImageImages::GetDataType(std::int32_t index) {
    const auto offset = entryOffset(index);
    if (!offset) return kDataTypeImage;
    if (*offset == 0) return kDataTypeEmpty;
    const auto turn = beginRead();
    if (!turn) return kDataTypeImage;
    const auto header = readHeaderAt(*offset);
    return header ? header->dataType : kDataTypeImage;
}

std::optional<std::vector<std::uint8_t>> TWMMyImageImages::GetDataStream(std::int32_t index,
                                                                         std::uint8_t mode) {
    auto stream = readStream(index, mode);
    if (!stream) {
        setLastError("entry " + std::to_string(index) + ": " + stream.error());
        return std::nullopt;
    }
    clearLastError();
    return std::move(*stream);
}

Result<std::vector<std::uint8_t>> TWMMyImageImages::readStream(std::int32_t index,
                                                               std::uint8_t mode) {
    const auto offset = entryOffset(index);
    if (!offset) return fail(entry_error::kOutsideIndex);
    if (*offset < kLowestStreamOffset) return fail("is an empty entry");
    const auto turn = beginRead();
    if (!turn) return fail(m_readRefusal);
    const auto header = readHeaderAt(*offset);
    if (!header) return header.failure();
    if (!modeTakes(mode, header->dataType)) {
        return fail("data type " + std::to_string(header->dataType) + " is not asked for");
    }
    const auto data = readEntryData(*header);
    if (!data) return data.failure();
    FLastImageInfo = infoOf(*header);
    FLastImageFormat = header->pixelFormat;
    if (header->compressed != 1) return std::vector<std::uint8_t>(data->begin(), data->end());
    // Bounded by kMaxPackInflatedSize: a crafted stream cannot exhaust memory.
    std::vector<std::uint8_t> inflated;
    ZDecompressBuf(*data, 0, inflated);
    if (inflated.empty()) return fail("stored stream does not inflate");
    return inflated;
}

std::optional<DibBitmap> TWMMyImageImages::DoGetBitmap(std::int32_t index, std::uint8_t& dataType) {
    m_headerDataType.reset();
    auto bitmap = TWMBaseImages::DoGetBitmap(index, dataType);
    if (m_headerDataType) dataType = *m_headerDataType;
    return bitmap;
}

Result<DecodedImage> TWMMyImageImages::decodeEntry(std::int32_t index) {
    const std::int32_t offset = *entryOffset(index);
    if (offset == 0) {
        m_headerDataType = kDataTypeEmpty;
        return fail("is an empty entry");
    }
    const auto turn = beginRead();
    if (!turn) return fail(m_readRefusal);
    const auto header = readHeaderAt(offset);
    if (!header) return header.failure();
    m_headerDataType = header->dataType;
    if (header->dataType != kDataTypeImage) {
        return fail("holds no image (data type " + std::to_string(header->dataType) + ")");
    }
    if (header->dataLength <= 0) return fail("image has no data");
    const TWMImageInfo info = infoOf(*header);
    if (!isAcceptedImageSize(info.Width, info.Height)) return fail(entry_error::imageSize(info));
    const auto format = packDecodedFormat(header->pixelFormat);
    if (!format) {
        return fail("pixel format " + std::to_string(header->pixelFormat) + " is not 0..3");
    }
    const auto data = readEntryData(*header);
    if (!data) return data.failure();
    FLastImageInfo = info;
    FLastImageFormat = header->pixelFormat;

    const auto bpp = static_cast<std::size_t>(bytesPerPixel(*format));
    const std::size_t rawSize = std::size_t{info.Width} * info.Height * bpp;
    if (header->compressed != 1) {
        if (data->size() < rawSize) return fail(entry_error::kPixelsCutShort);
        return packedRows(info, *format, data->first(rawSize));
    }
    const auto pixels = pixelBuffer(rawSize);
    if (!RleDecode(*data, pixels, bpp, rawSize)) {
        return fail("run-length code does not give " + std::to_string(rawSize) + " bytes");
    }
    return packedRows(info, *format, pixels);
}

}  // namespace vantoro
