// The sound type an import gives a file, told by its first bytes.
#include <cstdint>
#include <string>

#include "edit/source_files.h"
#include "fuzz/scratch_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = vantoro::fuzz::writeScratchFile("sound", {data, size});
    (void)vantoro::DetectSoundType(path);
    return 0;
}
