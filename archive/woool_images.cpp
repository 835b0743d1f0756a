#include "archive/woool_images.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "io/byte_reader.h"
#include "pixels/texture_fill.h"
#include "d3d9/d3d9_formats.h"

namespace vantoro {
namespace {

constexpr std::size_t kGroupTableAt = 36;
// A file shorter than T + 20 * G bytes holds no entries; this also bounds G
// before the group table is allocated.
constexpr std::uint64_t kFileBytesPerGroup = 20;
constexpr std::size_t kGroupHeaderSize = 6;
constexpr std::size_t kFrameHeaderSize = 10;
constexpr std::size_t kTileHeaderSize = 6;
constexpr std::uint32_t kTileSide = 256;
constexpr std::size_t kMaxTileWords = kTileSide * kTileSide;

bool isSupportedFormat(std::uint8_t code) { return code == 17 || code == 18; }

struct FrameHeader {
    TWMImageInfo info;
    std::uint8_t columns = 0;
    std::uint8_t rows = 0;
};

FrameHeader parseFrameHeader(const std::array<std::uint8_t, kFrameHeaderSize>& bytes) {
    FrameHeader frame;
    frame.info.Width = decodeU16(bytes.data());
    frame.info.Height = decodeU16(bytes.data() + 2);
    frame.info.PX = decodeI16(bytes.data() + 4);
    frame.info.PY = decodeI16(bytes.data() + 6);
    frame.columns = bytes[8];
    frame.rows = bytes[9];
    return frame;
}

struct TileHeader {
    std::uint32_t width = 0;   // 1..256
    std::uint32_t height = 0;  // 1..256
    std::uint32_t codeLength = 0;
};

std::optional<TileHeader> readTileHeader(FileStream& file) {
    std::array<std::uint8_t, kTileHeaderSize> bytes{};
    if (!file.readExact(bytes)) return std::nullopt;
    return TileHeader{bytes[0] + 1u, bytes[1] + 1u, decodeU32(bytes.data() + 2)};
}

std::uint32_t tileCount(const FrameHeader& frame) {
    return static_cast<std::uint32_t>(frame.columns) * frame.rows;
}

// The group offsets at T, or nothing when the count is negative or the file
// is too short for it.
std::optional<std::vector<std::uint32_t>> readGroupTable(FileStream& file, std::uint32_t tableAt) {
    const std::int64_t fileSize = file.size();
    if (fileSize < 0 || file.seek(tableAt) != static_cast<std::int64_t>(tableAt)) return std::nullopt;
    std::array<std::uint8_t, 4> countBytes{};
    if (!file.readExact(countBytes)) return std::nullopt;
    const std::int32_t count = decodeI32(countBytes.data());
    if (count < 0) return std::nullopt;
    if (static_cast<std::uint64_t>(fileSize) <
        tableAt + kFileBytesPerGroup * static_cast<std::uint64_t>(count)) {
        return std::nullopt;
    }
    const auto table = file.readBytes(4 * static_cast<std::uint64_t>(count));
    if (!table) return std::nullopt;
    std::vector<std::uint32_t> offsets(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < offsets.size(); ++i) offsets[i] = decodeU32(table->data() + 4 * i);
    return offsets;
}

// Moves past a frame's tiles without reading their code; the position after
// them, or nothing when a tile passes the end of the file.
std::optional<std::int64_t> skipTiles(FileStream& file, const FrameHeader& frame,
                                      std::int64_t fileSize) {
    for (std::uint32_t t = 0; t < tileCount(frame); ++t) {
        const auto tile = readTileHeader(file);
        if (!tile) return std::nullopt;
        const std::int64_t next = file.position() + static_cast<std::int64_t>(tile->codeLength);
        if (next > fileSize || file.seek(next) != next) return std::nullopt;
    }
    return file.position();
}

bool consume(std::uint64_t& budget, std::uint64_t bytes) {
    if (bytes > budget) {
        budget = 0;
        return false;
    }
    budget -= bytes;
    return true;
}

// Copies a decoded tile to the frame at (x0, y0); pixels past the frame's
// Width or Height are dropped.
void blitTile(std::span<const std::uint16_t> tile, const TileHeader& size, std::uint32_t x0,
              std::uint32_t y0, const TWMImageInfo& info, std::vector<std::uint16_t>& out) {
    if (x0 >= info.Width) return;
    const std::uint32_t copyWidth = std::min<std::uint32_t>(size.width, info.Width - x0);
    for (std::uint32_t row = 0; row < size.height; ++row) {
        const std::uint32_t y = y0 + row;
        if (y >= info.Height) break;
        std::memcpy(out.data() + static_cast<std::size_t>(y) * info.Width + x0,
                    tile.data() + static_cast<std::size_t>(row) * size.width, copyWidth * 2u);
    }
}

// Reads and expands every tile of a frame, the file positioned just after
// its header, into `out` (Width x Height words, zeroed).
Status decodeTiles(FileStream& file, const FrameHeader& frame, std::vector<std::uint16_t>& out) {
    const std::int64_t fileSize = file.size();
    std::vector<std::uint16_t> tileWords(kMaxTileWords);
    for (std::uint32_t r = 0; r < frame.rows; ++r) {
        for (std::uint32_t c = 0; c < frame.columns; ++c) {
            const auto tile = readTileHeader(file);
            if (!tile) return fail("tile header is cut short");
            if (file.position() + static_cast<std::int64_t>(tile->codeLength) > fileSize) {
                return fail("tile data passes the end of the file");
            }
            const auto code = file.readBytes(tile->codeLength);
            if (!code) return fail("tile data cannot be read");
            const std::span<std::uint16_t> words(tileWords.data(),
                                                 static_cast<std::size_t>(tile->width) * tile->height);
            decodeWooolTile(*code, words);
            blitTile(words, *tile, c * kTileSide, r * kTileSide, frame.info, out);
        }
    }
    return Status::success();
}

}  // namespace

void decodeWooolTile(std::span<const std::uint8_t> code, std::span<std::uint16_t> words) {
    std::fill(words.begin(), words.end(), std::uint16_t{0});
    ByteReader in(code);
    std::size_t filled = 0;
    while (filled < words.size()) {
        const auto control = in.readU8();
        if (!control) return;
        const std::size_t take = std::min<std::size_t>(*control & 0x7Fu, words.size() - filled);
        if ((*control & 0x80u) != 0) {
            for (std::size_t k = 0; k < take; ++k) {
                const auto word = in.readU16();
                if (!word) return;
                words[filled++] = *word;
            }
        } else {
            const auto word = in.readU16();
            if (!word) return;
            std::fill_n(words.begin() + static_cast<std::ptrdiff_t>(filled), take, *word);
            filled += take;
        }
    }
}

std::uint16_t wooolPixelOnBlack(std::uint16_t argb4444) {
    const std::uint32_t alpha = argb4444 >> 12;
    if (alpha == 0) return 0;
    std::uint32_t red = ((argb4444 >> 8) & 0xFu) << 1;
    std::uint32_t green = ((argb4444 >> 4) & 0xFu) << 2;
    std::uint32_t blue = (argb4444 & 0xFu) << 1;
    if (alpha != 15) {
        red = (red * alpha) >> 4;
        green = (green * alpha) >> 4;
        blue = (blue * alpha) >> 4;
    }
    return static_cast<std::uint16_t>((red << 11) | (green << 5) | blue);
}

TWMWoolDefImages::TWMWoolDefImages() { FReadOnly = true; }

bool TWMWoolDefImages::Initialize() {
    if (!TWMBaseImages::Initialize()) return false;
    m_header.fill(0);
    FIndexList.clear();
    FFormatList.clear();
    FImageCount = 0;
    if (FFileStream->seek(0) == 0 && FFileStream->readExact(m_header)) buildEntryList();
    InitTextureCache();
    return true;
}

void TWMWoolDefImages::buildEntryList() {
    const auto groups = readGroupTable(*FFileStream, decodeU32(m_header.data() + kGroupTableAt));
    if (!groups) return;
    // In a sound file the groups and frames occupy different bytes, so what
    // is listed never needs more bytes than the file holds. A damaged table
    // whose groups overlap (or all point at one group) is cut off there,
    // which keeps the walk proportional to the file's size.
    std::uint64_t budget = static_cast<std::uint64_t>(FFileStream->size());
    for (const std::uint32_t offset : *groups) {
        if (offset == 0) continue;
        if (!listGroup(offset, budget)) return;
    }
}

bool TWMWoolDefImages::listGroup(std::uint32_t offset, std::uint64_t& budget) {
    std::array<std::uint8_t, kGroupHeaderSize> group{};
    if (!seekExact(offset) || !FFileStream->readExact(group)) return true;
    if (!consume(budget, kGroupHeaderSize)) return false;
    const std::uint8_t code = group[1];
    const std::uint16_t frames = decodeU16(group.data() + 2);
    const std::int64_t fileSize = FFileStream->size();
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::int64_t start = FFileStream->position();
        std::array<std::uint8_t, kFrameHeaderSize> header{};
        // Entry offsets are 32-bit; a frame whose header is not in the file
        // is not listed, nor is anything after it in the group.
        if (start > INT32_MAX || !FFileStream->readExact(header)) return true;
        FIndexList.push_back(static_cast<std::int32_t>(start));
        FFormatList.push_back(code);
        ++FImageCount;
        if (!isSupportedFormat(code)) raiseUnsupportedFormat(code);
        // A frame whose tiles pass the end stays listed and fails alone.
        const auto end = skipTiles(*FFileStream, parseFrameHeader(header), fileSize);
        if (!end) return true;
        if (!consume(budget, static_cast<std::uint64_t>(*end - start))) return false;
    }
    return true;
}

