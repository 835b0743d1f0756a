// Insert and overwrite imports do not open the pack's tail once per file:
// they collect entries in a staging buffer of at most 52,428,800 bytes and
// move the tail once per batch. Each collected entry is its 23-byte header
// followed by its stored data (already enciphered where the pack asks for
// it); the batch list gives, per entry, where it starts in the buffer, or
// -1 for an empty slot that keeps a failed file's number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "archive/pack_entry_header.h"

namespace vantoro {

inline constexpr std::uint64_t kStagingCapacity = 52428800;

class StagingBatch {
public:
    enum class Fit : std::uint8_t {
        Fits,        // add it
        FlushFirst,  // write the batch out, then add it
        TooLarge,    // it never fits a batch ("内存溢出"): the run ends
    };
    // Where an entry of `dataSize` stored bytes stands; negative sizes are
    // too large.
    Fit fit(std::int64_t dataSize) const;

    // Only after fit() answered Fits for data.size().
    void add(const PackEntryHeaderBytes& header, std::span<const std::uint8_t> data);
    void addPlaceholder();

    std::span<const std::uint8_t> bytes() const { return m_bytes; }
    const std::vector<std::int32_t>& offsets() const { return m_offsets; }
    std::int32_t count() const { return static_cast<std::int32_t>(m_offsets.size()); }
    // Nothing to flush: no bytes and no empty slots.
    bool empty() const { return m_offsets.empty(); }
    void clear();

private:
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::int32_t> m_offsets;
};

}  // namespace vantoro
