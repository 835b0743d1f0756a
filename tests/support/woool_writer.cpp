#include "tests/support/woool_writer.h"

#include <algorithm>

namespace vantoro::testing {
namespace {

constexpr std::size_t kFileHeaderSize = 40;
constexpr std::size_t kTableAtField = 36;
constexpr std::size_t kFileBytesPerGroup = 20;
constexpr std::size_t kTileSide = 256;
constexpr std::size_t kMaxCount = 127;

std::size_t runLengthAt(std::span<const std::uint16_t> words, std::size_t at) {
    std::size_t n = 1;
    while (at + n < words.size() && n < kMaxCount && words[at + n] == words[at]) ++n;
    return n;
}

void putLiteral(Bytes& out, std::span<const std::uint16_t> words) {
    putU8(out, static_cast<std::uint8_t>(0x80u | words.size()));
    for (const std::uint16_t w : words) putU16(out, w);
}

WooolTile cutTile(const WooolImage& image, std::size_t x0, std::size_t y0) {
    WooolTile tile;
    tile.width = static_cast<std::uint16_t>(std::min(kTileSide, image.width - x0));
    tile.height = static_cast<std::uint16_t>(std::min(kTileSide, image.height - y0));
    std::vector<std::uint16_t> words;
    words.reserve(static_cast<std::size_t>(tile.width) * tile.height);
    for (std::size_t y = y0; y < y0 + tile.height; ++y) {
        const auto* row = image.pixels.data() + y * image.width;
        words.insert(words.end(), row + x0, row + x0 + tile.width);
    }
    tile.code = encodeWooolTile(words);
    return tile;
}

void putFrame(Bytes& out, const WooolFrame& frame, WooolFrameLayout& layout) {
    layout.offset = out.size();
    putU16(out, frame.width);
    putU16(out, frame.height);
    putU16(out, static_cast<std::uint16_t>(frame.px));
    putU16(out, static_cast<std::uint16_t>(frame.py));
    putU8(out, frame.columns);
    putU8(out, frame.rows);
    for (const WooolTile& tile : frame.tiles) {
        layout.tileOffsets.push_back(out.size());
        putU8(out, static_cast<std::uint8_t>(tile.width - 1));
        putU8(out, static_cast<std::uint8_t>(tile.height - 1));
        putU32(out, static_cast<std::uint32_t>(tile.code.size()));
        putBytes(out, tile.code);
    }
}

}  // namespace

Bytes encodeWooolTile(std::span<const std::uint16_t> words) {
    Bytes out;
    out.reserve(words.size() * 2 + words.size() / 64 + 4);
    std::size_t literalStart = 0;
    std::size_t at = 0;
    auto flushLiteral = [&](std::size_t end) {
        while (literalStart < end) {
            const std::size_t n = std::min(kMaxCount, end - literalStart);
            putLiteral(out, words.subspan(literalStart, n));
            literalStart += n;
        }
    };
    while (at < words.size()) {
        const std::size_t run = runLengthAt(words, at);
        // Two equal words cost 3 bytes as a run and 4 inside a literal; a
        // run of 3 or more always pays for breaking the literal.
        if (run >= 3 || (run == 2 && literalStart == at)) {
            flushLiteral(at);
            putU8(out, static_cast<std::uint8_t>(run));
            putU16(out, words[at]);
            at += run;
            literalStart = at;
        } else {
            at += run;
        }
    }
    flushLiteral(words.size());
    return out;
}

WooolFrame wooolFrame(const WooolImage& image) {
    WooolFrame frame{image.width, image.height, image.px, image.py, 0, 0, {}};
    frame.columns = static_cast<std::uint8_t>((image.width + kTileSide - 1) / kTileSide);
    frame.rows = static_cast<std::uint8_t>((image.height + kTileSide - 1) / kTileSide);
    for (std::size_t r = 0; r < frame.rows; ++r) {
        for (std::size_t c = 0; c < frame.columns; ++c) {
            frame.tiles.push_back(cutTile(image, c * kTileSide, r * kTileSide));
        }
    }
    return frame;
}

WooolGroup wooolGroup(std::uint8_t formatCode, const std::vector<WooolImage>& images) {
    WooolGroup group{formatCode, {}};
    for (const WooolImage& image : images) group.frames.push_back(wooolFrame(image));
    return group;
}

WooolArchiveBytes buildWoool(const std::vector<std::optional<WooolGroup>>& groups) {
    WooolArchiveBytes archive;
    Bytes& out = archive.data;
    putZeros(out, kFileHeaderSize);
    archive.groupTableOffset = out.size();
    setU32At(out, kTableAtField, static_cast<std::uint32_t>(archive.groupTableOffset));
    putU32(out, static_cast<std::uint32_t>(groups.size()));
    putZeros(out, 4 * groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (!groups[g]) {
            archive.groupOffsets.push_back(0);
            continue;
        }
        archive.groupOffsets.push_back(out.size());
        setU32At(out, archive.groupTableOffset + 4 + 4 * g, static_cast<std::uint32_t>(out.size()));
        putU8(out, 0);
        putU8(out, groups[g]->formatCode);
        putU16(out, static_cast<std::uint16_t>(groups[g]->frames.size()));
        putU16(out, 0);
        for (const WooolFrame& frame : groups[g]->frames) {
            archive.frames.emplace_back();
            putFrame(out, frame, archive.frames.back());
        }
    }
    // The reader wants at least T + 20 * G bytes in the file.
    const std::size_t minimum = archive.groupTableOffset + kFileBytesPerGroup * groups.size();
    if (out.size() < minimum) putZeros(out, minimum - out.size());
    return archive;
}

WooolImage wooolPatternImage(std::uint16_t width, std::uint16_t height, std::uint32_t seed) {
    WooolImage image{width,
                     height,
                     static_cast<std::int16_t>(-(width / 2)),
                     static_cast<std::int16_t>(-height),
                     {}};
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const std::size_t x = i % width;
        const std::size_t y = i / width;
        // Runs of equal pixels four wide, with the alpha nibble varying by row.
        const std::uint32_t alpha = (y + seed) % 16;
        const std::uint32_t colour = ((x / 4) * 7 + y * 3 + seed) & 0xFFFu;
        const std::uint32_t v = (alpha << 12) | colour;
        image.pixels[i] = static_cast<std::uint16_t>(v == 0 ? 0x1000 : v);
    }
    return image;
}

WooolArchiveBytes writeWoool(const std::string& path,
                             const std::vector<std::optional<WooolGroup>>& groups) {
    WooolArchiveBytes archive = buildWoool(groups);
    writeFile(path, archive.data);
    return archive;
}

}  // namespace vantoro::testing
