// The journal file of an in-place edit (io/edit_journal.h): its layout, and
// reading and writing it. What the journal's move does with the file is in
// io/journal_move.h; what a journal means for the file beside it, in
// io/edit_journal.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "io/edit_journal.h"
#include "io/result.h"

namespace vantoro::journal {

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
// A pack's header: it names the index (its offset carries random halves that
// change with every save), so it tells one pack, and one state of a pack,
// from another.
constexpr std::int64_t kIdentityHeadBytes = 64;
constexpr std::int64_t kHeaderSize = 136;
constexpr std::int64_t kProgressAt = kHeaderSize;
constexpr std::int64_t kSlotSize = 32;
constexpr std::int64_t kProgressSize = 2 * kSlotSize;
constexpr std::int64_t kAreasAt = kProgressAt + kProgressSize;
// The name a journal is written under before it is published.
std::string pendingPath(const std::string& file);

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
std::uint32_t pieceCrcOf(std::span<const std::uint8_t> bytes);

// Records progress in the journal's slots in turn, and holds the save
// areas. A move records once per piece, so the journal's head is written
// through a shared mapping rather than a system call each; a saved piece is
// read straight into its mapped area, so saving it costs no extra copy.
class ProgressLog {
public:
    ProgressLog(int journal, std::uint64_t sequence, std::int64_t mapped);
    ProgressLog(const ProgressLog&) = delete;
    ProgressLog& operator=(const ProgressLog&) = delete;
    ~ProgressLog();

    Status record(const Progress& progress);
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

// The identity of the open file `fd` as it is now.
Result<FileIdentity> identityOf(int fd);

// A journal as read or about to be written.
struct Journal {
    EditPlan plan;
    FileIdentity identity;
    std::uint32_t pieceBytes = 0;
    bool savedPieces = false;
    Progress progress;
    std::uint64_t sequence = 0;  // of the progress record read
};

// The bytes of the two save areas, and where one begins.
inline std::int64_t areasSize(const Journal& j) {
    return j.savedPieces ? 2 * std::int64_t{j.pieceBytes} : 0;
}

inline std::int64_t areaAt(const Journal& j, std::int32_t area) {
    return kAreasAt + area * std::int64_t{j.pieceBytes};
}

// Writes the journal under a temporary name, syncs it and renames it into
// place; answers the open journal.
Result<int> publish(const std::string& path, const Journal& j);

// The journal `journal` as written, checked for damage but not against a
// file.
Result<Journal> readJournal(int journal);

// A journal file open for as long as this object lives.
class OpenJournal {
public:
    explicit OpenJournal(int fd) : m_fd(fd) {}
    OpenJournal(const OpenJournal&) = delete;
    OpenJournal& operator=(const OpenJournal&) = delete;
    ~OpenJournal();
    int fd() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace vantoro::journal
