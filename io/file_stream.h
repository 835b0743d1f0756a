// The open data file of an archive: a POSIX file with a current position,
// seek-then-read semantics, and reads that may come back short at the end of
// the file. Sizes and offsets are 64-bit.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "io/file_view.h"
#include "io/mapped_file.h"

namespace vantoro {

// Allocates without zeroing: the bytes are about to be overwritten by a read.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <typename U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

// Bytes read from a file.
using FileBytes = std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>>;

class FileStream {
public:
    enum class Mode { ReadOnly, ReadWrite };

    // Nothing when the file cannot be opened in that mode. Other handles may
    // read and write the file meanwhile; no lock is taken. A read-only
    // stream maps the file as it is when opened (see MappedFile) and serves
    // reads inside that length from the mapping.
    static std::unique_ptr<FileStream> open(const std::string& path, Mode mode);
    ~FileStream();

    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Current size of the file on disk; -1 when it cannot be read.
    std::int64_t size() const;
    std::int64_t position() const { return m_position; }

    // Moves to an absolute position and answers where the stream now is; a
    // negative offset leaves the position unchanged.
    std::int64_t seek(std::int64_t offset);

    // Reads up to buffer.size() bytes at the position and advances past them;
    // answers how many were read (fewer at the end of the file).
    std::size_t read(std::span<std::uint8_t> buffer);
    // True only when the whole buffer was filled.
    bool readExact(std::span<std::uint8_t> buffer) { return read(buffer) == buffer.size(); }
    // Exactly `count` bytes, or nothing when the file holds fewer past the
    // position. The count is checked against the file size before anything
    // is allocated, so a size field from a damaged file cannot exhaust memory.
    std::optional<FileBytes> readBytes(std::uint64_t count);
    // readBytes into a buffer the caller keeps between reads, so reading
    // record after record allocates only when a record outgrows the last.
    // False (the buffer's contents undefined) when the bytes are not there.
    bool readInto(FileBytes& buffer, std::uint64_t count);
    // Exactly `count` bytes at the position, advancing past them: straight
    // from the file's mapping where the stream has one, else read into
    // `buffer`. The bytes stay valid until the next read into `buffer` and
    // while the stream lives. Nothing when the file holds fewer.
    std::optional<std::span<const std::uint8_t>> readView(FileBytes& buffer, std::uint64_t count);

    // True once, after the file shrank under the stream's mapping: bytes read
    // since the last call may be zeros instead of the file's. The stream
    // reads without the mapping from then on.
    bool takeMappingDamage();

    // Writes at the position; refused (0) on a stream opened read-only or
    // showing a view.
    std::size_t write(std::span<const std::uint8_t> bytes);
    bool writable() const { return m_writable && !m_view; }

    // From now on reads, sizes and views show `view` instead of the file.
    void showView(FileView view);

    // The advisory lock an editor of the file holds for the length of an
    // edit. False when another open handle, in this process or another,
    // holds it. Taking it also closes the gate to readers opening the file
    // (see ReadScope), waiting a bounded time for those in progress; false
    // when they do not end. Closing the stream releases both.
    bool tryLockForEditing();
    void unlockForEditing();
    bool lockedForEditing() const { return m_locked; }
    // While the lock is held: keeps out readers of the entries too, for a
    // change of bytes they may be reading (a move, an index saved), waiting
    // a bounded time for the reads in progress; false when they do not end
    // or the lock is not held. unlockForEditing lets them in again.
    bool closeToReaders();
    void openToReaders();
    // Whether another handle holds the lock at this moment.
    bool lockHeldElsewhere() const;
    // How long a reader waits for an edit to end: after `notifyAfter`
    // `notice` runs once (the program tells its user), after `giveUpAfter`
    // the read is refused. For the whole process.
    struct ReadWaits {
        std::chrono::milliseconds notifyAfter{300};
        std::chrono::milliseconds giveUpAfter{5000};
        std::function<void()> notice;
    };
    static void setReadWaits(ReadWaits waits);
    static ReadWaits readWaits();

    // The reading gate held open for one read operation: an edit changes
    // bytes only while no reader holds it, and readers wait while it does.
    class ReadTurn {
    public:
        explicit ReadTurn(const FileStream* stream) : m_stream(stream) {}
        ReadTurn(ReadTurn&& other) noexcept : m_stream(std::exchange(other.m_stream, nullptr)) {}
        ReadTurn& operator=(ReadTurn&&) = delete;
        ~ReadTurn();

    private:
        const FileStream* m_stream;  // nullptr: nothing to release
    };
    // What a read operation reads: the header and index (opening), kept
    // out for the whole of an edit, or entries found through an index read
    // before, kept out only while an edit changes bytes in place.
    enum class ReadScope { Opening, Entries };
    // Waits (see ReadWaits) until no edit keeps `scope` out and holds the
    // gate until the turn ends; nothing when one still does. A stream that
    // holds the editing lock itself reads without the gate.
    std::optional<ReadTurn> waitForReading(ReadScope scope);

    // Whether `path` still names the file this stream has open: another
    // program may have put a new file under the name since.
    bool namedBy(const std::string& path) const;
    // The open file, for edits that move its bytes in place (io/edit_journal.h).
    int descriptor() const { return m_fd; }

    // Bytes read through this stream so far: what a decode costs in reading,
    // for the tests that hold readers to reading only what an image can use.
    std::uint64_t bytesRead() const { return m_bytesRead; }

    // Reads up to this many bytes allocate without asking the file's size.
    static constexpr std::uint64_t kUncheckedReadLimit = 4096;

private:
    FileStream(int fd, bool writable) : m_fd(fd), m_writable(writable) {}

    // The mapped bytes [m_position, m_position + count), or nothing when the
    // stream has no intact mapping covering them.
    const std::uint8_t* mappedAt(std::uint64_t count) const;

    int m_fd;
    bool m_writable;
    std::unique_ptr<MappedFile> m_map;
    std::optional<FileView> m_view;
    bool m_mapDamageTold = false;
    std::int64_t m_position = 0;
    std::uint64_t m_bytesRead = 0;
    bool m_locked = false;
};

}  // namespace vantoro
