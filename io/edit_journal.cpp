#include "io/edit_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

#include "io/file_writes.h"
#include "io/journal_format.h"
#include "io/journal_move.h"

namespace vantoro {
namespace {

using namespace journal;

// How many journals set aside one pack keeps beside it (".orphan",
// ".orphan-2", ...) before setting another aside fails.
constexpr int kMostJournalsSetAside = 100;

// A journal of ours names only bytes of the file as it is: the space an edit
// needs is made before its journal is published, and the cut comes last,
// once the move is done. One that reaches past the file's end, or would
// lengthen the file, is not what it claims to be.
Status checkFitsFile(const Journal& j, std::int64_t size) {
    const std::optional<FileMove>& move = j.plan.move;
    bool fits = j.plan.truncateTo <= size;
    if (move && j.progress.done < move->count) {
        fits = fits && std::max(move->from, move->to) <= size - move->count;
    }
    for (const FileWrite& w : j.plan.writes) {
        fits = fits && w.position <= size - static_cast<std::int64_t>(w.bytes.size());
    }
    if (!fits) return fail("the edit journal does not fit the file");
    return Status::success();
}

// Whether the file's head (its first bytes, `size` long now) is as the edit
// found it or as one of its writes in order leaves it. Writes come after
// the move, so while the move runs the head is the one it found.
Status checkHead(int fd, const Journal& j, std::int64_t size) {
    const std::int64_t kept = j.identity.headLength;
    // A move through the head leaves nothing there to compare (never a
    // pack's: its moves start after the header).
    if (moves(j.plan) && std::min(j.plan.move->from, j.plan.move->to) < kept) {
        return Status::success();
    }
    const auto length = static_cast<std::size_t>(std::min(kept, size));
    std::array<std::uint8_t, kIdentityHeadBytes> now{};
    if (Status s = readFully(fd, std::span(now.data(), length), 0); !s) return s;
    std::array<std::uint8_t, kIdentityHeadBytes> head = j.identity.head;
    const auto matches = [&] {
        return std::equal(now.begin(), now.begin() + length, head.begin());
    };
    if (matches()) return Status::success();
    for (const FileWrite& w : j.plan.writes) {
        if (w.position >= kept) continue;
        const auto count = static_cast<std::size_t>(
            std::min(static_cast<std::int64_t>(w.bytes.size()), kept - w.position));
        std::copy_n(w.bytes.begin(), count, head.begin() + w.position);
        if (matches()) return Status::success();
    }
    return fail("its first bytes are not those its edit began with or writes");
}

// Whether the file is one the journal's edit can have reached: while the
// move runs the file keeps the size the journal was published with (the
// space was made before), and its head is as the edit found it or as its
// writes leave it.
Status checkIdentity(int fd, const Journal& j, std::int64_t size) {
    if (moves(j.plan) && j.progress.done < j.plan.move->count && size != j.identity.size) {
        return fail("it is " + std::to_string(size) + " bytes long, not the " +
                    std::to_string(j.identity.size) + " its edit began with");
    }
    return checkHead(fd, j, size);
}

// Whether the last piece the journal records as moved lies at its target:
// a copy of the file from before the edit (a backup restored under its
// name) has the same head and size, but not the moved bytes.
Status checkLastPiece(int fd, const Journal& j) {
    if (!moves(j.plan) || j.progress.done == 0) return Status::success();
    const std::int64_t start = (j.progress.done - 1) / j.pieceBytes * j.pieceBytes;
    const Piece piece = pieceAt(*j.plan.move, start, j.pieceBytes);
    const std::int64_t end = piece.target + piece.length;
    // Bytes the writes or the cut change after the move cannot be compared
    // (never a pack's: its writes and cut lie outside the moved range).
    const bool changedLater =
        (j.plan.truncateTo >= 0 && j.plan.truncateTo < end) ||
        std::any_of(j.plan.writes.begin(), j.plan.writes.end(), [&](const FileWrite& w) {
            return w.position < end &&
                   piece.target < w.position + static_cast<std::int64_t>(w.bytes.size());
        });
    if (changedLater) return Status::success();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(piece.length));
    if (!readFully(fd, bytes, piece.target) || pieceCrcOf(bytes) != j.progress.pieceCrc) {
        return fail("the bytes its edit has moved are not in the file");
    }
    return Status::success();
}

// The journal `journal`, read and checked against the file `fd`; `fit` says
// what it is.
Result<Journal> readMatching(int journal, int fd, JournalFit& fit) {
    fit = JournalFit::Damaged;
    Result<Journal> j = readJournal(journal);
    if (!j) return j;
    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail("cannot measure the file the journal edits");
    const auto otherFile = [&fit](const Status& s) {
        fit = JournalFit::OtherFile;
        return fail("the edit journal belongs to another file: " + s.error());
    };
    if (Status s = checkIdentity(fd, *j, info.st_size); !s) return otherFile(s);
    if (Status s = checkFitsFile(*j, info.st_size); !s) return Error{s.error()};
    if (Status s = checkLastPiece(fd, *j); !s) return otherFile(s);
    fit = JournalFit::Applies;
    return j;
}

}  // namespace

