#include "io/file_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "io/file_writes.h"

namespace vantoro {

std::unique_ptr<FileStream> FileStream::open(const std::string& path, Mode mode) {
    // Opening a named pipe (or a link to one) waits for a writer, and a
    // device may act on being opened: the file is opened without waiting and
    // without becoming a terminal, and only a regular file is kept. Checking
    // the type after opening leaves no moment in which another kind of file
    // could take the name's place.
    const int flags =
        (mode == Mode::ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<FileStream> stream(new FileStream(fd, mode == Mode::ReadWrite));
    if (mode == Mode::ReadOnly) {
        stream->m_map = MappedFile::map(fd, static_cast<std::uint64_t>(info.st_size));
    }
    return stream;
}

FileStream::~FileStream() {
    ::close(m_fd);
}

namespace {

// The reading gates: byte-range locks of the open file description on bytes
// far past any end a file can reach, apart from the editing lock (flock),
// which a probe for another editor takes exclusively. Two gates, each a pair
// of bytes:
// - the opening gate, closed for the whole of an edit: opening reads the
//   header and the index, which appends overwrite;
// - the entries gate, closed only while bytes that entries may be read from
//   change (a move, a save of the index): readers that opened before an
//   import read its entries on during the appends.
// Readers share a gate for one read operation each. An editor first takes a
// gate's turnstile, and readers enter only while no editor holds it, so that
// readers reading one after the other cannot keep an editor out.
struct Gate {
    off_t turnstile;
    off_t gate;
};
constexpr off_t kGateBytes = off_t{1} << 62;
constexpr Gate kOpeningGate{kGateBytes, kGateBytes + 1};
constexpr Gate kEntriesGate{kGateBytes + 2, kGateBytes + 3};

// Reads are short: an edit waits this long for those in progress.
constexpr auto kEditorWait = std::chrono::seconds(10);
constexpr auto kPollInterval = std::chrono::milliseconds(1);

enum class RangeLock { Taken, Busy, Unsupported };

RangeLock lockByte(int fd, short type, off_t at) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = at;
    lock.l_len = 1;
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EACCES ? RangeLock::Busy : RangeLock::Unsupported;
    }
    return RangeLock::Taken;
}

void openGate(int fd, Gate gate) {
    (void)lockByte(fd, F_UNLCK, gate.gate);
    (void)lockByte(fd, F_UNLCK, gate.turnstile);
}

// The gate taken alone, waiting for the readers in progress. A file system
// without these locks has no gate: the edit goes ahead as before.
bool closeGate(int fd, Gate gate) {
    const auto until = std::chrono::steady_clock::now() + kEditorWait;
    for (const off_t byte : {gate.turnstile, gate.gate}) {
        for (;;) {
            const RangeLock taken = lockByte(fd, F_WRLCK, byte);
            if (taken == RangeLock::Taken) break;
            if (taken == RangeLock::Unsupported) return true;
            if (std::chrono::steady_clock::now() >= until) {
                openGate(fd, gate);
                return false;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
    }
    return true;
}

// Whether an editor holds or waits at the gate, asked without taking
// anything; nothing where the file system has no such locks. Only editors
// take a turnstile.
std::optional<bool> editorAt(int fd, Gate gate) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = gate.turnstile;
    probe.l_len = 1;
    while (::fcntl(fd, F_OFD_GETLK, &probe) != 0) {
        if (errno != EINTR) return std::nullopt;
    }
    return probe.l_type != F_UNLCK;
}

// Takes a share of the gate unless an editor holds or waits at it, without
// waiting.
RangeLock enterGate(int fd, Gate gate) {
    const std::optional<bool> editor = editorAt(fd, gate);
    if (!editor) return RangeLock::Unsupported;
    if (*editor) return RangeLock::Busy;
    return lockByte(fd, F_RDLCK, gate.gate);
}

// The gates a read of `scope` passes, all or none.
RangeLock enterGates(int fd, FileStream::ReadScope scope) {
    if (scope == FileStream::ReadScope::Opening) {
        const RangeLock opening = enterGate(fd, kOpeningGate);
        if (opening != RangeLock::Taken) return opening;
    }
    const RangeLock entries = enterGate(fd, kEntriesGate);
    if (entries == RangeLock::Busy) (void)lockByte(fd, F_UNLCK, kOpeningGate.gate);
    return entries;
}

FileStream::ReadWaits& processReadWaits() {
    static FileStream::ReadWaits waits;
    return waits;
}

}  // namespace

void FileStream::setReadWaits(ReadWaits waits) {
    processReadWaits() = std::move(waits);
}

FileStream::ReadWaits FileStream::readWaits() {
    return processReadWaits();
}

FileStream::ReadTurn::~ReadTurn() {
    // A stream that became an editor meanwhile keeps the gates its edit holds.
    if (!m_stream || m_stream->m_locked) return;
    // Both gates at once: the turnstile between them is never a reader's.
    struct flock unlock {};
    unlock.l_type = F_UNLCK;
    unlock.l_whence = SEEK_SET;
    unlock.l_start = kOpeningGate.gate;
    unlock.l_len = kEntriesGate.gate - kOpeningGate.gate + 1;
    while (::fcntl(m_stream->m_fd, F_OFD_SETLK, &unlock) != 0 && errno == EINTR) {
    }
}

std::optional<FileStream::ReadTurn> FileStream::waitForReading(ReadScope scope) {
    // The editor reads what it is changing; a share of the gate taken on its
    // own descriptor would replace the exclusive hold.
    if (m_locked) return ReadTurn(nullptr);
    const ReadWaits& waits = processReadWaits();
    const auto started = std::chrono::steady_clock::now();
    bool told = false;
    for (;;) {
        const RangeLock entered = enterGates(m_fd, scope);
        // A file system without these locks has no gate to wait at.
        if (entered != RangeLock::Busy) return ReadTurn(this);
        const auto waited = std::chrono::steady_clock::now() - started;
        if (waited >= waits.giveUpAfter) return std::nullopt;
        if (!told && waited >= waits.notifyAfter) {
            told = true;
            if (waits.notice) waits.notice();
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool FileStream::tryLockForEditing() {
    if (m_locked) return true;
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    if (!closeGate(m_fd, kOpeningGate)) {
        ::flock(m_fd, LOCK_UN);
        return false;
    }
    m_locked = true;
    return true;
}

void FileStream::unlockForEditing() {
    if (!m_locked) return;
    openGate(m_fd, kEntriesGate);
    openGate(m_fd, kOpeningGate);
    ::flock(m_fd, LOCK_UN);
    m_locked = false;
}

bool FileStream::closeToReaders() {
    return m_locked && closeGate(m_fd, kEntriesGate);
}

void FileStream::openToReaders() {
    if (m_locked) openGate(m_fd, kEntriesGate);
}

bool FileStream::lockHeldElsewhere() const {
    if (m_locked) return false;
    // An editor holds the opening gate's turnstile for as long as it holds
    // the lock. Looking there takes nothing; trying the lock itself would
    // hold it for an instant, and an editor taking it just then would be
    // refused as if another program were editing.
    if (const std::optional<bool> editor = editorAt(m_fd, kOpeningGate)) return *editor;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK;
    ::flock(m_fd, LOCK_UN);
    return false;
}

bool FileStream::namedBy(const std::string& path) const {
    struct stat open {};
    struct stat named {};
    return ::fstat(m_fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void FileStream::showView(FileView view) {
    m_view = std::move(view);
}

std::int64_t FileStream::size() const {
    if (m_view) return m_view->size();
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

std::int64_t FileStream::seek(std::int64_t offset) {
    if (offset >= 0) m_position = offset;
    return m_position;
}

const std::uint8_t* FileStream::mappedAt(std::uint64_t count) const {
    if (!m_map || m_map->damaged() || m_view) return nullptr;
    const auto mapped = m_map->bytes();
    const auto position = static_cast<std::uint64_t>(m_position);
    if (position > mapped.size() || count > mapped.size() - position) return nullptr;
    return mapped.data() + position;
}

bool FileStream::takeMappingDamage() {
    if (!m_map || !m_map->damaged() || m_mapDamageTold) return false;
    m_mapDamageTold = true;
    return true;
}

std::size_t FileStream::read(std::span<std::uint8_t> buffer) {
    // An empty buffer may have no storage at all, and memcpy must not be
    // given a null pointer even for no bytes.
    if (buffer.empty()) return 0;
    if (m_view) {
        const std::size_t got = m_view->read(m_fd, m_position, buffer);
        m_position += static_cast<std::int64_t>(got);
        m_bytesRead += got;
        return got;
    }
    if (const std::uint8_t* mapped = mappedAt(buffer.size())) {
        std::memcpy(buffer.data(), mapped, buffer.size());
        m_position += static_cast<std::int64_t>(buffer.size());
        m_bytesRead += buffer.size();
        return buffer.size();
    }
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::pread(m_fd, buffer.data() + done, buffer.size() - done,
                                    static_cast<off_t>(m_position));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
        m_position += got;
        m_bytesRead += static_cast<std::uint64_t>(got);
    }
    return done;
}

std::optional<FileBytes> FileStream::readBytes(std::uint64_t count) {
    FileBytes bytes;
    if (!readInto(bytes, count)) return std::nullopt;
    return bytes;
}

bool FileStream::readInto(FileBytes& buffer, std::uint64_t count) {
    // Small reads (headers, table entries) need no size check before the
    // buffer is made: a short read tells. Larger counts come from the file
    // itself and are checked against its size before anything is allocated.
    if (count > kUncheckedReadLimit) {
        const std::int64_t fileSize = size();
        if (fileSize < 0 || m_position > fileSize) return false;
        if (count > static_cast<std::uint64_t>(fileSize - m_position)) return false;
    }
    buffer.resize(static_cast<std::size_t>(count));
    return readExact(buffer);
}

std::optional<std::span<const std::uint8_t>> FileStream::readView(FileBytes& buffer,
                                                                  std::uint64_t count) {
    if (const std::uint8_t* mapped = mappedAt(count)) {
        m_position += static_cast<std::int64_t>(count);
        m_bytesRead += count;
        return std::span<const std::uint8_t>(mapped, static_cast<std::size_t>(count));
    }
    if (!readInto(buffer, count)) return std::nullopt;
    return std::span<const std::uint8_t>(buffer);
}

std::size_t FileStream::write(std::span<const std::uint8_t> bytes) {
    if (!writable()) return 0;
    if (fileFault(FileOp::Write, m_fd, m_position, static_cast<std::int64_t>(bytes.size())) != 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(m_position));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<std::size_t>(put);
        m_position += put;
    }
    return done;
}

}  // namespace vantoro
