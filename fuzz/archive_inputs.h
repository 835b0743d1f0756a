// The archive fuzz targets: which reader each drives, the names its files
// get, and how one fuzz input carries both the data file and its index.
//
// An input for a kind with an index file is a little-endian u32 n, then n
// bytes of index, then the data file (n is cut to what follows it; an
// input shorter than 4 bytes has no index file at all). An input for a
// one-file kind is the data file as it stands.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro::fuzz {

struct ArchiveTarget {
    std::string_view name;  // the target is "fuzz_" + name
    TWMImagesKind kind;
    std::string_view dataName;   // "f.wil"
    std::string_view indexName;  // "f.wix"; empty: the archive is one file
    std::string_view password;   // FPassword to open with
    // The second file is the pack's edit journal rather than an index: it is
    // sealed (sealJournal) and the pack opened twice, once unable to write.
    bool journal = false;
};

std::span<const ArchiveTarget> archiveTargets();
const ArchiveTarget* findArchiveTarget(std::string_view name);

struct ArchiveFiles {
    std::span<const std::uint8_t> data;
    std::span<const std::uint8_t> index;
    bool hasIndex = false;
};

ArchiveFiles splitArchiveInput(const ArchiveTarget& target, std::span<const std::uint8_t> input);
std::vector<std::uint8_t> joinArchiveInput(const ArchiveTarget& target,
                                           std::span<const std::uint8_t> data,
                                           std::span<const std::uint8_t> index);

// Sets the size and checksums of journal bytes as the edit journal writes
// them, and the identity of `pack` as the file it was written for (unless
// the head-length byte is odd), so that what the fuzzer makes of the other
// fields is read rather than refused as damaged or another file's. Mirrors
// the layout in io/edit_journal.cpp; shorter bytes are left as they are.
void sealJournal(std::vector<std::uint8_t>& journal, std::span<const std::uint8_t> pack);

}  // namespace vantoro::fuzz
