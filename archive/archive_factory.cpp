// CreateWMImages: one table from archive kind to the class that reads it.
// A new format is one include and one line here.
#include <memory>

#include "archive/wil.h"

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
    {TWMImagesKind::M2Def, nullptr},
    {TWMImagesKind::M2DefBit16, nullptr},
    {TWMImagesKind::M2Wis, nullptr},
    {TWMImagesKind::MyImage, nullptr},
    {TWMImagesKind::M3Def, nullptr},
    {TWMImagesKind::WoolDef, nullptr},
    {TWMImagesKind::W521gDef, nullptr},
    {TWMImagesKind::M2Zip, nullptr},
    {TWMImagesKind::M3Zip, nullptr},
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
