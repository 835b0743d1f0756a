#include "io/journal_move.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "io/file_writes.h"

namespace vantoro::journal {
namespace {

// The shortest piece a mapped move cuts its pieces down to, as a share of a
// whole piece.
constexpr std::int64_t kShortestPieceShare = 16;

// Moves pieces from `j.progress` on as memmove through `mapping`, for as
// long as it serves; what is left of the move then goes on with reads and
// writes.
Status moveMapped(MoveMapping& mapping, int fd, int journal, Journal& j, ProgressLog& log,
                  std::int32_t& nextArea) {
    const FileMove& move = *j.plan.move;
    Progress& p = j.progress;
    const std::int64_t distance = move.to > move.from ? move.to - move.from : move.from - move.to;
    const auto intact = [&mapping]() -> Status {
        if (!mapping.damaged()) return Status::success();
        return fail("the file was cut short or could not be read while it was edited");
    };
    while (p.done < move.count) {
        const Piece piece = pieceAt(move, p.done, j.pieceBytes);
        if (!mapping.ready(std::min(piece.source, piece.target), piece.length + distance)) {
            return Status::success();
        }
        const std::uint8_t* const source = mapping.at(piece.source);
        const auto length = static_cast<std::size_t>(piece.length);
        if (j.savedPieces) {
            // The piece's source into a save area first: the move below may
            // stop half way over it.
            const std::span<std::uint8_t> area = log.mapped(areaAt(j, nextArea), piece.length);
            if (!area.empty()) {
                std::memcpy(area.data(), source, length);
            } else if (Status s =
                           writeFully(journal, std::span(source, length), areaAt(j, nextArea));
                       !s) {
                return s;
            }
            // A copy of zeros from a damaged mapping must never be recorded.
            if (Status s = intact(); !s) return s;
            if (Status s =
                    log.record({p.done, static_cast<std::uint32_t>(length), nextArea, p.pieceCrc});
                !s) {
                return s;
            }
            nextArea ^= 1;
        }
        if (Status s = allowWrite(fd, piece.target, piece.length); !s) return s;
        std::memmove(mapping.at(piece.target), source, length);
        const std::uint32_t moved = pieceCrcOf(std::span(mapping.at(piece.target), length));
        if (Status s = intact(); !s) return s;
        p = Progress{p.done + piece.length, 0, -1, moved};
        if (!j.savedPieces) {
            if (Status s = log.record(p); !s) return s;
        }
    }
    return Status::success();
}

// Carries the move on from `j.progress`, recording each piece: through
// `mapping` (made here when null) where it can, with reads and writes where
// it cannot.
Status continueMove(int fd, int journal, Journal& j, std::unique_ptr<MoveMapping> mapping) {
    const FileMove& move = *j.plan.move;
    ProgressLog log(journal, j.sequence, kAreasAt + areasSize(j));
    Progress& p = j.progress;
    std::int32_t nextArea = 0;
    if (p.area >= 0) {
        // The piece at `done` may be half written over its own source: redo
        // it from its copy.
        const Piece piece = pieceAt(move, p.done, j.pieceBytes);
        if (p.area > 1 || piece.length != p.savedLength) return fail("journal progress is damaged");
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(piece.length));
        if (Status s = readFully(journal, bytes, areaAt(j, p.area)); !s) return s;
        if (Status s = writeFully(fd, bytes, piece.target); !s) return s;
        nextArea = p.area ^ 1;
        p = Progress{p.done + piece.length, 0, -1, pieceCrcOf(bytes)};
    }
    if (!mapping && p.done < move.count) mapping = mapMove(fd, move, p.done);
    if (mapping) {
        if (Status s = moveMapped(*mapping, fd, journal, j, log, nextArea); !s) return s;
        mapping.reset();
    }
    // Direct pieces are read a block of several at a time: the bytes still
    // to move stay intact in the file whichever piece the move stops at.
    const std::int64_t blockPieces =
        j.savedPieces ? 1 : std::max<std::int64_t>(1, kFileMoveChunk / j.pieceBytes);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(
        std::min(blockPieces * j.pieceBytes, std::max<std::int64_t>(move.count - p.done, 0))));
    while (j.savedPieces && p.done < move.count) {
        // The piece's source goes into a save area first, and from there to
        // its place.
        const Piece piece = pieceAt(move, p.done, j.pieceBytes);
        std::span<std::uint8_t> bytes = log.mapped(areaAt(j, nextArea), piece.length);
        if (!bytes.empty()) {
            if (Status s = readFully(fd, bytes, piece.source); !s) return s;
        } else {
            bytes = std::span(buffer.data(), static_cast<std::size_t>(piece.length));
            if (Status s = readFully(fd, bytes, piece.source); !s) return s;
            if (Status s = writeFully(journal, bytes, areaAt(j, nextArea)); !s) return s;
        }
        const Progress saved{p.done, static_cast<std::uint32_t>(piece.length), nextArea,
                             p.pieceCrc};
        if (Status s = log.record(saved); !s) return s;
        nextArea ^= 1;
        if (Status s = writeFully(fd, bytes, piece.target); !s) return s;
        p = Progress{p.done + piece.length, 0, -1, pieceCrcOf(bytes)};
    }
    while (p.done < move.count) {
        const std::int64_t block = std::min(blockPieces * j.pieceBytes, move.count - p.done);
        const std::int64_t blockStart =
            move.to < move.from ? move.from + p.done : move.from + move.count - p.done - block;
        if (Status s = readFully(fd, std::span(buffer.data(), static_cast<std::size_t>(block)),
                                 blockStart);
            !s) {
            return s;
        }
        for (const std::int64_t blockEnd = p.done + block; p.done < blockEnd;) {
            const Piece piece = pieceAt(move, p.done, j.pieceBytes);
            const std::span bytes(buffer.data() + (piece.source - blockStart),
                                  static_cast<std::size_t>(piece.length));
            if (Status s = writeFully(fd, bytes, piece.target); !s) return s;
            p = Progress{p.done + piece.length, 0, -1, pieceCrcOf(bytes)};
            if (Status s = log.record(p); !s) return s;
        }
    }
    if (j.savedPieces) return log.record(p);
    return Status::success();
}

}  // namespace

