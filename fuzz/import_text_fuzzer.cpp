// The numbers import reads from text: the fixed offsets and offsets edits
// typed into the dialog, and the offsets files beside the pictures.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "edit/import_text.h"
#include "fuzz/scratch_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantoro;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)parseIntegerText(text);
    (void)SplitToken(text);
    (void)parseFixedOffsets(text);
    if (const auto edit = parseOffsetsEdit(text)) {
        (void)edit->x.applyTo(INT16_MIN);
        (void)edit->y.applyTo(INT16_MAX);
    }
    const std::string path = fuzz::writeScratchFile("offsets.txt", {data, size});
    (void)readOffsetsFile(path);
    (void)readFirstLineOffsets(path);
    return 0;
}
