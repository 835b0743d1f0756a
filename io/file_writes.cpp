#include "io/file_writes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vantoro {
namespace {

FileFaults* g_faults = nullptr;

Error systemError(const std::string& what, int code) {
    return fail(what + ": " + std::strerror(code));
}

}  // namespace

void setFileFaults(FileFaults* faults) {
    g_faults = faults;
}

int fileFault(FileOp op, int fd, std::int64_t offset, std::int64_t length) {
    return g_faults == nullptr ? 0 : g_faults->before(op, fd, offset, length);
}

Status readFully(int fd, std::span<std::uint8_t> buffer, std::int64_t at) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::pread(fd, buffer.data() + done, buffer.size() - done,
                                    static_cast<off_t>(at + static_cast<std::int64_t>(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return systemError("read failed", errno);
        if (got == 0) return fail("file ended at offset " + std::to_string(at + done));
        done += static_cast<std::size_t>(got);
    }
    return Status::success();
}

Status allowWrite(int fd, std::int64_t offset, std::int64_t length) {
    if (const int code = fileFault(FileOp::Write, fd, offset, length)) {
        return systemError("write failed", code);
    }
    return Status::success();
}

Status writeFully(int fd, std::span<const std::uint8_t> bytes, std::int64_t at) {
    if (Status s = allowWrite(fd, at, static_cast<std::int64_t>(bytes.size())); !s) return s;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(at + static_cast<std::int64_t>(done)));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return systemError("write failed", put < 0 ? errno : EIO);
        done += static_cast<std::size_t>(put);
    }
    return Status::success();
}

Status syncFile(int fd) {
    if (const int code = fileFault(FileOp::Sync, fd, 0, 0)) return systemError("sync failed", code);
    if (::fdatasync(fd) != 0) return systemError("sync failed", errno);
    return Status::success();
}

Status reserveFile(int fd, std::int64_t size) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return systemError("cannot measure the file", errno);
    if (info.st_size >= size) return Status::success();
    if (const int code = fileFault(FileOp::Resize, fd, 0, size)) {
        return systemError("cannot lengthen the file", code);
    }
    const off_t from = info.st_size;
    if (const int code = ::posix_fallocate(fd, from, static_cast<off_t>(size) - from); code != 0) {
        // Space reserved before the failure would lengthen the file: undo it.
        (void)::ftruncate(fd, from);
        return systemError("cannot lengthen the file", code);
    }
    return Status::success();
}

Status truncateFile(int fd, std::int64_t size) {
    if (const int code = fileFault(FileOp::Resize, fd, 0, size)) {
        return systemError("cannot shorten the file", code);
    }
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        return systemError("cannot shorten the file", errno);
    }
    return Status::success();
}

Status renameFile(const std::string& from, const std::string& to) {
    if (const int code = fileFault(FileOp::Rename, -1, 0, 0)) {
        return systemError("cannot rename " + from, code);
    }
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return systemError("cannot rename " + from, errno);
    }
    return Status::success();
}

}  // namespace vantoro
