// A read-only view of a file's bytes, so that readers decode straight from
// the page cache instead of having the kernel copy every record out of it
// first (for raw images that copy was half of the decode).
//
// A mapping has one hazard that a read does not: when another program
// shrinks the file while it is mapped (a client folder copied over the one
// being browsed), touching the lost pages raises SIGBUS. A process-wide
// handler catches exactly those faults, puts zero pages in place of the whole
// mapping and marks it damaged, so the read that touched it goes on with
// zeros and the reader reports the change instead of the program dying.
// Faults anywhere else go on to the handler that was there before.
//
// A mapping for writing (an edit moving bytes inside the file) is repaired
// the same way, with writable zero pages: what is written there after the
// fault is lost, and the writer, seeing the damage, reports the edit failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace vantoro {

class MappedFile {
public:
    // The first `size` bytes of the open file `fd`, or nothing when they
    // cannot be mapped (no address space left, a file system without
    // mappings, an empty file, too many mappings at once): the caller then
    // reads as before.
    static std::unique_ptr<MappedFile> map(int fd, std::uint64_t size);
    // `size` bytes from `offset` (a multiple of the page size) of `fd`, open
    // for reading and writing, mapped shared for writing; nothing when they
    // cannot be mapped.
    static std::unique_ptr<MappedFile> mapForWriting(int fd, std::uint64_t offset,
                                                     std::uint64_t size);
    ~MappedFile();

    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<const std::uint8_t> bytes() const { return {m_start, m_size}; }
    // Empty unless mapped for writing.
    std::span<std::uint8_t> writableBytes() const;

    // True once a fault inside the mapping was caught: its bytes read as
    // zeros from then on, whatever the file holds.
    bool damaged() const;

private:
    MappedFile(std::uint8_t* start, std::size_t size, int slot, bool writable)
        : m_start(start), m_size(size), m_slot(slot), m_writable(writable) {}
    static std::unique_ptr<MappedFile> mapRange(int fd, std::uint64_t offset, std::uint64_t size,
                                                bool writable);

    std::uint8_t* m_start;
    std::size_t m_size;
    int m_slot;  // this mapping's place in the fault handler's table
    bool m_writable;
};

}  // namespace vantoro
