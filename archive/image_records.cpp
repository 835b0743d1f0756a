#include "archive/image_records.h"

#include <string>

namespace vantoro {

Result<std::vector<std::int32_t>> readOffsetTable(FileStream& file,
                                                  const OffsetTableLayout& layout) {
    if (file.seek(layout.headerStart) != layout.headerStart) {
        return fail("index header cannot be reached");
    }
    const auto header = file.readBytes(layout.headerSize);
    if (!header || layout.countAt + 4 > header->size()) return fail("index header is cut short");
    const std::int32_t count = decodeI32(header->data() + layout.countAt);
    if (count < 0 || count > kMaxIndexCount) {
        return fail("index count " + std::to_string(count) + " is outside 0.." +
                    std::to_string(kMaxIndexCount));
    }
    const auto table = file.readBytes(4 * static_cast<std::uint64_t>(count));
    if (!table) {
        return fail("index count " + std::to_string(count) +
                    " names more offsets than the index file holds");
    }
    std::vector<std::int32_t> offsets(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < offsets.size(); ++i) offsets[i] = decodeI32(table->data() + 4 * i);
    return offsets;
}

}  // namespace vantoro
