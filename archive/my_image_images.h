// The pack (.pak): the program's own archive, and the only one it edits.
//
// A pack is one file: the 64-byte header (archive/pack_header.h), then every
// non-empty entry back to back in index order from offset 64, each a 23-byte
// entry header (archive/pack_entry_header.h) followed by its data, then the
// index at the data end. An entry is an image (width x height pixels in one
// of four pixel formats, top row first, no row padding, optionally
// run-length coded: archive/pack_rle.h), a stored file (data 47, WAV 63,
// MP3 79; optionally one zlib stream), or an empty slot (offset 0: no header,
// no data). Bytes after the index are left over from earlier states and never
// read.
//
// A protected pack (header byte 23 = 1) carries a password check block and
// keeps its slot count at offset 24; in each entry whose stored data are at
// least 128 bytes the first 128 are enciphered (archive/pack_cipher.h). Opened
// without the right password it shows no entries, and it cannot be edited.
//
// Editing works in place. An editing run changes the file through
// AppendEntry, WriteAt, the journaled batch and range operations and the
// index operations below, and ends with one SaveIndex; between an
// append and that SaveIndex the file has no valid index. Every editing
// operation first asks canEdit() and refuses, changing nothing, when the
// pack may not be edited. Offsets in a pack are 32-bit signed: growth that
// would carry the data end past 2^31 - 1 is refused before anything is
// written (ask canGrowBy before moving the file's tail).
//
// Edits survive being interrupted. Every change of the file is one
// journaled edit (io/edit_journal.h) that ends with the index and header
// written: a batch inserted or overwritten, a range removed, a set of
// offsets changed, an index saved. Appends are the exception, written
// without a journal of their own: the first append after a save publishes a
// journal that puts the old index and header back, and the next SaveIndex
// replaces it with its own. Stopped at any moment, the pack reopens with its
// entries as they were before the edit or as they are after it; opening a
// pack with a journal beside it completes the edit first. Each edit holds
// the file's advisory editing lock (appends from the first to the save): a
// second pack object on the same file, in this process or another, is
// refused while it is held, and also afterwards, when the file is no longer
// the one it read, or replaced under its name. Readers take no lock.
//
// A journal beside the pack that is not this pack's (another file's, left
// when its edit was killed and the file replaced) is never applied: opening
// sets it aside, renamed and kept, and opens the pack as the file holds it
// (journalNotice says so). One that cannot be read hides the entries: the
// pack opens with none until setUnusableJournalAside moves it away.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/pack_entry_header.h"
#include "archive/pack_header.h"
#include "io/edit_journal.h"
#include "io/zlib_buffers.h"

namespace vantoro {

// GetDataStream's modes: which stored types it gives.
enum class PackStreamMode : std::uint8_t {
    Any = 0,
    Sound = 1,  // WAV or MP3
    Data = 2,
    Mp3 = 3,
    Wav = 4,
};

// A compressed sound or data entry never inflates past this many bytes: a
// crafted stream cannot exhaust memory. Files larger than this are stored
// uncompressed (the import must not zlib-compress them).
inline constexpr std::size_t kMaxPackInflatedSize = kMaxInflatedSize;

// The most slots a pack's index holds, raw or compressed: as many as a
// compressed index may inflate to. A sparse file can seem to hold any raw
// index, so the count is held to this before the slots are read.
inline constexpr std::int32_t kMaxPackSlots =
    static_cast<std::int32_t>((kMaxInflatedSize - kPackIndexFillerSize) / 4);

// Why a pack may not be edited.
enum class PackEditBlock {
    None,
    NotOpen,              // not initialized, or the file is not open for writing
    PasswordNotVerified,  // protected, and opened without the right password
    IndexUnreadable,      // header or index could not be read: editing would
                          // put a new index over entries it cannot see
    EditedElsewhere,      // another open pack object holds the editing lock
    UnfinishedEdit,       // an interrupted edit could not be completed; the
                          // pack shows its entries as the edit leaves them
};

// One entry's new drawing offsets.
struct PackOffsetsChange {
    std::int32_t index = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
};

struct PackOffsets {
    std::int16_t x = 0;
    std::int16_t y = 0;
};

class TWMMyImageImages : public TWMBaseImages {
public:
    TWMMyImageImages();
    ~TWMMyImageImages() override;

    std::string_view className() const override { return "TWMMyImageImages"; }

    // Opens the file for reading and writing and reads header and index.
    // FCipherActive becomes true when the pack is protected and FPassword
    // passes its check. An index that cannot be read (short, damaged, not
    // inflating to exactly 40 + 4 x count bytes, packed size above 50 MiB)
    // or a protected pack without its password leaves the pack open with no
    // entries; the answer is still true. False only when the base cannot
    // open the file.
    bool Initialize() override;

