#include "tests/support/child_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>

#if defined(__SANITIZE_ADDRESS__)
#define VANTORO_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTORO_TEST_ASAN 1
#endif
#endif

namespace vantoro::testing {
namespace {

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        done += static_cast<std::size_t>(put);
    }
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace

ChildEnd runInChild(const std::function<std::string()>& body) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return {};
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return {};
    }
    if (child == 0) {
        ::close(pipeEnds[0]);
        int code = 0;
        std::string text;
        try {
            text = body();
        } catch (const std::exception& error) {
            text = error.what();
            code = 2;
        } catch (...) {
            code = 3;
        }
        writeAll(pipeEnds[1], text);
        ::_exit(code);
    }
    ::close(pipeEnds[1]);
    ChildEnd end;
    end.text = readAll(pipeEnds[0]);
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    end.exited = WIFEXITED(status);
    end.code = end.exited ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

bool underAddressSanitizer() {
#ifdef VANTORO_TEST_ASAN
    return true;
#else
    return false;
#endif
}

bool limitAddressSpace(std::uint64_t bytes) {
    const rlimit limit{bytes, bytes};
    return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

std::uint64_t peakResidentBytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // reported in KiB
}

namespace {

// Field `field` (0: size, 1: resident) of /proc/self/statm, in bytes.
std::uint64_t statmBytes(int field) {
    long values[2] = {0, 0};
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &values[0], &values[1]) != 2) values[0] = values[1] = 0;
        std::fclose(statm);
    }
    return static_cast<std::uint64_t>(values[field]) *
           static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace

std::uint64_t addressSpaceBytes() {
    return statmBytes(0);
}

std::uint64_t residentBytes() {
    return statmBytes(1);
}

}  // namespace vantoro::testing
