#include "io/edit_journal.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <span>
#include <utility>

#include "io/byte_reader.h"
#include "io/file_writes.h"
#include "io/move_mapping.h"

namespace vantoro {
namespace {

// Journal layout, little-endian:
//   0  136  header: magic "VNTJRNL2"; move from, to, count (int64); size to
//           cut to (int64, -1 none); write count (uint32); piece bytes
//           (uint32); saved-piece mode (byte); length of the file's head
//           kept (byte) and 2 zero bytes; journal size (int64); the file's
//           identity when the journal was published: its size (int64) and
//           its first kIdentityHeadBytes bytes (fewer when shorter, zeros
//           after); CRC-32 of bytes 0..131 followed by the writes
//  136  64  progress, two slots of 32 bytes written in turn (a record cut
//           short leaves the other): sequence number (uint64); bytes of the
//           move done (int64); length of the piece saved (uint32); its area
//           (int32, -1 none); CRC-32 of a sample of the last piece moved,
//           as it lies at its target (pieceCrcOf); CRC-32 of those 28 bytes
//  200      two save areas of piece bytes each (saved-piece mode only)
//  then     the writes: position (int64), length (int64), the bytes
constexpr std::array<std::uint8_t, 8> kMagic = {'V', 'N', 'T', 'J', 'R', 'N', 'L', '2'};
// The format before the file's identity was recorded: nothing in it tells
// whether the file beside it is the one it edits.
constexpr std::array<std::uint8_t, 8> kUncheckedMagic = {'V', 'N', 'T', 'J', 'R', 'N', 'L', '1'};
// A pack's header: it names the index (its offset carries random halves that
// change with every save), so it tells one pack, and one state of a pack,
// from another.
constexpr std::int64_t kIdentityHeadBytes = 64;
constexpr std::size_t kHeadLengthAt = 49;
constexpr std::size_t kJournalSizeAt = 52;
constexpr std::size_t kFileSizeAt = 60;
constexpr std::size_t kHeadAt = 68;
constexpr std::size_t kCrcAt = 132;
constexpr std::int64_t kHeaderSize = 136;
constexpr std::int64_t kProgressAt = kHeaderSize;
constexpr std::int64_t kSlotSize = 32;
constexpr std::int64_t kSlotCrcAt = 28;
constexpr std::int64_t kProgressSize = 2 * kSlotSize;
constexpr std::int64_t kAreasAt = kProgressAt + kProgressSize;
// How many journals set aside one pack keeps beside it (".orphan",
// ".orphan-2", ...) before setting another aside fails.
constexpr int kMostJournalsSetAside = 100;
// A journal larger than this is not one of ours: the largest edit writes a
// 50 MiB batch and an index.
constexpr std::int64_t kMaxJournalSize = std::int64_t{1} << 30;
// The shortest piece a mapped move cuts its pieces down to, as a share of a
// whole piece.
constexpr std::int64_t kShortestPieceShare = 16;

void putI64(std::uint8_t* at, std::int64_t value) {
    encodeU32(at, static_cast<std::uint32_t>(value));
    encodeU32(at + 4, static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) >> 32));
}
std::int64_t getI64(const std::uint8_t* at) {
    return static_cast<std::int64_t>(decodeU32(at) |
                                     (static_cast<std::uint64_t>(decodeU32(at + 4)) << 32));
}

std::uint32_t crcOf(std::uint32_t crc, const std::uint8_t* bytes, std::size_t size) {
    // zlib answers its initial value, not `crc`, for a null buffer, which is
    // what an empty vector may hand over.
    if (size == 0) return crc;
    return static_cast<std::uint32_t>(::crc32(crc, bytes, static_cast<uInt>(size)));
}

std::string pendingPath(const std::string& file) {
    return journalPath(file) + "-new";
}

// How far a move has got.
struct Progress {
    std::int64_t done = 0;
    std::uint32_t savedLength = 0;
    std::int32_t area = -1;  // the save area holding the piece at `done`, or -1
    // The piece that ends at `done`, as written at its target (pieceCrcOf):
    // a file whose bytes there differ has not been through this move.
    std::uint32_t pieceCrc = 0;
};

// What a piece's checksum covers: the first kPieceSampleBytes of every
// kPieceSampleStride bytes, and its last kPieceSampleBytes. A file that has
// not been through the move differs from the moved bytes in some of them;
// checksumming every byte moved made an edit half as slow again.
constexpr std::size_t kPieceSampleBytes = 64;
constexpr std::size_t kPieceSampleStride = 4096;