    // Slot 7: the stored bytes of a sound or data entry (any type with mode
    // Any), inflated when stored compressed. Nothing for an index outside the
    // pack, an empty slot, a type the mode does not take, short data, or a
    // stream that is damaged, inflates to nothing or past
    // kMaxPackInflatedSize. Records the entry's header in FLastImageInfo and
    // FLastImageFormat once its data are read.
    std::optional<std::vector<std::uint8_t>> GetDataStream(std::int32_t index,
                                                           std::uint8_t mode) override;
    // Slot 9: the stored data type; 0 for an empty slot; 31 for an index
    // outside the pack or a header that cannot be read.
    std::uint8_t GetDataType(std::int32_t index) override;
    // Slot 10, the base's, refused unless canEdit().
    void InsertIndex(std::int32_t position, std::int32_t offset) override;
    // Slot 11: writes the index at the data end (zlib level 9 with its 40
    // filler bytes, or raw when that cannot be compressed or would not be
    // read back) and then the header; a protected pack keeps its count at
    // offset 24. Answers 1 when written, 0 when not (refused, or a write
    // failed). An empty list writes a header without index, which reads back
    // as an empty pack; when the header already says so, nothing is written.
    // The file is never truncated.
    std::int32_t SaveIndex() override;

    // ---- Reading the pack itself -------------------------------------------

    // The header's creation time (days since 30 December 1899).
    double CreationTime() const { return FHeader.creationTime; }
    // The data end computed from the index: the end of the last non-empty
    // entry, 64 when there is none. -1 when that entry's header cannot be
    // read or its end lies outside the 32-bit offset range.
    std::int32_t GetDataEnd();
    // The live data end kept while the pack is open (where an append goes).
    std::int32_t dataEnd() const { return FHeader.offsetSlot; }
    // Where entry `index`, or the first non-empty entry after it, begins;
    // the live data end for an index outside the pack or when no non-empty
    // entry follows.
    std::int32_t FindDataPosition(std::int32_t index) const;
    // The entry's header as stored (width and height without their random
    // nibbles); all zero for an index outside the pack, an empty slot or a
    // header that cannot be read. Nothing else is checked.
    TPackEntryHeader ReadEntryHeader(std::int32_t index);
    // The entry's drawing offsets; 0, 0 where ReadEntryHeader gives zeros.
    PackOffsets GetEntryOffsets(std::int32_t index);

    // ---- Editing --------------------------------------------------------------

    // Whether the editing operations below may change this pack, and if not,
    // why: the reason for a refusal message.
    PackEditBlock editBlock() const;
    bool canEdit() const { return editBlock() == PackEditBlock::None; }
    // ---- The edit journal found beside the pack when it opened --------------

    // A journal lay beside the pack that cannot be read: the pack shows no
    // entries and cannot be edited; lastError() says why.
    bool journalDamaged() const { return m_journalDamaged; }
    // Opening left an interrupted edit incomplete (damaged, foreign and not
    // set aside, or not writable). Asked without editBlock's probe of the
    // editing lock, which would hold up another program's edit for a moment.
    bool editUnfinished() const { return m_editUnfinished; }
    // What opening did with a journal of another file; empty when it found
    // none.
    const std::string& journalNotice() const { return m_journalNotice; }
    // Sets a damaged journal (as PACK.journal.damaged) or one of another
    // file (PACK.journal.orphan) aside, renamed and kept, and opens the pack
    // again as the file holds it; answers the journal's new name. Refused
    // while another program edits the pack, for no journal, and for the
    // pack's own journal, which opening completes.
    Result<std::string> setUnusableJournalAside();

    // ---- Reading while another program edits ----------------------------------
    // Each read of the pack (opening, an entry's type, header, data or image)
    // waits for an edit by another program to end (FileStream::ReadWaits).
    // Why reading was refused, empty while it was not: an edit still ran
    // when the wait ended, or one has changed the pack since it was opened
    // (its index no longer fits the file: open the pack again). Refused
    // reads answer as for a damaged entry; the refusal stays until the pack
    // is opened again.
    const std::string& readRefusal() const { return m_readRefusal; }

    // Whether the file under the pack's name is still the pack as this
    // object read it or left it, asked without waiting: another program
    // edits it at this moment (its editing lock, or the journal of an edit
    // it left), or has put another file under the name or saved the pack
    // (the header every save writes anew). This object's own edits change
    // nothing here.
    enum class DiskState : std::uint8_t { AsRead, BeingEdited, Changed };
    DiskState diskState();

