// A folder that files are written into through its open handle. Names are
// taken inside that folder only, and a link planted there (to a file or a
// folder elsewhere) is never followed: writing through it is refused, so an
// export into a folder others can write to never changes a file outside it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "io/result.h"

namespace vantoro {

class OutputFolder {
public:
    // The folder at `path`, created with any missing parents. The path is
    // the person's own choice and may pass through links.
    static Result<OutputFolder> create(const std::string& path);

    OutputFolder(OutputFolder&& other) noexcept;
    OutputFolder& operator=(OutputFolder&& other) noexcept;
    ~OutputFolder();

    // The folder `name` inside this one, created when missing. Fails when
    // the name is a link or something other than a folder.
    Result<OutputFolder> subfolder(const std::string& name) const;

    // Writes `bytes` as the file `name` here, replacing a file of that name.
    // Refused when the name is a link, is not a regular file, or is a file
    // that has other names (hard links), which may lie outside the folder.
    Status writeFile(const std::string& name, std::span<const std::uint8_t> bytes) const;

    // The folder's path, ending in "/", for messages.
    const std::string& path() const { return m_path; }

private:
    OutputFolder(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}

    int m_fd = -1;
    std::string m_path;
};

}  // namespace vantoro
