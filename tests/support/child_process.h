// Running a piece of a test in a forked child: what would exhaust memory,
// crash or need other rights then ends the child, not the test run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vantoro::testing {

// How a child ended and the text it handed back.
struct ChildEnd {
    bool exited = false;  // ended by _exit rather than by a signal
    int code = -1;        // exit code, when it exited
    int signal = 0;       // the ending signal, when it did not
    std::string text;     // what the body answered
};

// Runs `body` in a child and answers its text. An exception out of the body
// ends the child with code 2 and the exception's message as its text.
ChildEnd runInChild(const std::function<std::string()>& body);

// Whether this is an AddressSanitizer build. Its shadow memory and its
// quarantine of freed blocks make address-space limits and resident sizes
// say nothing about what the code under test allocates.
bool underAddressSanitizer();

// Limits this process's address space to `bytes`, so an allocation past it
// fails instead of succeeding; false when the limit cannot be set.
bool limitAddressSpace(std::uint64_t bytes);

// The address space this process holds, its resident-set high-water mark
// and its current resident set, in bytes.
std::uint64_t addressSpaceBytes();
std::uint64_t peakResidentBytes();
std::uint64_t residentBytes();

}  // namespace vantoro::testing