    // Whether the data end may move by `bytes` (negative: shrink) and stay
    // inside 64 .. 2^31 - 1, the range a pack's offsets can hold.
    bool canGrowBy(std::int64_t bytes) const;

    // Rewrites the entry's header with new drawing offsets (and fresh random
    // nibbles); the data are not touched. False when refused, for an index
    // outside the pack, an empty slot or an unreadable header.
    bool SetEntryOffsets(std::int32_t index, std::int16_t x, std::int16_t y);
    // The same for many entries as one edit; indexes outside the pack and
    // empty slots are passed over.
    Status setOffsetsOf(std::span<const PackOffsetsChange> changes);

    // ---- Whole steps of an import or delete, each one journaled edit ---------
    // Each checks its arguments, moves the tail, writes, updates the index as
    // the operation of the same name below does, and saves the index. On a
    // failure the list is as the file now holds it (read again when the file
    // had been touched).

    // Insert mode: `bytes` (entries back to back, enciphered where the pack
    // asks for it) go in front of entry `first`; `batch` as for
    // InsertIndexBatch.
    Status insertBatch(std::int32_t first, std::span<const std::uint8_t> bytes,
                       std::span<const std::int32_t> batch);
    // Overwrite mode: entries first .. first + batch.size() - 1 replaced.
    Status overwriteBatch(std::int32_t first, std::span<const std::uint8_t> bytes,
                          std::span<const std::int32_t> batch);
    // Delete: the bytes of entries first .. last cut out of the file, the
    // slots removed or left empty.
    Status removeEntries(std::int32_t first, std::int32_t last, bool removeSlots);
    // Writes `header` and `data` at the data end, over the index (SaveIndex
    // must follow), enciphering a copy of the first 128 data bytes when the
    // cipher is active; the caller's bytes are not changed. Adds the entry's
    // offset to the list. header.dataLength must equal data.size(). False,
    // with the list unchanged, when refused, when the header cannot be
    // stored, when the new data end would pass 2^31 - 1, or when a write fails.
    bool AppendEntry(const TPackEntryHeader& header, std::span<const std::uint8_t> data);
    // Writes `bytes` at `position` (a gap the caller opened). False when
    // refused, for a position inside the header, for bytes that would end
    // past 2^31 - 1, or when the write fails. The bytes go as given: the
    // caller enciphers entry data (CipherEntryData) when FCipherActive.
    bool WriteAt(std::int64_t position, std::span<const std::uint8_t> bytes);
    // After `batchBytes` bytes of new entries (headers and data, back to
    // back) were written into a gap opened at `position`: inserts one slot
    // per batch item before `first` (position + batch[k], or 0 for -1, an
    // empty placeholder), moves every later non-empty slot up by batchBytes
    // and the data end with them. False, with nothing changed, when refused,
    // for `first` outside 0..count, a batch offset outside the inserted bytes,
    // or a data end that would pass 2^31 - 1.
    bool InsertIndexBatch(std::span<const std::int32_t> batch, std::int32_t first,
                          std::int64_t batchBytes, std::int64_t position);
    // After entries first .. first + n - 1 (n = batch size) were replaced by n
    // new entries written at `position`, `delta` being new size - old size of
    // that stretch: the n slots become position + batch[k] (0 for -1), every
    // later non-empty slot and the data end move by delta. The count does not
    // change. False, with nothing changed, when refused, when the n entries
    // are not all in the pack, or when an offset would leave 64 .. 2^31 - 1.
    bool OverwriteIndexBatch(std::span<const std::int32_t> batch, std::int32_t first,
                             std::int64_t delta, std::int64_t position);
    // After `removedBytes` bytes holding entries first .. last were cut out of
    // the file: later non-empty slots and the data end move down by
    // removedBytes; the slots first .. last are removed (removeSlots) or set
    // to 0, empty placeholders that keep the later entries' numbers. False,
    // with nothing changed, when refused, for a range outside the pack or more
    // bytes than the entries occupy.
    bool RemoveIndexRange(std::int32_t first, std::int32_t last, bool removeSlots,
                          std::int64_t removedBytes);

    // ---- Password protection (archive/my_image_protect.cpp) -------------------
    // Each is one journaled edit of the header, the index and the enciphered
    // heads of the entries (the first 128 stored bytes of each entry of 128
    // bytes or more); no entry moves, and an interrupted run leaves the pack
    // as it was or as the change makes it. Afterwards
    // FPassword is the password the pack now opens with. Refused, with
    // nothing changed, where editing is (canEdit), while appends wait for
    // their SaveIndex, and for entries that overlap, lie in the header or
    // pass the data end (enciphering them could not be undone). Only the
    // first 8 bytes of a password count.

