// Editing a pack in place: the entry writes, the index operations and
// SaveIndex. Every operation checks its arguments before it changes anything.
#include <algorithm>
#include <climits>
#include <string>

#include "archive/my_image_images.h"
#include "io/byte_reader.h"

namespace vantoro {
namespace {

constexpr std::int64_t kMaxOffset = INT32_MAX;

bool isPackOffset(std::int64_t offset) {
    return offset >= kPackDataStart && offset <= kMaxOffset;
}

// Whether every non-empty slot from `from` on stays a pack offset when moved
// by delta.
bool canShiftFrom(std::span<const std::int32_t> slots, std::size_t from, std::int64_t delta) {
    return std::all_of(slots.begin() + static_cast<std::ptrdiff_t>(from), slots.end(),
                       [delta](std::int32_t s) { return s <= 0 || isPackOffset(s + delta); });
}

void shiftFrom(std::vector<std::int32_t>& slots, std::size_t from, std::int64_t delta) {
    for (std::size_t i = from; i < slots.size(); ++i) {
        if (slots[i] > 0) slots[i] = static_cast<std::int32_t>(slots[i] + delta);
    }
}

// The slot of a batch item: 0 for a placeholder (-1), else position + item;
// nothing when that is not a pack offset.
std::optional<std::int32_t> batchSlot(std::int32_t item, std::int64_t position) {
    if (item == -1) return 0;
    if (item < 0 || !isPackOffset(position + item)) return std::nullopt;
    return static_cast<std::int32_t>(position + item);
}

std::optional<std::vector<std::int32_t>> batchSlots(std::span<const std::int32_t> batch,
                                                    std::int64_t position) {
    std::vector<std::int32_t> slots;
    slots.reserve(batch.size());
    for (const std::int32_t item : batch) {
        const auto slot = batchSlot(item, position);
        if (!slot) return std::nullopt;
        slots.push_back(*slot);
    }
    return slots;
}

}  // namespace

PackEditBlock TWMMyImageImages::editBlock() const {
    if (!FInitialized || !FFileStream || FReadOnly) return PackEditBlock::NotOpen;
    if (FHeader.isProtected() && !FCipherActive) return PackEditBlock::PasswordNotVerified;
    if (FFileStream->lockHeldElsewhere()) return PackEditBlock::EditedElsewhere;
    if (m_editUnfinished) return PackEditBlock::UnfinishedEdit;
    // Opened read-only: the file could not be opened for writing.
    if (!FFileStream->writable()) return PackEditBlock::NotOpen;
    if (!m_indexUsable) return PackEditBlock::IndexUnreadable;
    return PackEditBlock::None;
}

Status TWMMyImageImages::refusal() const {
    switch (editBlock()) {
        case PackEditBlock::None:
            return Status::success();
        case PackEditBlock::NotOpen:
            return fail("the pack is not open for writing");
        case PackEditBlock::PasswordNotVerified:
            return fail("the pack is protected and was opened without its password");
        case PackEditBlock::IndexUnreadable:
            return fail("the pack's index could not be read");
        case PackEditBlock::EditedElsewhere:
            return fail("another program is editing the pack");
        case PackEditBlock::UnfinishedEdit:
            return fail("an interrupted edit of the pack could not be completed");
    }
    return fail("the pack cannot be edited");
}

bool TWMMyImageImages::canGrowBy(std::int64_t bytes) const {
    return isPackOffset(std::int64_t{dataEnd()} + bytes);
}

void TWMMyImageImages::setCount(std::size_t slots) {
    FImageCount = static_cast<std::int32_t>(slots);
    FHeader.count = FImageCount;
}

bool TWMMyImageImages::writeExact(std::int64_t position, std::span<const std::uint8_t> bytes) {
    return seekExact(position) && FFileStream->write(bytes) == bytes.size();
}

void TWMMyImageImages::InsertIndex(std::int32_t position, std::int32_t offset) {
    if (const Status refused = refusal(); !refused) {
        setLastError(refused.error());
        return;
    }
    TWMBaseImages::InsertIndex(position, offset);
}

bool TWMMyImageImages::AppendEntry(const TPackEntryHeader& header,
                                   std::span<const std::uint8_t> data) {
    if (const Status refused = beginEdit(); !refused) {
        setLastError(refused.error());
        return false;
    }
    const EditScope scope{*this};
    const auto size = static_cast<std::int64_t>(data.size());
    if (header.dataLength != size) {
        setLastError("the entry header's data length is not the data's");
        return false;
    }
    if (!canGrowBy(std::int64_t{kPackEntryHeaderSize} + size)) {
        setLastError("the pack would pass the 32-bit offset range");
        return false;
    }
    const auto bytes = PackEntryHeader(header, RandomSource::program());
    if (!bytes) {
        setLastError(bytes.error());
        return false;
    }
    if (Status guarded = guardAppends(); !guarded) {
        setLastError(guarded.error());
        return false;
    }
    const std::int32_t at = dataEnd();
    // The caller's bytes stay plain: the enciphered head goes from a copy.
    const std::size_t head =
        FCipherActive && data.size() >= kPackCipheredBytes ? kPackCipheredBytes : 0;
    m_cipherScratch.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(head));
    CipherEntryData(FCipherActive, FPassword, m_cipherScratch, true);
    if (!writeExact(at, *bytes) || FFileStream->write(m_cipherScratch) != head ||
        FFileStream->write(data.subspan(head)) != data.size() - head) {
        // Undo the run's appends with the journal guarding them.
        reopen();
        setLastError("cannot write the entry; the pack is as it was before the appends");
        return false;
    }
    FIndexList.push_back(at);
    ++FImageCount;
    FHeader.offsetSlot = static_cast<std::int32_t>(at + kPackEntryHeaderSize + size);
    return true;
}

