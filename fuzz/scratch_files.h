// Where a fuzz target puts the files it hands to readers that open files by
// name: one private folder per process, removed again when the process
// ends normally.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vantoro::fuzz {

// The full path of `name` in this process's folder.
std::string scratchPath(std::string_view name);

// Replaces the file `name` with exactly `bytes`; aborts when it cannot, since
// a target that silently tested nothing would hide faults.
std::string writeScratchFile(std::string_view name, std::span<const std::uint8_t> bytes);

// Removes the file `name` if it is there.
void removeScratchFile(std::string_view name);

}  // namespace vantoro::fuzz
