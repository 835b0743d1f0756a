#include "tests/app/pack_files.h"

#include "tests/support/pack_writer.h"

namespace vantoro::testing {

void writeImagePack(const std::string& path, int count, const std::string& password) {
    std::vector<PackEntry> entries;
    for (int i = 0; i < count; ++i) {
        PackEntry entry =
            packImage(static_cast<std::uint16_t>(4 + i), static_cast<std::uint16_t>(3 + i), 1,
                      false, static_cast<std::uint32_t>(i + 1));
        entry.x = static_cast<std::int16_t>(i);
        entry.y = static_cast<std::int16_t>(-i);
        entries.push_back(entry);
    }
    PackOptions options;
    options.password = password;
    writePack(path, entries, options);
}

}  // namespace vantoro::testing
