// A plan of file faults that stops every write, sync, size change and rename
// from the Nth on (EIO), as a program killed there; with N = 0 it only counts
// them. Installed for its lifetime.
#pragma once

#include <cerrno>
#include <cstdint>

#include "io/file_writes.h"

namespace vantoro::testing {

class StopAt final : public ScopedFileFaults {
public:
    explicit StopAt(int n) : m_n(n) {}
    int before(FileOp, int, std::int64_t, std::int64_t) override {
        ++m_seen;
        return m_n > 0 && m_seen >= m_n ? EIO : 0;
    }
    int seen() const { return m_seen; }

private:
    int m_n;
    int m_seen = 0;
};

}  // namespace vantoro::testing
