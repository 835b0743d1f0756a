#include "io/file_signature.h"

#include <sys/stat.h>

namespace vantoro {

std::optional<FileSignature> fileSignature(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    constexpr std::int64_t kNsPerSecond = 1000000000;
    return FileSignature{
        .device = static_cast<std::uint64_t>(status.st_dev),
        .inode = static_cast<std::uint64_t>(status.st_ino),
        .size = static_cast<std::int64_t>(status.st_size),
        .changedNs = static_cast<std::int64_t>(status.st_mtim.tv_sec) * kNsPerSecond +
                     status.st_mtim.tv_nsec,
    };
}

}  // namespace vantoro