bool TWMMyImageImages::WriteAt(std::int64_t position, std::span<const std::uint8_t> bytes) {
    if (!canEdit() || position < kPackDataStart) return false;
    if (position + static_cast<std::int64_t>(bytes.size()) > kMaxOffset) return false;
    return writeExact(position, bytes);
}

bool TWMMyImageImages::InsertIndexBatch(std::span<const std::int32_t> batch, std::int32_t first,
                                        std::int64_t batchBytes, std::int64_t position) {
    if (!canEdit() || first < 0 || static_cast<std::size_t>(first) > FIndexList.size()) {
        return false;
    }
    if (batchBytes < 0 || !canGrowBy(batchBytes) || !isPackOffset(position)) return false;
    const auto slots = batchSlots(batch, position);
    if (!slots || !std::all_of(batch.begin(), batch.end(),
                               [batchBytes](std::int32_t b) { return b < batchBytes; })) {
        return false;
    }
    if (!canShiftFrom(FIndexList, static_cast<std::size_t>(first), batchBytes)) return false;
    FIndexList.insert(FIndexList.begin() + first, slots->begin(), slots->end());
    shiftFrom(FIndexList, static_cast<std::size_t>(first) + slots->size(), batchBytes);
    setCount(FIndexList.size());
    FHeader.offsetSlot = static_cast<std::int32_t>(dataEnd() + batchBytes);
    return true;
}

bool TWMMyImageImages::OverwriteIndexBatch(std::span<const std::int32_t> batch, std::int32_t first,
                                           std::int64_t delta, std::int64_t position) {
    if (!canEdit() || first < 0) return false;
    const auto from = static_cast<std::size_t>(first);
    if (batch.size() > FIndexList.size() || from > FIndexList.size() - batch.size()) return false;
    if (!canGrowBy(delta) || !isPackOffset(position)) return false;
    const auto slots = batchSlots(batch, position);
    if (!slots || !canShiftFrom(FIndexList, from + batch.size(), delta)) return false;
    std::copy(slots->begin(), slots->end(), FIndexList.begin() + first);
    shiftFrom(FIndexList, from + batch.size(), delta);
    FHeader.offsetSlot = static_cast<std::int32_t>(dataEnd() + delta);
    return true;
}

bool TWMMyImageImages::RemoveIndexRange(std::int32_t first, std::int32_t last, bool removeSlots,
                                        std::int64_t removedBytes) {
    if (!canEdit() || first < 0 || last < first) return false;
    if (static_cast<std::size_t>(last) >= FIndexList.size()) return false;
    if (removedBytes < 0 || !canGrowBy(-removedBytes)) return false;
    const auto after = static_cast<std::size_t>(last) + 1;
    if (!canShiftFrom(FIndexList, after, -removedBytes)) return false;
    shiftFrom(FIndexList, after, -removedBytes);
    FHeader.offsetSlot = static_cast<std::int32_t>(dataEnd() - removedBytes);
    const auto begin = FIndexList.begin() + first;
    const auto end = FIndexList.begin() + static_cast<std::ptrdiff_t>(after);
    if (removeSlots) {
        FIndexList.erase(begin, end);
    } else {
        std::fill(begin, end, 0);
    }
    setCount(FIndexList.size());
    return true;
}

}  // namespace vantoro
