#include "fuzz/scratch_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vantoro::fuzz {
namespace {

[[noreturn]] void giveUp(const std::string& what) {
    std::perror(what.c_str());
    std::abort();
}

// Under TMPDIR when it is set (the fuzz scripts point it at a folder they
// remove, since libFuzzer may end the process without running exit
// handlers), else on the memory file system, else in /tmp.
std::string makeFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/dev/shm";
    if (access(base.c_str(), W_OK) != 0) base = "/tmp";
    std::string pattern = base + "/vantoro-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) giveUp("mkdtemp " + pattern);
    return pattern;
}

// Never destroyed, so the exit handler that removes it can still read it.
const std::string& folder() {
    static const std::string* const path = [] {
        const auto* made = new std::string(makeFolder());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder(), ignored);
        });
        return made;
    }();
    return *path;
}

}  // namespace

std::string scratchPath(std::string_view name) {
    return folder() + '/' + std::string(name);
}

std::string writeScratchFile(std::string_view name, std::span<const std::uint8_t> bytes) {
    const std::string path = scratchPath(name);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) giveUp("open " + path);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) giveUp("write " + path);
        done += static_cast<std::size_t>(n);
    }
    close(fd);
    return path;
}

void removeScratchFile(std::string_view name) {
    unlink(scratchPath(name).c_str());
}

}  // namespace vantoro::fuzz
