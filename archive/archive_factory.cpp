// CreateWMImages: one table from archive kind to the class that reads it.
// A new format is one include and one line here.
#include <array>
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

// Kind 3 (the pack) has no class yet and gives none.
constexpr std::array<KindEntry, 0> kKinds = {{
}};

}  // namespace

std::unique_ptr<TWMBaseImages> CreateWMImages(std::uint8_t kind) {
    const auto wanted = static_cast<TWMImagesKind>(kind & 0x7F);
    for (const KindEntry& entry : kKinds) {
        if (entry.kind == wanted) return entry.create();
    }
    return nullptr;
}

}  // namespace vantoro
