// The bytes a move inside a file touches, mapped, so that the move runs as
// memmove in the page cache: a read and a write per piece copy every byte
// twice between the kernel and the program, and the writes pay the file
// system's bookkeeping for each block besides.
//
// A page of a fresh mapping faults the first time it is touched, and faulting
// page by page would cost more than the copy saved. A helper thread instead
// populates the mapping for writing (MADV_POPULATE_WRITE) a chunk at a time,
// ahead of the move in the order it walks, so the move seldom waits and does
// not fault. Populating also turns what would be a SIGBUS at the first touch
// (no space for a hole of the file, a read error) into an error code: a chunk
// that cannot be populated, or that the file-fault seam refuses (FileOp::Map),
// ends the mapped part of the move, and the caller carries on with reads and
// writes from where it got. The first chunk is populated before the mapping
// is handed out, so that where populating is not possible at all the edit
// knows before it starts, and a move of one chunk needs no helper.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "io/mapped_file.h"

namespace vantoro {

enum class Walk : std::uint8_t { FrontToBack, BackToFront };

class MoveMapping {
public:
    // The file's bytes [low, high) of the open file `fd`, to be moved walking
    // `walk`; nothing when they cannot be mapped.
    static std::unique_ptr<MoveMapping> start(int fd, std::int64_t low, std::int64_t high,
                                              Walk walk);
    // Stops the helper before the mapping goes.
    ~MoveMapping();

    MoveMapping(const MoveMapping&) = delete;
    MoveMapping& operator=(const MoveMapping&) = delete;

    // Waits until the bytes [at, at + length) may be touched; false when they
    // never will be. The ranges asked for must follow the walk.
    bool ready(std::int64_t at, std::int64_t length);
    // The byte at file offset `offset`, inside a range ready() allowed.
    std::uint8_t* at(std::int64_t offset) const { return m_bytes + (offset - m_low); }
    // A fault inside the mapping was caught (the file was cut short by another
    // program, or could not be read): what was written since is lost.
    bool damaged() const { return m_map->damaged(); }

private:
    MoveMapping(int fd, std::unique_ptr<MappedFile> map, std::int64_t low, std::int64_t high,
                Walk walk);
    // The file's bytes of chunk `n`, counted in walking order.
    std::int64_t chunkStart(std::int64_t n) const;
    std::int64_t chunkEnd(std::int64_t n) const;
    bool populateChunk(std::int64_t n);
    // The helper's work: the chunks after the first, in walking order.
    void populate(const std::stop_token& stop);

    int m_fd;
    std::unique_ptr<MappedFile> m_map;
    std::uint8_t* m_bytes;
    std::int64_t m_low;   // the file offset m_bytes maps, a page boundary
    std::int64_t m_high;  // the end of the range mapped
    Walk m_walk;
    std::int64_t m_chunks;
    std::int64_t m_asked = 0;  // chunks the seam has let the move into
    bool m_refused = false;    // by the seam, for the rest of the move
    // Chunks populated so far, or kFailed.
    std::atomic<std::int64_t> m_populated{0};
    std::jthread m_helper;
};

}  // namespace vantoro
