// Edits of a file in place that survive being stopped at any moment.
//
// Before the file is touched, the whole edit is written to a journal beside
// it (the file's name + ".journal"): an optional move of a byte range inside
// the file (a pack's tail moving up to open a gap, or down over a cut), the
// bytes to write once the move is done, and the size to cut the file to. The
// journal only ever appears complete: it is written under a temporary name,
// synced, and renamed into place. While the move runs it records in the
// journal how far it has got; the writes and the cut can be repeated without
// harm. Whatever stops the edit (the process killed, a write failing, the disk
// full), carrying out the journal again from its recorded progress ends in
// exactly the edited file. The journal is removed once the edit is complete.
//
// Progress of a move. The move walks in the direction that never overwrites
// bytes not yet moved, in pieces, and records each piece once written. When
// the distance moved is at least a piece, a piece never writes over its own
// source, so the bytes still to move are intact even while a piece is half
// written, and redoing that piece is harmless. A shorter move first copies
// each piece into one of two save areas of the journal (mapped, so the copy
// costs no system call) and records it before writing it; a half-written
// piece is redone from that copy.
//
// The pieces are moved with memmove through a mapping of the bytes the move
// touches (MoveMapping), and with reads and writes where the file cannot be
// mapped or the mapping fails part way.
//
// Only the file it was written for. A journal records what the file was
// when it was published: its size and its first bytes (a pack's header,
// which names its index). Each progress record carries a checksum of the
// last piece moved as it lies at its target (of a sample of its bytes: one
// cache line in every 4 KiB and its end). A journal is carried out or
// shown only for a file it can have left: of that size while the move runs,
// with those first bytes or the ones its writes put there, and with the
// moved bytes in place. Another file under the same name (a backup copied
// over a pack after an edit was killed, say) fails the check: the journal
// is then not applied, and the caller sets it aside. The device and inode
// are not compared: a pack copied elsewhere together with its journal must
// still be completed there, and a copy over the name keeps the inode.
//
// Space. The file is made as long as the edit needs (reserveTo) before the
// journal is written, so a full disk fails before anything changes, and the
// writes that follow only overwrite space already allocated.
//
// Power loss. An edit without a move (an index saved, offsets changed,
// appends undone) syncs its journal before touching the file and the file
// before removing the journal, so it survives a power failure too. A move
// is carried out in the page cache without syncing (that would write the
// whole moved tail to the disk within the edit, several times the cost of
// the move), so for moves the guarantee covers the program stopping, failing
// writes and a full disk.
//
// The journal file's layout and its reading and writing are in
// io/journal_format.h, the move in io/journal_move.h; this file says what a
// journal means for the file beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_view.h"
#include "io/result.h"

namespace vantoro {

// `count` bytes at `from` go to `to`, as memmove would move them.
struct FileMove {
    std::int64_t from = 0;
    std::int64_t to = 0;
    std::int64_t count = 0;
};

struct FileWrite {
    std::int64_t position = 0;
    std::vector<std::uint8_t> bytes;
};

struct EditPlan {
    std::int64_t reserveTo = 0;  // the file is first made at least this long
    std::optional<FileMove> move;
    std::vector<FileWrite> writes;  // in order, after the move
    std::int64_t truncateTo = -1;   // -1: the size stays
};

// What became of a journaled edit.
struct JournaledEdit {
    Status status;
    // Failed after the journal was published and could not be completed: the
    // file is half edited, and the journal beside it completes the edit at
    // the next completeJournal.
    bool pending = false;
};

std::string journalPath(const std::string& file);
// Whether a journal lies beside the file, published or not.
bool hasJournal(const std::string& file);

// Carries out `plan` on `fd`, the file named `path` open for reading and
// writing, with a journal. A failure before the journal is published leaves
// the file's contents as they were; a failure after it is retried once from
// the journal before it is reported as pending.
JournaledEdit runJournaled(int fd, const std::string& path, EditPlan plan,
                           std::size_t pieceBytes = 0);

// The longest piece a move moves at a time, unless a test asks for fewer.
// Where the move reads and writes, a piece this size stays in the
// processor's cache between the read and the write. Measured slower there:
// larger pieces, copying inside the kernel (copy_file_range) in pieces no
// longer than the distance moved, and reading the next piece on a second
// thread while this one is written (twice as slow: the two threads contend
// for the same cached pages of the file).
inline constexpr std::size_t kFileMoveChunk = std::size_t{256} << 10;

// Publishes the journal of `plan` for the file `fd` (named `path`) without
// carrying it out: an edit that is then done without a journal of its own
// (appending entries, say) ends, if interrupted, in the state this plan
// makes (the state before it began).
Status writeJournal(int fd, const std::string& path, EditPlan plan);

// Completes the edit whose journal lies beside `path`, if there is one, and
// removes the journal; also drops a journal that was never published.
// Succeeds without changes when there is none. Fails, changing nothing,
// for a journal that is damaged or belongs to another file (checkJournal
// tells which).
Status completeJournal(int fd, const std::string& path);

// What lies beside a file.
enum class JournalFit : std::uint8_t {
    None,       // no journal (one never published does not count)
    Applies,    // the journal of an edit of this file
    OtherFile,  // a whole journal, but of another file, or of this one in
                // a state it is no longer in
    Damaged,    // one that cannot be read, or does not fit the file it names
};

struct JournalCheck {
    JournalFit fit = JournalFit::None;
    std::string reason;  // why it does not apply
};

// Reads the journal beside `path` and checks it against the open file `fd`,
// changing nothing.
JournalCheck checkJournal(int fd, const std::string& path);

// Renames the journal beside `file` to the first free name of the journal's
// name + `suffix`, "-2", "-3" ... (".orphan", ".orphan-2"), never replacing
// a file; answers the name it now has.
Result<std::string> setJournalAside(const std::string& file, std::string_view suffix);

// The file `fd` (named `path`) as the edit whose journal lies beside it
// leaves it, assembled from the file as it is now and the journal, without
// writing anything: what a reader shows when the edit cannot be completed.
// The file as it is when no journal was published. Fails when the journal
// cannot be read or is damaged.
Result<FileView> editedView(int fd, const std::string& path);

}  // namespace vantoro
