#include "edit/staging_batch.h"

namespace vantoro {

StagingBatch::Fit StagingBatch::fit(std::int64_t dataSize) const {
    if (dataSize < 0) return Fit::TooLarge;
    const std::uint64_t entrySize = static_cast<std::uint64_t>(dataSize) + kPackEntryHeaderSize;
    if (entrySize > kStagingCapacity) return Fit::TooLarge;
    if (m_bytes.size() + entrySize > kStagingCapacity) return Fit::FlushFirst;
    return Fit::Fits;
}

void StagingBatch::add(const PackEntryHeaderBytes& header, std::span<const std::uint8_t> data) {
    m_offsets.push_back(static_cast<std::int32_t>(m_bytes.size()));
    m_bytes.insert(m_bytes.end(), header.begin(), header.end());
    m_bytes.insert(m_bytes.end(), data.begin(), data.end());
}

void StagingBatch::addPlaceholder() {
    m_offsets.push_back(-1);
}

void StagingBatch::clear() {
    m_bytes.clear();
    m_offsets.clear();
}

}  // namespace vantoro
