// vantoro-test-pack-append PACK LEVEL:FILE...
//
// Appends each FILE to the pack as a data entry, as an append-mode import
// stores data files: deflated at LEVEL (1..9), or stored as it is for level
// 0; then saves the index. Stands in for the import in the interop tests.
#include <cstdio>
#include <string>

#include "archive/my_image_images.h"
#include "edit/source_files.h"

int main(int argc, char** argv) {
    using namespace vantoro;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PACK LEVEL:FILE...\n", argv[0]);
        return 2;
    }
    TWMMyImageImages pack;
    pack.FFileName = argv[1];
    pack.FUseTextureCache = false;
    if (!pack.Initialize() || !pack.canEdit()) {
        std::fprintf(stderr, "%s: cannot edit\n", argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string item = argv[i];
        const int level = item.empty() ? 0 : item[0] - '0';
        const std::string file = item.substr(2);
        const SourceFileData source = ReadSourceFile(file, level > 0, FileSizeOf(file), level);
        if (!source.data) {
            std::fprintf(stderr, "%s: %s\n", file.c_str(), source.error.c_str());
            return 1;
        }
        TPackEntryHeader header{};
        header.dataType = kDataTypeRaw;
        header.dataLength = static_cast<std::int32_t>(source.data->size());
        header.compressed = level > 0 ? 1 : 0;
        if (!pack.AppendEntry(header, *source.data)) {
            std::fprintf(stderr, "%s: cannot append: %s\n", file.c_str(), pack.lastError().c_str());
            return 1;
        }
    }
    return pack.SaveIndex() == 1 ? 0 : 1;
}
