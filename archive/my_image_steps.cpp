// Journaled edits of a pack. Each step works out the whole edit before the
// file is touched (the move of the tail, the bytes to write, the new index
// and header) and carries it out through an edit journal, so that an edit
// stopped at any moment is completed when the pack is next opened.
#include <algorithm>
#include <climits>
#include <string>

#include "archive/my_image_images.h"
#include "archive/pack_cipher.h"
#include "io/byte_reader.h"

namespace vantoro {
namespace {

constexpr const char* kReadersKeepReading =
    "other programs kept reading the pack for 10 seconds; it was not changed";

// The index as stored: 40 zero filler bytes, then the slots.
std::vector<std::uint8_t> indexBytes(std::span<const std::int32_t> slots) {
    std::vector<std::uint8_t> bytes(kPackIndexFillerSize + 4 * slots.size(), 0);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        encodeU32(&bytes[kPackIndexFillerSize + 4 * i], static_cast<std::uint32_t>(slots[i]));
    }
    return bytes;
}

// Where the last write ends: the size the file needs.
std::int64_t endOfWrites(const std::vector<FileWrite>& writes) {
    std::int64_t end = 0;
    for (const FileWrite& w : writes) {
        end = std::max(end, w.position + static_cast<std::int64_t>(w.bytes.size()));
    }
    return end;
}

}  // namespace

TWMMyImageImages::~TWMMyImageImages() {
    // Appends never saved are undone rather than left to the next opening.
    if (m_appendsGuarded && FFileStream) {
        (void)completeJournalWithReadersOut();
    }
}

bool TWMMyImageImages::completeUnfinishedEdit() {
    m_editUnfinished = false;
    m_appendsGuarded = false;
    m_journalDamaged = false;
    m_journalNotice.clear();
    if (FReadOnly || !hasJournal(FFileName)) return true;
    // While another editor holds the lock the journal is its own, still at work.
    if (!FFileStream->tryLockForEditing()) return true;
    const JournalCheck check = checkJournal(FFileStream->descriptor(), FFileName);
    if (check.fit == JournalFit::Damaged) {
        // Neither the file nor the journal can say which entries are whole.
        FFileStream->unlockForEditing();
        m_editUnfinished = true;
        m_journalDamaged = true;
        setLastError(journalPath(FFileName) + ": " + check.reason);
        return false;
    }
    if (check.fit == JournalFit::OtherFile) {
        setForeignJournalAside(check.reason);
        FFileStream->unlockForEditing();
        return true;
    }
    const Status completed = FFileStream->writable() ? completeJournalWithReadersOut()
                                                     : fail("the pack cannot be written");
    if (completed) {
        FFileStream->unlockForEditing();
        return true;
    }
    m_editUnfinished = true;
    std::string reason =
        "an interrupted edit of " + FFileName + " could not be completed: " + completed.error();
    auto view = editedView(FFileStream->descriptor(), FFileName);
    FFileStream->unlockForEditing();
    if (!view) {
        setLastError(reason + "; " + view.error());
        return false;
    }
    FFileStream->showView(std::move(*view));
    setLastError(reason + "; the entries are shown as the edit leaves them");
    return true;
}

void TWMMyImageImages::setForeignJournalAside(const std::string& reason) {
    const Result<std::string> moved = vantoro::setJournalAside(FFileName, ".orphan");
    if (moved) {
        m_journalNotice =
            reason + "; it was set aside as " + *moved + " and the pack opens as the file holds it";
        return;
    }
    // A journal left there would be replaced by the next edit's own.
    m_editUnfinished = true;
    m_journalNotice = reason + "; it could not be set aside (" + moved.error() +
                      "), so the pack opens as the file holds it and cannot be edited";
}

Result<std::string> TWMMyImageImages::setUnusableJournalAside() {
    if (!FInitialized || !FFileStream) return fail("the pack is not open");
    if (!FFileStream->tryLockForEditing()) return fail("another program is editing the pack");
    const JournalCheck check = checkJournal(FFileStream->descriptor(), FFileName);
    Result<std::string> moved = fail("no edit journal lies beside the pack");
    if (check.fit == JournalFit::Applies) {
        moved = fail("the edit journal beside the pack is its own: opening the pack completes it");
    } else if (check.fit != JournalFit::None) {
        moved = vantoro::setJournalAside(FFileName,
                                         check.fit == JournalFit::Damaged ? ".damaged" : ".orphan");
    }
    FFileStream->unlockForEditing();
    if (moved) reopen();
    return moved;
}

