#include "archive/image_records.h"

#include <string>

namespace vantoro {

Result<std::vector<std::int32_t>> readOffsetTable(FileStream& file,
                                                  const OffsetTableLayout& layout) {
    if (file.seek(layout.headerStart) != layout.headerStart) {
        return fail("index header cannot be reached");
    }
    const auto header = file.readBytes(layout.headerSize);
    if (!header) return fail("index header is cut short");
    const auto stated = fieldsAt(*header, layout.countAt).readI32();
    if (!stated) return fail("index header is cut short");
    const std::int32_t count = *stated;
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
    ByteReader reader(*table);
    for (std::int32_t& offset : offsets) {
        const auto value = reader.readI32();
        if (!value) return fail("index table is cut short");
        offset = *value;
    }
    return offsets;
}

}  // namespace vantoro