void TWMWoolDefImages::raiseUnsupportedFormat(std::uint8_t code) const {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(code));
    throw ArchiveError(FFileName + " 未支持的文件格式 " + std::to_string(code) + " ($" + hex + ")");
}

Result<TWMWoolDefImages::DecodedFrame> TWMWoolDefImages::decodeEntry(std::int32_t index) {
    const auto offset = entryOffset(index);
    if (!offset) return fail("entry " + std::to_string(index) + " is outside the index");
    if (*offset == 0) return fail("entry " + std::to_string(index) + " holds no image");
    if (!seekExact(*offset)) return fail("cannot seek to offset " + std::to_string(*offset));
    std::array<std::uint8_t, kFrameHeaderSize> header{};
    if (!FFileStream->readExact(header)) return fail("frame header is cut short");
    const FrameHeader frame = parseFrameHeader(header);
    if (!isAcceptedImageSize(frame.info.Width, frame.info.Height)) {
        return fail("image size is outside 2..4095");
    }
    const auto slot = static_cast<std::size_t>(index);
    if (slot >= FFormatList.size() || !isSupportedFormat(FFormatList[slot])) {
        return fail("entry " + std::to_string(index) + " has an unsupported format code");
    }
    DecodedFrame decoded{frame.info, std::vector<std::uint16_t>(
                                         static_cast<std::size_t>(frame.info.Width) * frame.info.Height)};
    const Status tiles = decodeTiles(*FFileStream, frame, decoded.pixels);
    if (!tiles) return fail(tiles.error());
    return decoded;
}

