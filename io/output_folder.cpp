#include "io/output_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

namespace vantoro {
namespace {

class FdGuard {
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard() { ::close(m_fd); }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;

private:
    int m_fd;
};

std::string withSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// A single name: no folder separators, and not "." or "..", which would
// leave the folder.
bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

Status writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return fail(std::strerror(put < 0 ? errno : EIO));
        done += static_cast<std::size_t>(put);
    }
    return Status::success();
}

}  // namespace

Result<OutputFolder> OutputFolder::create(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) return fail("cannot create folder " + path + ": " + error.message());
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return fail("cannot open folder " + path + ": " + std::strerror(errno));
    return OutputFolder(fd, withSlash(path));
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

OutputFolder::~OutputFolder() {
    if (m_fd >= 0) ::close(m_fd);
}

Result<OutputFolder> OutputFolder::subfolder(const std::string& name) const {
    const std::string path = m_path + name;
    if (!isPlainName(name)) return fail("not a folder name: " + path);
    if (::mkdirat(m_fd, name.c_str(), 0777) != 0 && errno != EEXIST) {
        return fail("cannot create folder " + path + ": " + std::strerror(errno));
    }
    const int fd = ::openat(m_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const bool link = errno == ELOOP;
        return fail(link ? path + " is a link; nothing is written through it"
                         : "cannot open folder " + path + ": " + std::strerror(errno));
    }
    return OutputFolder(fd, withSlash(path));
}

Status OutputFolder::writeFile(const std::string& name, std::span<const std::uint8_t> bytes) const {
    const std::string path = m_path + name;
    if (!isPlainName(name)) return fail("not a file name: " + path);
    // Not truncated on opening: the file is checked first. Without waiting,
    // so a named pipe planted under the name cannot block the export.
    const int fd =
        ::openat(m_fd, name.c_str(),
                 O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const bool link = errno == ELOOP;
        return fail(link ? path + " is a link; nothing is written through it"
                         : "cannot create " + path + ": " + std::strerror(errno));
    }
    const FdGuard guard(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return fail(path + " is not a regular file; not written");
    }
    if (info.st_nlink > 1) return fail(path + " has other names (hard links); not written");
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0) {
        return fail("cannot write " + path + ": " + std::strerror(errno));
    }
    const Status written = writeAll(fd, bytes);
    if (!written) return fail("cannot write " + path + ": " + written.error());
    return Status::success();
}

}  // namespace vantoro
