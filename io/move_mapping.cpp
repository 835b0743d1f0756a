#include "io/move_mapping.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "io/file_writes.h"

namespace vantoro {
namespace {

// Populating this much takes a small part of the time moving it does, so
// the helper soon runs ahead and the move waits only for the first chunk.
constexpr std::int64_t kChunk = std::int64_t{4} << 20;
constexpr std::int64_t kFailed = -1;

std::int64_t pageSize() {
    static const std::int64_t size = ::sysconf(_SC_PAGESIZE);
    return size;
}

}  // namespace

std::unique_ptr<MoveMapping> MoveMapping::start(int fd, std::int64_t low, std::int64_t high,
                                                Walk walk) {
    if (low < 0 || high <= low || fileFault(FileOp::Map, fd, low, high - low) != 0) return nullptr;
    const std::int64_t mappedLow = low - low % pageSize();
    auto map = MappedFile::mapForWriting(fd, static_cast<std::uint64_t>(mappedLow),
                                         static_cast<std::uint64_t>(high - mappedLow));
    if (!map) return nullptr;
    std::unique_ptr<MoveMapping> mapping(
        new MoveMapping(fd, std::move(map), mappedLow, high, walk));
    // The first chunk here: a kernel or file system that cannot populate
    // fails now, and the edit chooses its pieces for reads and writes.
    if (!mapping->populateChunk(0)) return nullptr;
    mapping->m_populated.store(1, std::memory_order_relaxed);
    if (mapping->m_chunks == 1) return mapping;  // all of it populated: no helper needed
    try {
        mapping->m_helper =
            std::jthread([raw = mapping.get()](std::stop_token stop) { raw->populate(stop); });
    } catch (const std::system_error&) {
        return nullptr;  // no thread to be had: the move reads and writes
    }
    return mapping;
}

MoveMapping::MoveMapping(int fd, std::unique_ptr<MappedFile> map, std::int64_t low,
                         std::int64_t high, Walk walk)
    : m_fd(fd),
      m_map(std::move(map)),
      m_bytes(m_map->writableBytes().data()),
      m_low(low),
      m_high(high),
      m_walk(walk),
      m_chunks((high - low + kChunk - 1) / kChunk) {}

MoveMapping::~MoveMapping() {
    m_helper.request_stop();
    if (m_helper.joinable()) m_helper.join();
}

std::int64_t MoveMapping::chunkStart(std::int64_t n) const {
    if (m_walk == Walk::FrontToBack) return m_low + n * kChunk;
    return std::max(m_low, m_high - (n + 1) * kChunk);
}

std::int64_t MoveMapping::chunkEnd(std::int64_t n) const {
    if (m_walk == Walk::FrontToBack) return std::min(m_high, m_low + (n + 1) * kChunk);
    return m_high - n * kChunk;
}

bool MoveMapping::populateChunk(std::int64_t n) {
    // Whole pages from the one holding the chunk's first byte.
    const std::int64_t start = chunkStart(n) - (chunkStart(n) - m_low) % pageSize();
    return ::madvise(at(start), static_cast<std::size_t>(chunkEnd(n) - start),
                     MADV_POPULATE_WRITE) == 0;
}

void MoveMapping::populate(const std::stop_token& stop) {
    for (std::int64_t n = 1; n < m_chunks && !stop.stop_requested(); ++n) {
        if (!populateChunk(n)) {
            m_populated.store(kFailed, std::memory_order_release);
            m_populated.notify_all();
            return;
        }
        m_populated.store(n + 1, std::memory_order_release);
        m_populated.notify_all();
    }
}

bool MoveMapping::ready(std::int64_t at, std::int64_t length) {
    if (m_refused || at < m_low || length <= 0 || length > m_high - at) return false;
    // The last chunk the range reaches into, in walking order.
    const std::int64_t last = m_walk == Walk::FrontToBack ? (at + length - 1 - m_low) / kChunk
                                                          : (m_high - 1 - at) / kChunk;
    for (; m_asked <= last; ++m_asked) {
        const std::int64_t start = chunkStart(m_asked);
        if (fileFault(FileOp::Map, m_fd, start, chunkEnd(m_asked) - start) != 0) {
            m_refused = true;
            return false;
        }
    }
    for (std::int64_t populated = m_populated.load(std::memory_order_acquire); populated <= last;
         populated = m_populated.load(std::memory_order_acquire)) {
        if (populated == kFailed) return false;
        m_populated.wait(populated, std::memory_order_acquire);
    }
    return true;
}

}  // namespace vantoro