Status TWMMyImageImages::beginEdit() {
    if (Status refused = refusal(); !refused) return refused;
    if (FFileStream->lockedForEditing()) return Status::success();
    if (!FFileStream->tryLockForEditing()) return fail("another program is editing the pack");
    // A new pack made under the name (or a copy moved there) is not the file
    // this object read; editing the one it holds would change a file that
    // no longer has a name.
    if (!FFileStream->namedBy(FFileName)) {
        FFileStream->unlockForEditing();
        return fail("the pack was replaced by another program since it was opened; open it again");
    }
    // An editor that died left its journal: the file is no longer as read.
    const bool journal = hasJournal(FFileName);
    if (journal) (void)completeJournalWithReadersOut();
    PackHeaderBytes onDisk{};
    if (journal || !seekExact(0) || !FFileStream->readExact(onDisk) || onDisk != m_diskHeader) {
        FFileStream->unlockForEditing();
        return fail("the pack was changed by another program since it was opened; open it again");
    }
    return Status::success();
}

void TWMMyImageImages::endEdit() {
    if (!m_appendsGuarded && FFileStream) FFileStream->unlockForEditing();
}

Status TWMMyImageImages::completeJournalWithReadersOut() {
    // The journal moves bytes that readers of the entries may be reading.
    // When they do not leave within the bounded wait the edit is completed
    // all the same: leaving it half done would serve them worse.
    const bool readersOut = FFileStream->closeToReaders();
    Status completed = completeJournal(FFileStream->descriptor(), FFileName);
    if (readersOut) FFileStream->openToReaders();
    return completed;
}

void TWMMyImageImages::reopen() {
    m_appendsGuarded = false;  // the opening completes the journal
    Finalize();
    Initialize();
}

void TWMMyImageImages::restore(MemoryState state) {
    FIndexList = std::move(state.indexList);
    FImageCount = state.count;
    FHeader = state.header;
}

Result<std::vector<FileWrite>> TWMMyImageImages::indexWrites(std::int32_t end) {
    setCount(FIndexList.size());
    std::copy(kPackSignature.begin() + 4, kPackSignature.end(), FHeader.signature.begin() + 4);
    FHeader.offsetSlot = end;
    std::vector<FileWrite> writes;
    std::uint32_t indexOffset = 0;  // no index: the pack reads back empty
    if (FIndexList.empty()) {
        if (FHeader.indexOffset() == 0) return writes;  // the header already says so
        FHeader.packedIndexSize = 0;
    } else {
        if (FIndexList.size() > static_cast<std::size_t>(kMaxPackSlots)) {
            return fail("the index would hold more than " + std::to_string(kMaxPackSlots) +
                        " slots");
        }
        std::vector<std::uint8_t> index = indexBytes(FIndexList);
        std::vector<std::uint8_t> packed;
        // The reader takes a compressed index only up to these sizes.
        if (index.size() <= kMaxInflatedSize) ZCompressBuf(index, 9, packed);
        const bool compressed = !packed.empty() && packed.size() <= kMaxPackedIndexSize;
        FHeader.packedIndexSize = compressed ? static_cast<std::int32_t>(packed.size()) : 0;
        if (!compressed) {
            index.erase(index.begin(),
                        index.begin() + static_cast<std::ptrdiff_t>(kPackIndexFillerSize));
        }
        writes.push_back({end, compressed ? std::move(packed) : std::move(index)});
        indexOffset = static_cast<std::uint32_t>(end);
    }
    FHeader.setIndexOffset(indexOffset, RandomSource::program());
    FHeader.offsetSlot = 0;
    if (FCipherActive) {
        FHeader.protectedCount = FHeader.count;
        FHeader.count = 0;
    }
    const PackHeaderBytes header = serializePackHeader(FHeader);
    writes.push_back({0, std::vector<std::uint8_t>(header.begin(), header.end())});
    FHeader.offsetSlot = end;
    return writes;
}

