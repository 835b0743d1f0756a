// What tells one state of a file from another without reading it: the file
// the name leads to (device and inode), its size and its last change. A
// program that copies a new file over the name, or writes into the file,
// changes at least one of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantoro {

struct FileSignature {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t changedNs = 0;  // the last change of its bytes, in ns since 1970

    bool operator==(const FileSignature&) const = default;
};

// The signature of the file `path` names; nothing when there is none.
std::optional<FileSignature> fileSignature(const std::string& path);

}  // namespace vantoro