std::uint32_t pieceCrcOf(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0;
    for (std::size_t at = 0; at < bytes.size(); at += kPieceSampleStride) {
        const std::size_t length = std::min(kPieceSampleBytes, bytes.size() - at);
        crc = libdeflate_crc32(crc, bytes.data() + at, length);
    }
    const std::size_t tail = std::min(kPieceSampleBytes, bytes.size());
    return libdeflate_crc32(crc, bytes.data() + bytes.size() - tail, tail);
}

std::array<std::uint8_t, kSlotSize> encodeSlot(std::uint64_t sequence, const Progress& p) {
    std::array<std::uint8_t, kSlotSize> bytes{};
    putI64(bytes.data(), static_cast<std::int64_t>(sequence));
    putI64(bytes.data() + 8, p.done);
    encodeU32(bytes.data() + 16, p.savedLength);
    encodeU32(bytes.data() + 20, static_cast<std::uint32_t>(p.area));
    encodeU32(bytes.data() + 24, p.pieceCrc);
    encodeU32(bytes.data() + kSlotCrcAt, crcOf(0, bytes.data(), kSlotCrcAt));
    return bytes;
}

// The latest whole record of the two slots, with its sequence number.
std::optional<std::pair<std::uint64_t, Progress>> decodeProgress(const std::uint8_t* slots) {
    std::optional<std::pair<std::uint64_t, Progress>> latest;
    for (int n = 0; n < 2; ++n) {
        const std::uint8_t* slot = slots + n * kSlotSize;
        if (crcOf(0, slot, kSlotCrcAt) != decodeU32(slot + kSlotCrcAt)) continue;
        const auto sequence = static_cast<std::uint64_t>(getI64(slot));
        if (latest && latest->first >= sequence) continue;
        latest = {sequence,
                  Progress{getI64(slot + 8), decodeU32(slot + 16),
                           static_cast<std::int32_t>(decodeU32(slot + 20)), decodeU32(slot + 24)}};
    }
    return latest;
}

// Records progress in the journal's slots in turn, and holds the save
// areas. A move records once per piece, so the journal's head is written
// through a shared mapping rather than a system call each; a saved piece is
// read straight into its mapped area, so saving it costs no extra copy.
class ProgressLog {
public:
    ProgressLog(int journal, std::uint64_t sequence, std::int64_t mapped)
        : m_fd(journal), m_sequence(sequence), m_mapped(static_cast<std::size_t>(mapped)) {
        void* map = ::mmap(nullptr, m_mapped, PROT_READ | PROT_WRITE, MAP_SHARED, journal, 0);
        if (map != MAP_FAILED) m_map = static_cast<std::uint8_t*>(map);
    }
    ProgressLog(const ProgressLog&) = delete;
    ProgressLog& operator=(const ProgressLog&) = delete;
    ~ProgressLog() {
        if (m_map != nullptr) ::munmap(m_map, m_mapped);
    }

    Status record(const Progress& progress) {
        ++m_sequence;
        const std::int64_t at = kProgressAt + static_cast<std::int64_t>(m_sequence % 2) * kSlotSize;
        const auto bytes = encodeSlot(m_sequence, progress);
        if (m_map == nullptr) return writeFully(m_fd, bytes, at);
        if (Status s = allowWrite(m_fd, at, kSlotSize); !s) return s;
        std::memcpy(m_map + at, bytes.data(), bytes.size());
        return Status::success();
    }
    // The mapped bytes of the journal at `at`; empty when not mapped.
    std::span<std::uint8_t> mapped(std::int64_t at, std::int64_t length) {
        if (m_map == nullptr) return {};
        return {m_map + at, static_cast<std::size_t>(length)};
    }

private:
    int m_fd;
    std::uint64_t m_sequence;
    std::size_t m_mapped;
    std::uint8_t* m_map = nullptr;
};

// What the journal knows of the file it was written for, taken when it was
// published (after the space for the edit was made).
struct FileIdentity {
    std::int64_t size = 0;
    std::uint8_t headLength = 0;
    std::array<std::uint8_t, kIdentityHeadBytes> head{};
};

Result<FileIdentity> identityOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail("cannot measure the file to edit");
    FileIdentity identity;
    identity.size = info.st_size;
    identity.headLength =
        static_cast<std::uint8_t>(std::min<std::int64_t>(kIdentityHeadBytes, info.st_size));
    if (Status s = readFully(fd, std::span(identity.head.data(), identity.headLength), 0); !s) {
        return Error{s.error()};
    }
    return identity;
}