Status TWMMyImageImages::runStep(EditPlan plan, MemoryState before) {
    plan.reserveTo = std::max(plan.reserveTo, endOfWrites(plan.writes));
    std::optional<PackHeaderBytes> header;
    for (const FileWrite& w : plan.writes) {
        if (w.position == 0 && w.bytes.size() == kPackHeaderSize) {
            header.emplace();
            std::copy(w.bytes.begin(), w.bytes.end(), header->begin());
        }
    }
    if (!FFileStream->closeToReaders()) {
        restore(std::move(before));
        return fail(kReadersKeepReading);
    }
    const JournaledEdit edit = runJournaled(FFileStream->descriptor(), FFileName, std::move(plan));
    FFileStream->openToReaders();
    if (edit.status) {
        m_appendsGuarded = false;
        if (header) m_diskHeader = *header;
        return Status::success();
    }
    if (edit.pending || m_appendsGuarded) {
        // The opening completes the edit, or undoes the appends.
        reopen();
    } else {
        restore(std::move(before));
    }
    return edit.status;
}

std::int32_t TWMMyImageImages::SaveIndex() {
    if (const Status refused = beginEdit(); !refused) {
        setLastError(refused.error());
        return 0;
    }
    const EditScope scope{*this};
    const MemoryState before = memoryState();
    const auto end = computeDataEnd();
    if (!end) {
        setLastError("cannot save the index: " + end.error());
        return 0;
    }
    auto writes = indexWrites(*end);
    if (!writes || writes->empty()) return 0;
    EditPlan plan;
    plan.writes = std::move(*writes);
    if (Status s = runStep(std::move(plan), before); !s) {
        setLastError("cannot save the index: " + s.error());
        return 0;
    }
    return 1;
}

Status TWMMyImageImages::moveStep(std::int64_t from, std::int64_t to, std::int64_t oldEnd,
                                  std::vector<FileWrite> writes, MemoryState before) {
    const std::int64_t size = FFileStream->size();
    if (size < oldEnd) {
        restore(std::move(before));
        return fail(FFileName + " ends at " + std::to_string(size) + ", before the data end " +
                    std::to_string(oldEnd));
    }
    auto commit = indexWrites(dataEnd());
    if (!commit) {
        restore(std::move(before));
        return Error{commit.error()};
    }
    writes.insert(writes.end(), commit->begin(), commit->end());
    EditPlan plan;
    plan.move = FileMove{from, to, oldEnd - from};
    plan.writes = std::move(writes);
    // A cut shrinks the file by the bytes cut, as far as the new index allows.
    if (to < from) plan.truncateTo = std::max(size - (from - to), endOfWrites(plan.writes));
    return runStep(std::move(plan), std::move(before));
}

