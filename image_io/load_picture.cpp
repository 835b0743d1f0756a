#include "image_io/load_picture.h"

#include <algorithm>
#include <new>
#include <utility>

#include "image_io/tga_reader.h"
#include "io/file_names.h"

namespace vantoro {
namespace {

bool hasTgaName(const std::string& fileName) {
    return fileName.size() >= 3 && equalsIgnoringCase(fileName.substr(fileName.size() - 3), "tga");
}

void widenToEvenWidth(Picture& picture) {
    if (picture.width % 2 == 0) return;
    Picture wider = allocatePicture(picture.width + 1, picture.height, picture.hasAlpha);
    wider.rgb565 = picture.rgb565;
    for (std::uint32_t y = 0; y < picture.height; ++y)
        std::copy_n(picture.row(y), picture.stride(), wider.row(y));
    picture = std::move(wider);
}

Result<Picture> decodeImport(std::span<const std::uint8_t> bytes, const std::string& fileName) {
    switch (pictureKindOf(bytes)) {
        case PictureKind::Bmp:
            return decodeBmp(bytes);
        case PictureKind::Png:
            return decodePng(bytes);
        case PictureKind::Jpeg:
        case PictureKind::Unknown:
            break;
    }
    if (hasTgaName(fileName)) return decodeTga(bytes);
    return fail("not a bmp, png or tga picture");
}

// The file decoded; its bytes are let go on return, before the picture is
// widened, so the file, the picture and its wider copy are never held at once.
Result<Picture> decodeFile(const std::string& fileName) {
    const Result<FileBytes> bytes = readPictureFile(fileName);
    if (!bytes) return fail(bytes.error());
    Result<Picture> picture =
        decodeImport(std::span<const std::uint8_t>(bytes->data(), bytes->size()), fileName);
    if (!picture) return fail(fileName + ": " + picture.error());
    return picture;
}

}  // namespace

bool LoadPngWithAlpha(std::span<const std::uint8_t> bytes, Picture& picture) {
    Result<Picture> decoded = decodePng(bytes);
    if (!decoded) return false;
    picture = std::move(*decoded);
    return true;
}

Result<Picture> LoadPicture(const std::string& fileName) {
    try {
        Result<Picture> picture = decodeFile(fileName);
        if (picture) widenToEvenWidth(*picture);
        return picture;
    } catch (const std::bad_alloc&) {
        return fail(fileName + ": " + std::string(kPictureNoMemory));
    }
}

}  // namespace vantoro