Piece pieceAt(const FileMove& move, std::int64_t done, std::uint32_t pieceBytes) {
    const std::int64_t length = std::min<std::int64_t>(pieceBytes, move.count - done);
    // Downward moves walk front to back, upward moves back to front.
    const std::int64_t offset = move.to < move.from ? done : move.count - done - length;
    return {move.from + offset, move.to + offset, length};
}

// The bytes of the file that the move still touches after `done` bytes,
// mapped; nothing when they cannot be.
std::unique_ptr<MoveMapping> mapMove(int fd, const FileMove& move, std::int64_t done) {
    if (move.count == 0 || move.from == move.to) return nullptr;
    // Downward moves walk front to back, upward ones back to front.
    if (move.to < move.from) {
        return MoveMapping::start(fd, move.to + done, move.from + move.count, Walk::FrontToBack);
    }
    return MoveMapping::start(fd, move.from, move.to + move.count - done, Walk::BackToFront);
}

// Shows the moved range as the finished move leaves it. The pieces done are
// in place already; the rest still lies at its source, except a saved piece
// in progress, which may be half written over its own source and is shown
// from its copy.
Status showMove(FileView& view, int journal, const Journal& j) {
    const FileMove& move = *j.plan.move;
    const Progress& p = j.progress;
    // Downward moves are done front to back, upward ones back to front.
    const std::int64_t undoneFrom = move.to < move.from ? p.done : 0;
    view.showFile(move.to + undoneFrom, move.count - p.done, move.from + undoneFrom);
    if (p.area < 0) return Status::success();
    const Piece piece = pieceAt(move, p.done, j.pieceBytes);
    if (p.area > 1 || piece.length != p.savedLength) return fail("journal progress is damaged");
    std::vector<std::uint8_t> saved(static_cast<std::size_t>(piece.length));
    if (Status s = readFully(journal, saved, areaAt(j, p.area)); !s) return s;
    view.showBytes(piece.target, std::move(saved));
    return Status::success();
}

// The move, the writes and the cut, from the recorded progress on.
Status carryOut(int fd, int journal, Journal& j, std::unique_ptr<MoveMapping> mapping) {
    if (j.plan.move && j.plan.move->count > 0 && j.plan.move->from != j.plan.move->to) {
        if (Status s = continueMove(fd, journal, j, std::move(mapping)); !s) return s;
    }
    for (const FileWrite& w : j.plan.writes) {
        if (Status s = writeFully(fd, w.bytes, w.position); !s) return s;
    }
    if (j.plan.truncateTo >= 0) {
        if (Status s = truncateFile(fd, j.plan.truncateTo); !s) return s;
    }
    // Without a move the file's changes are small: put them on the disk
    // before the journal that would repeat them goes.
    if (!j.plan.move) return syncFile(fd);
    return Status::success();
}

// A move through a mapping costs a memmove and a record per piece, so it
// moves pieces as long as the distance (which never write over their own
// source) unless they would be very short; one that reads and writes is
// faster saving whole pieces in the journal.
Journal journalOf(EditPlan plan, std::size_t pieceBytes, bool mapped) {
    Journal j{std::move(plan), {}, 0, false, Progress{}};
    std::int64_t piece = pieceBytes == 0 ? static_cast<std::int64_t>(kFileMoveChunk)
                                         : static_cast<std::int64_t>(pieceBytes);
    if (const auto& move = j.plan.move) {
        const std::int64_t distance =
            move->to > move->from ? move->to - move->from : move->from - move->to;
        piece = std::min(piece, std::max<std::int64_t>(move->count, 1));
        if (mapped && distance < piece && distance >= piece / kShortestPieceShare) {
            piece = distance;
        }
        // A move that moves nothing needs no save areas.
        j.savedPieces = distance > 0 && move->count > 0 && distance < piece;
    }
    j.pieceBytes = static_cast<std::uint32_t>(piece);
    return j;
}

bool moves(const EditPlan& plan) {
    return plan.move && plan.move->count > 0 && plan.move->from != plan.move->to;
}

}  // namespace vantoro::journal