struct Journal {
    EditPlan plan;
    FileIdentity identity;
    std::uint32_t pieceBytes = 0;
    bool savedPieces = false;
    Progress progress;
    std::uint64_t sequence = 0;  // of the progress record read
};

std::int64_t areasSize(const Journal& j) {
    return j.savedPieces ? 2 * std::int64_t{j.pieceBytes} : 0;
}

std::int64_t areaAt(const Journal& j, std::int32_t area) {
    return kAreasAt + area * std::int64_t{j.pieceBytes};
}

// Where the piece that starts `done` bytes into the move lies.
struct Piece {
    std::int64_t source = 0;
    std::int64_t target = 0;
    std::int64_t length = 0;
};

Piece pieceAt(const FileMove& move, std::int64_t done, std::uint32_t pieceBytes) {
    const std::int64_t length = std::min<std::int64_t>(pieceBytes, move.count - done);
    // Downward moves walk front to back, upward moves back to front.
    const std::int64_t offset = move.to < move.from ? done : move.count - done - length;
    return {move.from + offset, move.to + offset, length};
}

class OpenJournal {
public:
    explicit OpenJournal(int fd) : m_fd(fd) {}
    OpenJournal(const OpenJournal&) = delete;
    OpenJournal& operator=(const OpenJournal&) = delete;
    ~OpenJournal() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

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

// The move, the writes and the cut, from the recorded progress on.
Status carryOut(int fd, int journal, Journal& j, std::unique_ptr<MoveMapping> mapping = nullptr) {
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

// Each write as stored: its position and length, then its bytes.
std::array<std::uint8_t, 16> writePrefix(const FileWrite& w) {
    std::array<std::uint8_t, 16> prefix{};
    putI64(prefix.data(), w.position);
    putI64(prefix.data() + 8, static_cast<std::int64_t>(w.bytes.size()));
    return prefix;
}

std::array<std::uint8_t, kHeaderSize> encodeHeader(const Journal& j) {
    std::array<std::uint8_t, kHeaderSize> h{};
    std::copy(kMagic.begin(), kMagic.end(), h.begin());
    const FileMove move = j.plan.move.value_or(FileMove{});
    putI64(&h[8], move.from);
    putI64(&h[16], move.to);
    putI64(&h[24], j.plan.move ? move.count : -1);
    putI64(&h[32], j.plan.truncateTo);
    encodeU32(&h[40], static_cast<std::uint32_t>(j.plan.writes.size()));
    encodeU32(&h[44], j.pieceBytes);
    h[48] = j.savedPieces ? 1 : 0;
    h[kHeadLengthAt] = j.identity.headLength;
    std::int64_t size = kAreasAt + areasSize(j);
    for (const FileWrite& w : j.plan.writes) size += 16 + static_cast<std::int64_t>(w.bytes.size());
    putI64(&h[kJournalSizeAt], size);
    putI64(&h[kFileSizeAt], j.identity.size);
    std::copy(j.identity.head.begin(), j.identity.head.end(), h.begin() + kHeadAt);
    std::uint32_t crc = crcOf(0, h.data(), kCrcAt);
    for (const FileWrite& w : j.plan.writes) {
        const auto prefix = writePrefix(w);
        crc = crcOf(crcOf(crc, prefix.data(), prefix.size()), w.bytes.data(), w.bytes.size());
    }
    encodeU32(&h[kCrcAt], crc);
    return h;
}

// Writes the journal under a temporary name, syncs it and renames it into
// place; answers the open journal.
Result<int> publish(const std::string& path, const Journal& j) {
    const std::string pending = pendingPath(path);
    const int fd = ::open(pending.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return fail("cannot create " + pending + ": " + std::strerror(errno));
    auto journal = std::make_unique<OpenJournal>(fd);
    Status s = writeFully(fd, encodeHeader(j), 0);
    // Slot 0 starts the move; slot 1 holds no record yet.
    if (s) s = writeFully(fd, encodeSlot(0, Progress{}), kProgressAt);
    if (s) s = writeFully(fd, std::array<std::uint8_t, kSlotSize>{}, kProgressAt + kSlotSize);
    // The save areas are written out now so that filling them later needs no
    // new space.
    if (s && j.savedPieces) s = reserveFile(fd, kAreasAt + areasSize(j));
    std::int64_t at = kAreasAt + areasSize(j);
    for (auto w = j.plan.writes.begin(); s && w != j.plan.writes.end(); ++w) {
        s = writeFully(fd, writePrefix(*w), at);
        if (s) s = writeFully(fd, w->bytes, at + 16);
        at += 16 + static_cast<std::int64_t>(w->bytes.size());
    }
    // Only an edit without a move is made to survive a power failure (see
    // the header): the journal of a move need not reach the disk first.
    if (s && !j.plan.move) s = syncFile(fd);
    if (s) s = renameFile(pending, journalPath(path));
    if (!s) {
        ::unlink(pending.c_str());
        return Error{"cannot write the edit journal: " + s.error()};
    }
    const int kept = ::dup(fd);
    if (kept < 0) return fail("cannot keep the edit journal open");
    return kept;
}

Result<Journal> readJournal(int journal) {
    struct stat info {};
    if (::fstat(journal, &info) != 0) return fail("cannot measure the edit journal");
    const std::int64_t size = info.st_size;
    std::array<std::uint8_t, kMagic.size()> magic{};
    if (readFully(journal, magic, 0) && magic == kUncheckedMagic) {
        return fail(
            "the edit journal was written by an earlier version, which did not record "
            "the file it edits");
    }
    std::array<std::uint8_t, kHeaderSize + kProgressSize> head{};
    if (size < kAreasAt || size > kMaxJournalSize || !readFully(journal, head, 0) ||
        !std::equal(kMagic.begin(), kMagic.end(), head.begin()) ||
        getI64(&head[kJournalSizeAt]) != size || head[kHeadLengthAt] > kIdentityHeadBytes ||
        getI64(&head[kFileSizeAt]) < 0) {
        return fail("the edit journal is damaged");
    }
    Journal j;
    j.identity.size = getI64(&head[kFileSizeAt]);
    j.identity.headLength = head[kHeadLengthAt];
    std::copy_n(head.begin() + kHeadAt, kIdentityHeadBytes, j.identity.head.begin());
    const std::int64_t count = getI64(&head[24]);
    if (count >= 0) j.plan.move = FileMove{getI64(&head[8]), getI64(&head[16]), count};
    j.plan.truncateTo = getI64(&head[32]);
    j.pieceBytes = decodeU32(&head[44]);
    j.savedPieces = head[48] == 1;
    const std::int64_t writesAt = kAreasAt + areasSize(j);
    // Journals are written with pieces of at most a chunk; the move buffers one.
    if (j.pieceBytes == 0 || j.pieceBytes > kFileMoveChunk || writesAt > size) {
        return fail("the edit journal is damaged");
    }
    std::vector<std::uint8_t> writes(static_cast<std::size_t>(size - writesAt));
    if (!readFully(journal, writes, writesAt) || crcOf(crcOf(0, head.data(), kCrcAt), writes.data(),
                                                       writes.size()) != decodeU32(&head[kCrcAt])) {
        return fail("the edit journal is damaged");
    }
    ByteReader reader(writes);
    for (std::uint32_t n = decodeU32(&head[40]); n > 0; --n) {
        const auto fields = reader.readBytes(16);
        if (!fields) return fail("the edit journal is damaged");
        const std::int64_t position = getI64(fields->data());
        const std::int64_t length = getI64(fields->data() + 8);
        const auto bytes = length >= 0 && static_cast<std::uint64_t>(length) <= reader.remaining()
                               ? reader.readBytes(static_cast<std::size_t>(length))
                               : std::nullopt;
        if (!bytes || position < 0 || position > INT64_MAX - length) {
            return fail("the edit journal is damaged");
        }
        j.plan.writes.push_back(
            {position, std::vector<std::uint8_t>(bytes->begin(), bytes->end())});
    }
    const auto progress = decodeProgress(&head[kProgressAt]);
    if (!progress) return fail("the edit journal's progress is damaged");
    j.sequence = progress->first;
    j.progress = progress->second;
    // Ranges of a file: no end may pass what a file offset can hold.
    const auto inRange = [](std::int64_t at, std::int64_t length) {
        return at >= 0 && length >= 0 && at <= INT64_MAX - length;
    };
    // A move is recorded a whole piece at a time.
    const std::int64_t done = j.progress.done;
    const bool moveSane =
        !j.plan.move || (inRange(j.plan.move->from, count) && inRange(j.plan.move->to, count) &&
                         done >= 0 && done <= count && (done % j.pieceBytes == 0 || done == count));
    if (!moveSane) return fail("the edit journal is damaged");
    return j;
}

bool moves(const EditPlan& plan) {
    return plan.move && plan.move->count > 0 && plan.move->from != plan.move->to;
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
