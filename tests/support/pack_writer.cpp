#include "tests/support/pack_writer.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "archive/pack_cipher.h"
#include "archive/pack_rle.h"

namespace vantoro::testing {
namespace {

Bytes deflated(const Bytes& raw) {
    uLongf size = compressBound(raw.size());
    Bytes out(size);
    if (compress2(out.data(), &size, raw.data(), raw.size(), 6) != Z_OK) return {};
    out.resize(size);
    return out;
}

}  // namespace

Bytes packStoredData(const PackEntry& entry) {
    if (!entry.compressed) return entry.payload;
    if (entry.dataType != 31) return deflated(entry.payload);
    const std::size_t bpp = entry.pixelFormat < 3 ? 2 : 4;
    const std::size_t pixels = entry.payload.size() / bpp;
    Bytes code(RleEncodeBound(bpp, pixels));
    code.resize(RleEncode(entry.payload, code, bpp, pixels).value_or(0));
    return code;
}

TPackEntryHeader packEntryHeader(const PackEntry& entry, std::size_t storedSize) {
    return {entry.width,
            entry.height,
            entry.x,
            entry.y,
            0x7FFFFFF1,
            entry.pixelFormat,
            static_cast<std::int32_t>(storedSize),
            entry.dataType,
            static_cast<std::uint8_t>(entry.compressed)};
}

PackBytes buildPack(const std::vector<PackEntry>& entries, const PackOptions& options) {
    PackBytes pack;
    Bytes& out = pack.data;
    out.assign(64, 0);
    std::memcpy(out.data(), "PACK4.0 - zeqon", 15);
    const bool locked = !options.password.empty();
    if (locked) {
        const DesBlock check = packCheckBlock(options.password);
        std::copy(check.begin(), check.end(), out.begin() + 15);
        out[23] = 1;
    }
    const auto time = std::bit_cast<std::uint64_t>(45429.5);
    setU32At(out, 52, static_cast<std::uint32_t>(time));
    setU32At(out, 56, static_cast<std::uint32_t>(time >> 32));

    RandomSource random(7);
    for (const PackEntry& entry : entries) {
        if (entry.dataType == 0) {
            pack.slots.push_back(0);
            continue;
        }
        pack.slots.push_back(static_cast<std::int32_t>(out.size()));
        Bytes data = packStoredData(entry);
        const auto bytes = PackEntryHeader(packEntryHeader(entry, data.size()), random);
        out.insert(out.end(), bytes->begin(), bytes->end());
        CipherEntryData(locked, options.password, data, true);
        putBytes(out, data);
    }

    pack.indexOffset = out.size();
    setU32At(out, 36, static_cast<std::uint32_t>(pack.indexOffset << 16) | 0x1234u);
    setU32At(out, 40, static_cast<std::uint32_t>(pack.indexOffset & 0xFFFF0000u) | 0xABCDu);
    setU32At(out, locked ? 24 : 48, static_cast<std::uint32_t>(pack.slots.size()));
    Bytes index(static_cast<std::size_t>(40 + options.fillerDelta), 0x5A);
    for (const std::int32_t slot : pack.slots) putU32(index, static_cast<std::uint32_t>(slot));
    if (options.compressIndex) {
        index = deflated(index);
        setU32At(out, 44, static_cast<std::uint32_t>(index.size()));
    } else {
        index.erase(index.begin(), index.begin() + 40);
    }
    putBytes(out, index);
    return pack;
}

PackBytes writePack(const std::string& path, const std::vector<PackEntry>& entries,
                    const PackOptions& options) {
    PackBytes pack = buildPack(entries, options);
    writeFile(path, pack.data);
    return pack;
}

PackBytes writeSparsePack(const std::string& path, const std::vector<PackEntry>& entries,
                          std::uint32_t indexAt) {
    PackBytes pack = buildPack(entries);
    const Bytes index(pack.data.begin() + pack.indexOffset, pack.data.end());
    pack.data.resize(pack.indexOffset);
    setU32At(pack.data, 36, indexAt << 16);
    setU32At(pack.data, 40, indexAt & 0xFFFF0000u);
    writeFile(path, pack.data);
    std::filesystem::resize_file(path, indexAt);
    std::ofstream(path, std::ios::binary | std::ios::app)
        .write(reinterpret_cast<const char*>(index.data()),
               static_cast<std::streamsize>(index.size()));
    pack.indexOffset = indexAt;
    return pack;
}

PackEntry packImage(std::uint16_t width, std::uint16_t height, std::uint8_t pixelFormat,
                    bool compressed, std::uint32_t seed) {
    PackEntry entry{31, width,       height, static_cast<std::int16_t>(seed),
                    -3, pixelFormat, {},     compressed};
    const std::size_t bpp = pixelFormat < 3 ? 2 : 4;
    for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
        // Runs of four, a transparent first pixel and a black (alpha only) second.
        const std::uint32_t value = i == 0   ? 0
                                    : i == 1 ? 0xFF00F000u
                                             : (i / 4 + seed) * 0x9E3779B9u;
        for (std::size_t b = 0; b < bpp; ++b) entry.payload.push_back(value >> (8 * b));
    }
    return entry;
}

PackEntry packFile(std::uint8_t dataType, std::size_t size, bool compressed, std::uint32_t seed) {
    PackEntry entry{dataType, 0, 0, 0, 0, 0, {}, compressed};
    for (std::size_t i = 0; i < size; ++i) entry.payload.push_back((i / 7 + seed) * 31);
    return entry;
}

}  // namespace vantoro::testing
