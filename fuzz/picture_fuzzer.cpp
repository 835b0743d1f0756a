// The picture readers: BMP, PNG and JPEG by signature, TGA (which has
// none) on every input, and the import's PNG path that keeps alpha.
#include <cstdint>
#include <span>

#include "image_io/load_picture.h"
#include "image_io/picture_reader.h"
#include "image_io/tga_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantoro;
    const std::span<const std::uint8_t> bytes(data, size);
    (void)decodePicture(bytes);
    (void)decodeTga(bytes);
    if (pictureKindOf(bytes) == PictureKind::Png) {
        Picture picture;
        (void)LoadPngWithAlpha(bytes, picture);
    }
    return 0;
}
