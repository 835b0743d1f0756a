// Every write, sync and size change the program makes to a file it edits goes
// through here, so that a test can make any one of them fail (an I/O error,
// a full disk, or the process stopping at that moment) and check what the
// file looks like afterwards.
//
// The helpers loop over short transfers and EINTR, and answer a Status whose
// message names what failed. Offsets and sizes are 64-bit.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "io/result.h"

namespace vantoro {

// Map: a range of a file mapped for an edit to write through, and each chunk
// of it made ready in turn; refused, the edit reads and writes the file
// instead from there on.
enum class FileOp : std::uint8_t { Write, Sync, Resize, Rename, Map };

// A test's plan of failures. before() is asked ahead of every operation on
// the file `fd` (-1 for a rename) touching `length` bytes at `offset`
// (Resize: the new size); it answers 0 to let it happen or an errno value
// to make it fail without touching anything.
class FileFaults {
public:
    virtual ~FileFaults() = default;
    virtual int before(FileOp op, int fd, std::int64_t offset, std::int64_t length) = 0;
};

// Installs a plan (nullptr: none, the normal case). Not thread-safe: tests
// install it around single-threaded work.
void setFileFaults(FileFaults* faults);

// A plan installed for as long as it lives.
class ScopedFileFaults : public FileFaults {
public:
    ScopedFileFaults() { setFileFaults(this); }
    ~ScopedFileFaults() override { setFileFaults(nullptr); }
    ScopedFileFaults(const ScopedFileFaults&) = delete;
    ScopedFileFaults& operator=(const ScopedFileFaults&) = delete;
};
// 0, or the errno value the installed plan asks for.
int fileFault(FileOp op, int fd, std::int64_t offset, std::int64_t length);
// Asks the plan about a write of `length` bytes at `offset`; for writes made
// through a mapping, which no system call reports on.
Status allowWrite(int fd, std::int64_t offset, std::int64_t length);

Status readFully(int fd, std::span<std::uint8_t> buffer, std::int64_t at);
Status writeFully(int fd, std::span<const std::uint8_t> bytes, std::int64_t at);
// Data (and the size) of the file on the disk.
Status syncFile(int fd);
// Makes the file at least `size` bytes long with the space allocated, so a
// full disk fails here rather than in a later write.
Status reserveFile(int fd, std::int64_t size);
Status truncateFile(int fd, std::int64_t size);
Status renameFile(const std::string& from, const std::string& to);

}  // namespace vantoro
