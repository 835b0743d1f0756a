#include "fuzz/archive_inputs.h"

#include <algorithm>
#include <array>

#include "io/byte_reader.h"

namespace vantoro::fuzz {
namespace {

using K = TWMImagesKind;

constexpr std::array kTargets = {
    ArchiveTarget{"archive_m2_def", K::M2Def, "f.wil", "f.wix", ""},
    ArchiveTarget{"archive_m2_def16", K::M2DefBit16, "f.wil", "f.wix", ""},
    ArchiveTarget{"archive_m2_wis", K::M2Wis, "f.wis", "", ""},
    ArchiveTarget{"archive_m2_zip", K::M2Zip, "f.wzl", "f.wzx", ""},
    ArchiveTarget{"archive_m3_def", K::M3Def, "f.wil", "f.wix", ""},
    ArchiveTarget{"archive_m3_zip", K::M3Zip, "f.miz", "f.mix", ""},
    ArchiveTarget{"archive_woool", K::WoolDef, "f.sgl", "", ""},
    ArchiveTarget{"archive_wuyi", K::W521gDef, "f.521g", "", ""},
    ArchiveTarget{"pack", K::MyImage, "f.pak", "", ""},
    // The password the seed packs are protected with: with it the cipher
    // and the password check are passed and the entries read.
    ArchiveTarget{"pack_password", K::MyImage, "f.pak", "", "pass"},
};

}  // namespace

std::span<const ArchiveTarget> archiveTargets() {
    return kTargets;
}

const ArchiveTarget* findArchiveTarget(std::string_view name) {
    const auto* found = std::ranges::find(kTargets, name, &ArchiveTarget::name);
    return found == kTargets.end() ? nullptr : found;
}

ArchiveFiles splitArchiveInput(const ArchiveTarget& target, std::span<const std::uint8_t> input) {
    if (target.indexName.empty()) return {input, {}, false};
    if (input.size() < 4) return {input, {}, false};
    const std::size_t rest = input.size() - 4;
    const std::size_t indexSize = std::min<std::size_t>(decodeU32(input.data()), rest);
    return {input.subspan(4 + indexSize), input.subspan(4, indexSize), true};
}

std::vector<std::uint8_t> joinArchiveInput(const ArchiveTarget& target,
                                           std::span<const std::uint8_t> data,
                                           std::span<const std::uint8_t> index) {
    std::vector<std::uint8_t> input;
    if (!target.indexName.empty()) {
        const auto size = static_cast<std::uint32_t>(index.size());
        for (int shift = 0; shift < 32; shift += 8) input.push_back((size >> shift) & 0xFF);
        input.insert(input.end(), index.begin(), index.end());
    }
    input.insert(input.end(), data.begin(), data.end());
    return input;
}

}  // namespace vantoro::fuzz
