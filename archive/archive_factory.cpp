// CreateWMImages: one table from archive kind to the class that reads it.
// A new format is one include and one line here.
#include <memory>

#include "archive/m2_def_images.h"
#include "archive/m2_wis_images.h"
#include "archive/m2_zip_images.h"
#include "archive/m3_def_images.h"
#include "archive/m3_zip_images.h"
#include "archive/wil.h"
#include "archive/woool_images.h"
#include "archive/wuyi_images.h"

namespace vantoro {
namespace {

using Creator = std::unique_ptr<TWMBaseImages> (*)();

template <typename Archive>
std::unique_ptr<TWMBaseImages> make() {
    return std::make_unique<Archive>();
}

struct KindEntry {
    TWMImagesKind kind;
    Creator create;
};

// A kind whose creator is null has no class yet and gives none.
constexpr KindEntry kKinds[] = {
    {TWMImagesKind::M2Def, &make<TWMM2DefImages>},
    {TWMImagesKind::M2DefBit16, &make<TWMM2DefBit16Images>},
    {TWMImagesKind::M2Wis, &make<TWMM2WisImages>},
    {TWMImagesKind::MyImage, nullptr},
    {TWMImagesKind::M3Def, &make<TWMM3DefImages>},
    {TWMImagesKind::WoolDef, &make<TWMWoolDefImages>},
    {TWMImagesKind::W521gDef, &make<TWM521gDefImages>},
    {TWMImagesKind::M2Zip, &make<TWMM2ZipImages>},
    {TWMImagesKind::M3Zip, &make<TWMM3ZipImages>},
};

}  // namespace

std::unique_ptr<TWMBaseImages> CreateWMImages(std::uint8_t kind) {
    const auto wanted = static_cast<TWMImagesKind>(kind & 0x7F);
    for (const KindEntry& entry : kKinds) {
        if (entry.kind == wanted) return entry.create ? entry.create() : nullptr;
    }
    return nullptr;
}

}  // namespace vantoro