    // Makes a plain pack protected under `password` (not empty).
    Status protect(std::string_view password);
    // Re-keys a protected pack opened with its password.
    Status changePassword(std::string_view newPassword);
    // Makes a protected pack opened with its password plain.
    Status unprotect();

    // The header as read; its offset slot holds the live data end.
    TPackHeader FHeader;
    // The pack is protected and FPassword passed its check: entry data are
    // deciphered when read and enciphered when written.
    bool FCipherActive = false;

protected:
    Result<DecodedImage> decodeEntry(std::int32_t index) override;
    // GetBitmap's data type is the entry's own once its header is read: 0 for
    // an empty slot, 47, 63 or 79 for a stored file.
    std::optional<DibBitmap> DoGetBitmap(std::int32_t index, std::uint8_t& dataType) override;

private:
    void readIndex();
    // A turn of the reading gate for one read (see readRefusal); nothing,
    // with the refusal set, when the pack cannot be read as it was opened.
    std::optional<FileStream::ReadTurn> beginRead();
    void refuseRead(std::string reason);
    Result<std::vector<std::uint8_t>> readStream(std::int32_t index, std::uint8_t mode);
    // The header at a non-empty slot's offset.
    Result<TPackEntryHeader> readHeaderAt(std::int32_t offset);
    // The entry's data, read after its header and deciphered in place.
    Result<std::span<std::uint8_t>> readEntryData(const TPackEntryHeader& header);
    Result<std::int32_t> computeDataEnd();
    bool writeExact(std::int64_t position, std::span<const std::uint8_t> bytes);
    Status refusal() const;
    void setCount(std::size_t slots);

    // The in-memory state an edit changes, kept to put back when the edit
    // fails before the file is touched.
    struct MemoryState {
        std::vector<std::int32_t> indexList;
        std::int32_t count = 0;
        TPackHeader header;
    };
    MemoryState memoryState() const { return {FIndexList, FImageCount, FHeader}; }
    void restore(MemoryState state);
    // Completes an edit left by an earlier run; runs while opening. Where it
    // cannot be completed, the stream shows the pack as the edit leaves it,
    // and editing is refused. False when not even that can be shown.
    bool completeUnfinishedEdit();
    // Renames a journal of another file beside the pack; refuses editing
    // where it cannot.
    void setForeignJournalAside(const std::string& reason);
    // The index (at `end`, the new data end) and header writes that make the
    // file match the list, FHeader updated as written; no writes when there
    // is nothing to save.
    Result<std::vector<FileWrite>> indexWrites(std::int32_t end);
    // Carries out a step whose in-memory result is already in place; on a
    // failure puts `before` back, or reads the pack again when the file was
    // touched.
    Status runStep(EditPlan plan, MemoryState before);
    Status moveStep(std::int64_t from, std::int64_t to, std::int64_t oldEnd,
                    std::vector<FileWrite> writes, MemoryState before);
    // Takes the editing lock for an edit of the file (kept from the first
    // append to the save); refuses when another editor holds it or has
    // changed the file since this object read it.
    Status beginEdit();
    void endEdit();
    struct EditScope {
        TWMMyImageImages& pack;
        ~EditScope() { pack.endEdit(); }
    };
    // Why the pack's protection cannot be changed from `protectedNow`.
    Status protectionRefusal(bool protectedNow) const;
    // The entries' enciphered heads under `newPassword` (plain when empty),
    // each entry checked to lie inside 64 .. `end` apart from the others.
    Result<std::vector<FileWrite>> recipheredHeads(std::string_view newPassword, std::int32_t end);
    Status rewriteProtection(std::string_view newPassword);
    // Publishes the journal that undoes appends, before the first one.
    Status guardAppends();
    // completeJournal for this pack, with readers of its entries kept out.
    Status completeJournalWithReadersOut();
    // Closes and opens the file again, completing or undoing an edit left
    // half done.
    void reopen();

    bool m_indexUsable = false;
    bool m_editUnfinished = false;
    bool m_journalDamaged = false;
    std::string m_journalNotice;
    bool m_appendsGuarded = false;  // a journal undoing the appends is published
    // The header as this object last read or wrote it: another editor's save
    // changes its random halves.
    PackHeaderBytes m_diskHeader{};
    // The data type GetBitmap reports, once the decode has read a header.
    std::optional<std::uint8_t> m_headerDataType;
    std::vector<std::uint8_t> m_cipherScratch;
    std::string m_readRefusal;
};

}  // namespace vantoro
