#include "io/file_view.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vantoro {

FileView::FileView(std::int64_t size) : m_size(std::max<std::int64_t>(size, 0)) {
    if (m_size > 0) m_extents.push_back({0, m_size, 0, nullptr, 0});
}

void FileView::showFile(std::int64_t at, std::int64_t length, std::int64_t fileOffset) {
    if (at < 0 || length <= 0 || fileOffset < 0) return;
    place({at, length, fileOffset, nullptr, 0});
}

void FileView::showBytes(std::int64_t at, std::vector<std::uint8_t> bytes) {
    if (at < 0 || bytes.empty()) return;
    const auto length = static_cast<std::int64_t>(bytes.size());
    place({at, length, 0, std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes)), 0});
}

void FileView::cut(std::int64_t size) {
    size = std::max<std::int64_t>(size, 0);
    if (size >= m_size) return;
    std::erase_if(m_extents, [size](const Extent& e) { return e.at >= size; });
    if (!m_extents.empty()) {
        Extent& last = m_extents.back();
        last.length = std::min(last.length, size - last.at);
    }
    m_size = size;
}

void FileView::place(Extent extent) {
    const std::int64_t start = extent.at;
    const std::int64_t end = start + extent.length;
    // A gap between the old end and the new bytes reads as zeros, as a file
    // written past its end does.
    if (start > m_size) place({m_size, start - m_size, kZeros, nullptr, 0});
    std::vector<Extent> kept;
    kept.reserve(m_extents.size() + 2);
    for (const Extent& e : m_extents) {
        const std::int64_t eEnd = e.at + e.length;
        if (eEnd <= start || e.at >= end) {
            kept.push_back(e);
            continue;
        }
        if (e.at < start) {
            Extent head = e;
            head.length = start - e.at;
            kept.push_back(head);
        }
        if (eEnd > end) {
            Extent tail = e;
            const std::int64_t skipped = end - e.at;
            tail.at = end;
            tail.length = eEnd - end;
            if (tail.fileOffset != kZeros) tail.fileOffset += skipped;
            tail.bytesOffset += skipped;
            kept.push_back(tail);
        }
    }
    kept.push_back(std::move(extent));
    std::sort(kept.begin(), kept.end(),
              [](const Extent& a, const Extent& b) { return a.at < b.at; });
    m_extents = std::move(kept);
    m_size = std::max(m_size, end);
}

std::size_t FileView::read(int fd, std::int64_t at, std::span<std::uint8_t> buffer) const {
    std::size_t done = 0;
    auto e =
        std::upper_bound(m_extents.begin(), m_extents.end(), at,
                         [](std::int64_t position, const Extent& x) { return position < x.at; });
    if (e == m_extents.begin()) return 0;
    for (--e; e != m_extents.end() && done < buffer.size(); ++e) {
        const std::int64_t position = at + static_cast<std::int64_t>(done);
        const std::int64_t into = position - e->at;
        if (into < 0 || into >= e->length) break;
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
            e->length - into, static_cast<std::int64_t>(buffer.size() - done)));
        std::uint8_t* target = buffer.data() + done;
        if (e->bytes) {
            std::memcpy(target, e->bytes->data() + e->bytesOffset + into, want);
            done += want;
            continue;
        }
        if (e->fileOffset == kZeros) {
            std::memset(target, 0, want);
            done += want;
            continue;
        }
        std::size_t got = 0;
        while (got < want) {
            const ssize_t n =
                ::pread(fd, target + got, want - got,
                        static_cast<off_t>(e->fileOffset + into) + static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return done + got;
            got += static_cast<std::size_t>(n);
        }
        done += got;
    }
    return done;
}

}  // namespace vantoro
