#include "fuzz/archive_inputs.h"

#include <zlib.h>

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
    ArchiveTarget{"pack_journal", K::MyImage, "f.pak", "f.pak.journal", "", true},
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

void sealJournal(std::vector<std::uint8_t>& journal, std::span<const std::uint8_t> pack) {
    constexpr std::size_t kSizeAt = 52, kPackSizeAt = 60, kHeadLengthAt = 49, kHeadAt = 68;
    constexpr std::size_t kHeadBytes = 64, kCrcAt = 132, kSlotsAt = 136, kSlotSize = 32;
    constexpr std::size_t kSlotCrcAt = 28, kAreasAt = 200;
    if (journal.size() < kAreasAt) return;
    const auto crcOf = [](std::uint32_t crc, const std::uint8_t* bytes, std::size_t size) {
        return static_cast<std::uint32_t>(::crc32(crc, bytes, static_cast<uInt>(size)));
    };
    const std::uint64_t size = journal.size();
    encodeU32(&journal[kSizeAt], static_cast<std::uint32_t>(size));
    encodeU32(&journal[kSizeAt + 4], static_cast<std::uint32_t>(size >> 32));
    // The pack's size and head as the journal's identity, unless the input's
    // own head-length byte asks for a mismatch (odd values), which is then
    // kept for the journal set aside.
    if (journal[kHeadLengthAt] % 2 == 0) {
        const std::size_t head = std::min(kHeadBytes, pack.size());
        journal[kHeadLengthAt] = static_cast<std::uint8_t>(head);
        encodeU32(&journal[kPackSizeAt], static_cast<std::uint32_t>(pack.size()));
        encodeU32(&journal[kPackSizeAt + 4], 0);
        std::fill_n(journal.begin() + kHeadAt, kHeadBytes, 0);
        std::copy_n(pack.begin(), head, journal.begin() + kHeadAt);
    }
    for (std::size_t slot = kSlotsAt; slot < kAreasAt; slot += kSlotSize) {
        encodeU32(&journal[slot + kSlotCrcAt], crcOf(0, &journal[slot], kSlotCrcAt));
    }
    // The writes follow the two save areas, when the journal has them.
    const std::uint64_t pieceBytes = decodeU32(&journal[44]);
    const std::uint64_t writesAt = kAreasAt + (journal[48] == 1 ? 2 * pieceBytes : 0);
    if (writesAt > size) return;
    std::uint32_t crc = crcOf(0, journal.data(), kCrcAt);
    crc = crcOf(crc, journal.data() + writesAt, static_cast<std::size_t>(size - writesAt));
    encodeU32(&journal[kCrcAt], crc);
}

}  // namespace vantoro::fuzz
