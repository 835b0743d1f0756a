#include "io/journal_format.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "io/byte_reader.h"
#include "io/file_writes.h"

namespace vantoro::journal {
namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'V', 'N', 'T', 'J', 'R', 'N', 'L', '2'};
// The format before the file's identity was recorded: nothing in it tells
// whether the file beside it is the one it edits.
constexpr std::array<std::uint8_t, 8> kUncheckedMagic = {'V', 'N', 'T', 'J', 'R', 'N', 'L', '1'};
// Where the header's fields lie (the layout: io/journal_format.h).
constexpr std::size_t kHeadLengthAt = 49;
constexpr std::size_t kJournalSizeAt = 52;
constexpr std::size_t kFileSizeAt = 60;
constexpr std::size_t kHeadAt = 68;
constexpr std::size_t kCrcAt = 132;
constexpr std::int64_t kSlotCrcAt = 28;
// A journal larger than this is not one of ours: the largest edit writes a
// 50 MiB batch and an index.
constexpr std::int64_t kMaxJournalSize = std::int64_t{1} << 30;

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

// The sample of a piece its checksum covers (pieceCrcOf).
constexpr std::size_t kPieceSampleBytes = 64;
constexpr std::size_t kPieceSampleStride = 4096;

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

}  // namespace

std::string pendingPath(const std::string& file) {
    return journalPath(file) + "-new";
}

std::uint32_t pieceCrcOf(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0;
    for (std::size_t at = 0; at < bytes.size(); at += kPieceSampleStride) {
        const std::size_t length = std::min(kPieceSampleBytes, bytes.size() - at);
        crc = libdeflate_crc32(crc, bytes.data() + at, length);
    }
    const std::size_t tail = std::min(kPieceSampleBytes, bytes.size());
    return libdeflate_crc32(crc, bytes.data() + bytes.size() - tail, tail);
}

ProgressLog::ProgressLog(int journal, std::uint64_t sequence, std::int64_t mapped)
    : m_fd(journal), m_sequence(sequence), m_mapped(static_cast<std::size_t>(mapped)) {
    void* map = ::mmap(nullptr, m_mapped, PROT_READ | PROT_WRITE, MAP_SHARED, journal, 0);
    if (map != MAP_FAILED) m_map = static_cast<std::uint8_t*>(map);
}

ProgressLog::~ProgressLog() {
    if (m_map != nullptr) ::munmap(m_map, m_mapped);
}

Status ProgressLog::record(const Progress& progress) {
    ++m_sequence;
    const std::int64_t at = kProgressAt + static_cast<std::int64_t>(m_sequence % 2) * kSlotSize;
    const auto bytes = encodeSlot(m_sequence, progress);
    if (m_map == nullptr) return writeFully(m_fd, bytes, at);
    if (Status s = allowWrite(m_fd, at, kSlotSize); !s) return s;
    std::memcpy(m_map + at, bytes.data(), bytes.size());
    return Status::success();
}

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

OpenJournal::~OpenJournal() {
    if (m_fd >= 0) ::close(m_fd);
}

}  // namespace vantoro::journal