std::optional<TWMWoolDefImages::DecodedFrame> TWMWoolDefImages::readEntry(std::int32_t index) {
    auto decoded = decodeEntry(index);
    if (!decoded) {
        setLastError(decoded.error());
        return std::nullopt;
    }
    FLastImageInfo = decoded->info;
    clearLastError();
    return std::move(decoded).value();
}

std::optional<DibBitmap> TWMWoolDefImages::DoGetBitmap(std::int32_t index, std::uint8_t& dataType) {
    dataType = kDataTypeImage;
    const auto frame = readEntry(index);
    if (!frame) return std::nullopt;
    auto bitmap = DibBitmap::create(16, frame->info.Width, frame->info.Height);
    if (!bitmap) return std::nullopt;
    const std::uint16_t* source = frame->pixels.data();
    for (std::int32_t y = 0; y < bitmap->height(); ++y) {
        std::uint16_t* row = bitmap->row16(y);
        for (std::int32_t x = 0; x < bitmap->width(); ++x) row[x] = wooolPixelOnBlack(*source++);
    }
    return bitmap;
}

// Woool keeps its 4-bit alpha: rows go into an A4R4G4B4 texture unconverted.
bool TWMWoolDefImages::DrawToTexture(std::int32_t index, TDXTexture* texture) {
    if (!texture) {
        setLastError("no texture to draw into");
        return false;
    }
    const auto frame = readEntry(index);
    if (!frame) return false;
    const auto writer =
        TextureWriter::begin(*texture, D3DFMT_A4R4G4B4, frame->info.Width, frame->info.Height);
    if (!writer) {
        setLastError("texture cannot take the image");
        return false;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(frame->info.Width) * 2;
    for (std::int32_t y = 0; y < frame->info.Height; ++y) {
        std::memcpy(writer->row(y), frame->pixels.data() + static_cast<std::size_t>(y) * frame->info.Width,
                    rowBytes);
    }
    return true;
}

}  // namespace vantoro
