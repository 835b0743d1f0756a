#include "io/file_range.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "io/file_writes.h"

namespace vantoro {
namespace {

Error systemError(const std::string& what, int code) {
    return fail(what + ": " + std::strerror(code));
}

// A file opened for reading and writing, with the size it had when opened.
class OpenFile {
public:
    static Result<OpenFile> open(const std::string& fileName) {
        const int fd = ::open(fileName.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) return systemError("cannot open " + fileName, errno);
        OpenFile file(fd);
        struct stat info {};
        if (::fstat(fd, &info) != 0) return systemError("cannot measure " + fileName, errno);
        if (!S_ISREG(info.st_mode)) return fail("not a regular file: " + fileName);
        file.m_size = static_cast<std::int64_t>(info.st_size);
        return file;
    }
    OpenFile(OpenFile&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1)), m_size(other.m_size) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    OpenFile& operator=(OpenFile&&) = delete;
    ~OpenFile() {
        if (m_fd >= 0) ::close(m_fd);
    }

    int fd() const { return m_fd; }
    std::int64_t size() const { return m_size; }

private:
    explicit OpenFile(int fd) : m_fd(fd) {}
    int m_fd;
    std::int64_t m_size = 0;
};

Status readAll(int fd, std::uint8_t* buffer, std::size_t count, std::int64_t at) {
    return readFully(fd, std::span(buffer, count), at);
}

Status writeAll(int fd, const std::uint8_t* buffer, std::size_t count, std::int64_t at) {
    return writeFully(fd, std::span(buffer, count), at);
}

// Moves `count` bytes from `from` to `to` like memmove: downward moves walk
// front to back, upward moves back to front, so no chunk overwrites bytes
// still to be read.
Status moveBytes(int fd, std::int64_t from, std::int64_t to, std::int64_t count,
                 std::size_t chunkBytes) {
    if (from == to || count == 0) return Status::success();
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(
        std::min<std::int64_t>(count, static_cast<std::int64_t>(chunkBytes))));
    const auto chunkSize = static_cast<std::int64_t>(chunk.size());
    for (std::int64_t done = 0; done < count;) {
        const std::int64_t n = std::min(chunkSize, count - done);
        // Downward: the chunk at offset `done`; upward: the chunk ending `done` before the end.
        const std::int64_t offset = to < from ? done : count - done - n;
        if (Status s = readAll(fd, chunk.data(), static_cast<std::size_t>(n), from + offset); !s) {
            return s;
        }
        if (Status s = writeAll(fd, chunk.data(), static_cast<std::size_t>(n), to + offset); !s) {
            return s;
        }
        done += n;
    }
    return Status::success();
}

Status checkArguments(std::int64_t length, std::int64_t position, std::size_t chunkBytes) {
    if (length < 0 || position < 0) return fail("negative file range");
    if (chunkBytes == 0) return fail("move chunk of 0 bytes");
    return Status::success();
}

}  // namespace

Result<std::int64_t> DeleteFileRange(const std::string& fileName, std::int64_t length,
                                     std::int64_t position, std::size_t chunkBytes) {
    if (Status s = checkArguments(length, position, chunkBytes); !s) return Error{s.error()};
    Result<OpenFile> file = OpenFile::open(fileName);
    if (!file) return Error{file.error()};
    const std::int64_t size = file->size();
    position = std::min(position, size);
    length = std::min(length, size - position);
    if (length == 0) return std::int64_t{0};

    const std::int64_t tail = size - position - length;
    if (Status s = moveBytes(file->fd(), position + length, position, tail, chunkBytes); !s) {
        return Error{s.error()};
    }
    if (Status s = truncateFile(file->fd(), size - length); !s) {
        return fail(fileName + ": " + s.error());
    }
    return length;
}

Result<std::int64_t> InsertFileRange(const std::string& fileName, std::int64_t length,
                                     std::int64_t position, std::size_t chunkBytes) {
    if (Status s = checkArguments(length, position, chunkBytes); !s) return Error{s.error()};
    Result<OpenFile> file = OpenFile::open(fileName);
    if (!file) return Error{file.error()};
    const std::int64_t size = file->size();
    if (length > std::numeric_limits<std::int64_t>::max() - size) {
        return fail("file would grow past the 64-bit range");
    }
    position = std::min(position, size);
    if (length == 0) return std::int64_t{0};

    // Reserve the new space first, so a full disk fails here and not halfway
    // through the move.
    if (Status s = reserveFile(file->fd(), size + length); !s) {
        return fail(fileName + ": " + s.error());
    }
    if (Status s = moveBytes(file->fd(), position, position + length, size - position, chunkBytes);
        !s) {
        return Error{s.error()};
    }
    return length;
}

}  // namespace vantoro