std::string journalPath(const std::string& file) {
    return file + ".journal";
}

bool hasJournal(const std::string& file) {
    struct stat info {};
    return ::lstat(journalPath(file).c_str(), &info) == 0 ||
           ::lstat(pendingPath(file).c_str(), &info) == 0;
}

Status writeJournal(int fd, const std::string& path, EditPlan plan) {
    Journal j = journalOf(std::move(plan), 0, false);
    Result<FileIdentity> identity = identityOf(fd);
    if (!identity) return Error{identity.error()};
    j.identity = *identity;
    const Result<int> journal = publish(path, j);
    if (!journal) return Error{journal.error()};
    ::close(*journal);
    return Status::success();
}

JournaledEdit runJournaled(int fd, const std::string& path, EditPlan plan, std::size_t pieceBytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return {fail("cannot measure " + path)};
    const std::int64_t reserveTo = plan.reserveTo;
    if (Status s = reserveFile(fd, reserveTo); !s) return {Error{s.error()}};
    std::unique_ptr<MoveMapping> mapping = plan.move ? mapMove(fd, *plan.move, 0) : nullptr;
    Journal j = journalOf(std::move(plan), pieceBytes, mapping != nullptr);
    Result<FileIdentity> identity = identityOf(fd);
    const Result<int> published =
        identity ? (j.identity = *identity, publish(path, j)) : Result<int>(identity.failure());
    if (!published) {
        mapping.reset();
        // Give back the space reserved for the edit that does not happen.
        if (info.st_size < reserveTo) (void)truncateFile(fd, info.st_size);
        return {Error{published.error()}};
    }
    const OpenJournal journal(*published);
    Status s = carryOut(fd, journal.fd(), j, std::move(mapping));
    if (s) {
        ::unlink(journalPath(path).c_str());
        return {};
    }
    // One more try from what the journal recorded, as the next opening would.
    if (completeJournal(fd, path)) return {};
    return {Error{s.error()}, true};
}

Status completeJournal(int fd, const std::string& path) {
    ::unlink(pendingPath(path).c_str());
    const int raw = ::open(journalPath(path).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (raw < 0) {
        if (errno == ENOENT) return Status::success();
        return fail("cannot open the edit journal: " + std::string(std::strerror(errno)));
    }
    const OpenJournal journal(raw);
    JournalFit fit = JournalFit::None;
    Result<Journal> j = readMatching(journal.fd(), fd, fit);
    if (!j) return Error{j.error()};
    if (Status s = carryOut(fd, journal.fd(), *j); !s) return s;
    ::unlink(journalPath(path).c_str());
    return Status::success();
}

Result<FileView> editedView(int fd, const std::string& path) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail("cannot measure " + path);
    FileView view(info.st_size);
    const int raw =
        ::open(journalPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (raw < 0) {
        if (errno == ENOENT) return view;
        return fail("cannot open the edit journal: " + std::string(std::strerror(errno)));
    }
    const OpenJournal journal(raw);
    JournalFit fit = JournalFit::None;
    const Result<Journal> j = readMatching(journal.fd(), fd, fit);
    if (!j) return Error{j.error()};
    if (moves(j->plan)) {
        if (Status s = showMove(view, journal.fd(), *j); !s) return Error{s.error()};
    }
    for (const FileWrite& w : j->plan.writes) view.showBytes(w.position, w.bytes);
    if (j->plan.truncateTo >= 0) view.cut(j->plan.truncateTo);
    return view;
}

JournalCheck checkJournal(int fd, const std::string& path) {
    const int raw =
        ::open(journalPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (raw < 0) {
        if (errno == ENOENT) return {JournalFit::None, {}};
        return {JournalFit::Damaged,
                "cannot open the edit journal: " + std::string(std::strerror(errno))};
    }
    const OpenJournal journal(raw);
    JournalFit fit = JournalFit::None;
    const Result<Journal> j = readMatching(journal.fd(), fd, fit);
    return {fit, j.error()};
}

Result<std::string> setJournalAside(const std::string& file, std::string_view suffix) {
    const std::string from = journalPath(file);
    // The first free name: a journal set aside earlier is never replaced.
    for (int n = 1; n <= kMostJournalsSetAside; ++n) {
        std::string to = from + std::string(suffix);
        if (n > 1) to.append(1, '-').append(std::to_string(n));
        if (const int fault = fileFault(FileOp::Rename, -1, 0, 0); fault != 0) {
            return fail("cannot rename " + from + ": " + std::strerror(fault));
        }
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
            return to;
        }
        int code = errno;
        if (code == EEXIST) continue;
        if (code == EINVAL || code == ENOSYS) {
            // A file system that cannot rename without replacing: look first.
            struct stat info {};
            if (::lstat(to.c_str(), &info) == 0) continue;
            if (::rename(from.c_str(), to.c_str()) == 0) return to;
            code = errno;
        }
        return fail("cannot rename " + from + " to " + to + ": " + std::strerror(code));
    }
    return fail("cannot set " + from + " aside: every name for it is taken");
}

}  // namespace vantoro