Status TWMMyImageImages::insertBatch(std::int32_t first, std::span<const std::uint8_t> bytes,
                                     std::span<const std::int32_t> batch) {
    if (Status refused = beginEdit(); !refused) return refused;
    const EditScope scope{*this};
    const std::int32_t at = FindDataPosition(first);
    const std::int32_t oldEnd = dataEnd();
    const auto length = static_cast<std::int64_t>(bytes.size());
    MemoryState before = memoryState();
    if (at < kPackDataStart || !InsertIndexBatch(batch, first, length, at)) {
        return fail("the batch does not fit the pack's index at entry " + std::to_string(first));
    }
    std::vector<FileWrite> writes;
    writes.push_back({at, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    return moveStep(at, at + length, oldEnd, std::move(writes), std::move(before));
}

Status TWMMyImageImages::overwriteBatch(std::int32_t first, std::span<const std::uint8_t> bytes,
                                        std::span<const std::int32_t> batch) {
    if (Status refused = beginEdit(); !refused) return refused;
    const EditScope scope{*this};
    const std::int32_t at = FindDataPosition(first);
    const std::int32_t stop = FindDataPosition(first + static_cast<std::int32_t>(batch.size()));
    const std::int32_t oldEnd = dataEnd();
    const auto length = static_cast<std::int64_t>(bytes.size());
    const std::int64_t delta = length - (std::int64_t{stop} - at);
    MemoryState before = memoryState();
    if (at < kPackDataStart || stop < at || !OverwriteIndexBatch(batch, first, delta, at)) {
        return fail("the batch does not fit the pack's index at entry " + std::to_string(first));
    }
    std::vector<FileWrite> writes;
    writes.push_back({at, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    return moveStep(stop, at + length, oldEnd, std::move(writes), std::move(before));
}

Status TWMMyImageImages::removeEntries(std::int32_t first, std::int32_t last, bool removeSlots) {
    if (Status refused = beginEdit(); !refused) return refused;
    const EditScope scope{*this};
    const std::int32_t start = FindDataPosition(first);
    const std::int32_t stop = FindDataPosition(last + 1);
    const std::int32_t oldEnd = dataEnd();
    MemoryState before = memoryState();
    if (start < kPackDataStart || stop < start) {
        return fail("the pack's index is out of order at " + std::to_string(start));
    }
    if (!RemoveIndexRange(first, last, removeSlots, std::int64_t{stop} - start)) {
        return fail("the index of " + FFileName + " does not fit the bytes cut");
    }
    return moveStep(stop, start, oldEnd, {}, std::move(before));
}

Status TWMMyImageImages::setOffsetsOf(std::span<const PackOffsetsChange> changes) {
    if (Status refused = beginEdit(); !refused) return refused;
    const EditScope scope{*this};
    EditPlan plan;
    for (const PackOffsetsChange& change : changes) {
        const auto offset = entryOffset(change.index);
        if (!offset || *offset == 0) continue;
        auto header = readHeaderAt(*offset);
        if (!header) continue;
        header->x = change.x;
        header->y = change.y;
        const auto bytes = PackEntryHeader(*header, RandomSource::program());
        if (!bytes) continue;
        plan.writes.push_back({*offset, std::vector<std::uint8_t>(bytes->begin(), bytes->end())});
    }
    if (plan.writes.empty()) return Status::success();
    return runStep(std::move(plan), memoryState());
}

bool TWMMyImageImages::SetEntryOffsets(std::int32_t index, std::int16_t x, std::int16_t y) {
    if (!canEdit()) return false;
    const auto offset = entryOffset(index);
    if (!offset || *offset == 0 || !readHeaderAt(*offset)) return false;
    const PackOffsetsChange change{index, x, y};
    const Status s = setOffsetsOf(std::span(&change, 1));
    if (!s) setLastError(s.error());
    return s.ok();
}

Status TWMMyImageImages::guardAppends() {
    if (m_appendsGuarded) return Status::success();
    // The header and index as on disk, put back if the appends are cut short.
    PackHeaderBytes header{};
    if (!seekExact(0) || !FFileStream->readExact(header))
        return fail("cannot read the pack header");
    const TPackHeader onDisk = parsePackHeader(header);
    const std::int64_t size = FFileStream->size();
    EditPlan plan;
    plan.truncateTo = size;
    const std::int64_t at = onDisk.indexOffset();
    if (at >= kPackDataStart && at < size) {
        const std::int64_t slots =
            std::max(onDisk.isProtected() ? onDisk.protectedCount : onDisk.count, 0);
        const std::int64_t stored =
            std::min(onDisk.packedIndexSize > 0 ? std::int64_t{onDisk.packedIndexSize} : 4 * slots,
                     size - at);
        const auto index = seekExact(at)
                               ? FFileStream->readBytes(static_cast<std::uint64_t>(stored))
                               : std::nullopt;
        if (!index) return fail("cannot read the pack's index");
        plan.writes.push_back({at, std::vector<std::uint8_t>(index->begin(), index->end())});
    }
    plan.writes.push_back({0, std::vector<std::uint8_t>(header.begin(), header.end())});
    if (Status s = writeJournal(FFileStream->descriptor(), FFileName, std::move(plan)); !s) {
        return s;
    }
    m_appendsGuarded = true;
    return Status::success();
}

}  // namespace vantoro
