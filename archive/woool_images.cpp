#include "archive/woool_images.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/entry_errors.h"
#include "archive/record_fields.h"
#include "archive/short_copies.h"
#include "io/byte_reader.h"

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

bool isSupportedFormat(std::uint8_t code) {
    return code == 17 || code == 18;
}

struct FrameHeader {
    TWMImageInfo info;
    std::uint8_t columns = 0;
    std::uint8_t rows = 0;
};

FrameHeader parseFrameHeader(const std::array<std::uint8_t, kFrameHeaderSize>& bytes) {
    FrameHeader frame;
    frame.info.Width = u16At<0>(bytes);
    frame.info.Height = u16At<2>(bytes);
    frame.info.PX = i16At<4>(bytes);
    frame.info.PY = i16At<6>(bytes);
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
    return TileHeader{bytes[0] + 1u, bytes[1] + 1u, u32At<2>(bytes)};
}

std::uint32_t tileCount(const FrameHeader& frame) {
    return static_cast<std::uint32_t>(frame.columns) * frame.rows;
}

// The group offsets at T. Fails when the count is negative or the file is
// too short for it: checked before the table is allocated.
Result<std::vector<std::uint32_t>> readGroupTable(FileStream& file, std::uint32_t tableAt) {
    const std::int64_t fileSize = file.size();
    if (fileSize < 0 || file.seek(tableAt) != static_cast<std::int64_t>(tableAt))
        return fail("group table cannot be reached");
    std::array<std::uint8_t, 4> countBytes{};
    if (!file.readExact(countBytes))
        return fail("group table at " + std::to_string(tableAt) + " passes the end of the file");
    const std::int32_t count = i32At<0>(countBytes);
    if (count < 0 || static_cast<std::uint64_t>(fileSize) <
                         tableAt + kFileBytesPerGroup * static_cast<std::uint64_t>(count)) {
        return fail("group count " + std::to_string(count) + " does not fit the file");
    }
    const auto table = file.readBytes(4 * static_cast<std::uint64_t>(count));
    if (!table) return fail("group table is cut short");
    std::vector<std::uint32_t> offsets(static_cast<std::size_t>(count));
    ByteReader reader(*table);
    for (std::uint32_t& offset : offsets) {
        const auto value = reader.readU32();
        if (!value) return fail("group table is cut short");
        offset = *value;
    }
    return offsets;
}

// How far a walk over a frame's tiles got, and whether every tile lies
// inside the file.
struct TileWalk {
    std::int64_t end = 0;
    bool complete = false;
};

// Moves past a frame's tiles without reading their code.
TileWalk skipTiles(FileStream& file, const FrameHeader& frame, std::int64_t fileSize) {
    for (std::uint32_t t = 0; t < tileCount(frame); ++t) {
        const auto tile = readTileHeader(file);
        if (!tile) return {file.position(), false};
        const std::int64_t next = file.position() + static_cast<std::int64_t>(tile->codeLength);
        if (next > fileSize || file.seek(next) != next) return {file.position(), false};
    }
    return {file.position(), true};
}

bool consume(std::uint64_t& budget, std::uint64_t bytes) {
    if (bytes > budget) {
        budget = 0;
        return false;
    }
    budget -= bytes;
    return true;
}

// Copies a decoded tile to the frame (Width x Height words) at (x0, y0);
// pixels past the frame's Width or Height are dropped.
void blitTile(std::span<const std::uint16_t> tile, const TileHeader& size, std::uint32_t x0,
              std::uint32_t y0, const TWMImageInfo& info, std::uint16_t* frame) {
    if (x0 >= info.Width) return;
    const std::uint32_t copyWidth = std::min<std::uint32_t>(size.width, info.Width - x0);
    for (std::uint32_t row = 0; row < size.height; ++row) {
        const std::uint32_t y = y0 + row;
        if (y >= info.Height) break;
        std::memcpy(frame + static_cast<std::size_t>(y) * info.Width + x0,
                    tile.data() + static_cast<std::size_t>(row) * size.width, copyWidth * 2u);
    }
}

// A tile's code, the file positioned at it; afterwards the file stands after
// the code. Only what the tile can use is read: a run of one word takes three
// bytes, and no code gives fewer than one word for three bytes, except codes
// that give none at all.
// The bytes stay valid until the next read into `buffer`.
Result<std::span<const std::uint8_t>> readTileCode(FileStream& file, const TileHeader& tile,
                                                   FileBytes& buffer) {
    const std::int64_t start = file.position();
    const std::int64_t fileSize = file.size();
    if (fileSize < start || tile.codeLength > static_cast<std::uint64_t>(fileSize - start)) {
        return fail("tile data passes the end of the file");
    }
    const std::uint64_t useful = 3u * static_cast<std::uint64_t>(tile.width) * tile.height;
    const auto code = file.readView(buffer, std::min<std::uint64_t>(tile.codeLength, useful));
    if (!code) return fail("tile data cannot be read");
    file.seek(start + static_cast<std::int64_t>(tile.codeLength));
    return *code;
}

// The code of a frame made of one tile that covers all of it, the file
// positioned just after the frame header; nothing for any other frame, or
// when the tile cannot be read (the general path then says why).
std::optional<std::span<const std::uint8_t>> wholeFrameTileCode(FileStream& file,
                                                                const FrameHeader& frame,
                                                                FileBytes& buffer) {
    if (frame.columns != 1 || frame.rows != 1) return std::nullopt;
    const auto tile = readTileHeader(file);
    if (!tile || tile->width != frame.info.Width || tile->height < frame.info.Height) {
        return std::nullopt;
    }
    const auto code = readTileCode(file, *tile, buffer);
    if (!code) return std::nullopt;
    return *code;
}

// The buffers a frame decode reuses.
struct TileBuffers {
    FileBytes& code;
    std::vector<std::uint16_t>& words;
};

// Reads and expands every tile of a frame, the file positioned just after
// its header, into `frame` (Width x Height words). A frame of one tile as
// wide as the frame, the usual case, is expanded straight into place.
Status decodeTiles(FileStream& file, const FrameHeader& header, std::uint16_t* frame,
                   TileBuffers buffers) {
    const TWMImageInfo& info = header.info;
    const std::size_t frameWords = static_cast<std::size_t>(info.Width) * info.Height;
    bool cleared = false;
    for (std::uint32_t r = 0; r < header.rows; ++r) {
        for (std::uint32_t c = 0; c < header.columns; ++c) {
            const auto tile = readTileHeader(file);
            if (!tile) return fail("tile header is cut short");
            const auto code = readTileCode(file, *tile, buffers.code);
            if (!code) return code.failure();
            const bool inPlace =
                header.rows == 1 && header.columns == 1 && tile->width == info.Width;
            if (inPlace) {
                const std::size_t covered =
                    std::min<std::size_t>(tile->height, info.Height) * info.Width;
                decodeWooolTile(*code, std::span(frame, covered));
                std::fill(frame + covered, frame + frameWords, std::uint16_t{0});
                return Status::success();
            }
            if (!cleared) std::fill(frame, frame + frameWords, std::uint16_t{0});
            cleared = true;
            buffers.words.resize(kMaxTileWords);
            const std::span<std::uint16_t> words(
                buffers.words.data(), static_cast<std::size_t>(tile->width) * tile->height);
            decodeWooolTile(*code, words);
            blitTile(words, *tile, c * kTileSide, r * kTileSide, info, frame);
        }
    }
    if (!cleared) std::fill(frame, frame + frameWords, std::uint16_t{0});
    return Status::success();
}

}  // namespace

// Most codes are short and their lengths vary at random, so a branch on the
// length is mispredicted often and costs more than the stores it saves:
// every literal copies 64 words and every run fills 48 before asking whether
// there is more (27% faster on game art than 16 and 16).
constexpr std::size_t kLiteralBytes = 4 * kShortBlock;
constexpr std::size_t kRunBytes = 3 * kShortBlock;
// A longest code (127 words) and the blocks written past it.
constexpr std::size_t kLongestCode = 2 * 127 + kLiteralBytes;

// A code's `bytes` bytes written in whole blocks, from the literal's words
// at `words` or as copies of a run's `pattern`; at least kLiteralBytes or
// kRunBytes are written, and up to a block past `bytes`.
inline void writeCodeBlocks(std::uint8_t* out, const std::uint8_t* words, bool literal,
                            std::uint64_t pattern, std::size_t bytes) {
    if (literal) {
        copyBlocks(out, words, kLiteralBytes);
        if (bytes > kLiteralBytes) {
            copyBlocks(out + kLiteralBytes, words + kLiteralBytes, bytes - kLiteralBytes);
        }
    } else {
        fillBlocks(out, pattern, kRunBytes);
        if (bytes > kRunBytes) fillBlocks(out + kRunBytes, pattern, bytes - kRunBytes);
    }
}

namespace {

// Where an expansion stands: the next code byte, the next output byte and
// the end of the row it is in. Passed by value, so that the loops keep it in
// registers rather than reloading it after every store.
struct RowCursor {
    const std::uint8_t* in;
    std::uint8_t* out;
    std::uint8_t* rowEnd;
};

// The code's shape against the rows.
struct RowLayout {
    const std::uint8_t* inEnd;
    std::uint8_t* end;  // first + pitch * height
    std::size_t pitch;
    std::size_t rowBytes;
    std::size_t padding;  // pitch - rowBytes
};

// Runs and literals written in whole blocks while both buffers have room
// for them, as if the rows were one buffer: the bytes past the code's own
// are overwritten by the codes that follow (or cleared at the end), and no
// block passes either buffer's end. When a code reaches the end of its row,
// the padding after the row is cleared and the rest of the code is written
// from the start of the next row; nothing is written before a row once it
// is left.
RowCursor expandInBlocks(RowCursor at, const RowLayout& layout) {
    const std::uint8_t* in = at.in;
    std::uint8_t* out = at.out;
    std::uint8_t* rowEnd = at.rowEnd;
    const std::uint8_t* const inEnd = layout.inEnd;
    std::uint8_t* const end = layout.end;
    const std::size_t pitch = layout.pitch;
    const std::size_t padding = layout.padding;
    // While the rows hold a longest code spread over every row it can reach
    // (each row it passes adds its padding, and the padding's clearing a
    // block), and the code holds a longest code, a code needs no bounds check.
    const std::size_t blockRoom =
        kLongestCode + (padding == 0 ? 0 : (2 * 127 / layout.rowBytes + 1) * padding + kShortBlock);
    while (static_cast<std::size_t>(end - out) >= blockRoom &&
           static_cast<std::size_t>(inEnd - in) > kLongestCode) {
        const std::uint8_t control = *in++;
        const std::size_t bytes = 2u * (control & 0x7Fu);
        const bool literal = (control & 0x80u) != 0;
        const std::uint64_t pattern = decodeU16(in) * 0x0001000100010001ull;
        writeCodeBlocks(out, in, literal, pattern, bytes);
        std::size_t left = bytes;
        while (left >= static_cast<std::size_t>(rowEnd - out)) {
            left -= static_cast<std::size_t>(rowEnd - out);
            fillBlocks(rowEnd, 0, padding);
            out = rowEnd + padding;
            rowEnd += pitch;
            writeCodeBlocks(out, in + (bytes - left), literal, pattern, left);
        }
        out += left;
        in += literal ? bytes : 2;
    }
    return {in, out, rowEnd};
}

// Bytes left in the cursor's row, moving it on to the next row (and clearing
// the padding between) when this one is full; 0 once every row is.
std::size_t roomInRow(RowCursor& at, const RowLayout& layout) {
    if (at.out == at.rowEnd && static_cast<std::size_t>(layout.end - at.rowEnd) > layout.padding) {
        std::memset(at.rowEnd, 0, layout.padding);
        at.out = at.rowEnd + layout.padding;
        at.rowEnd = at.out + layout.rowBytes;
    }
    return static_cast<std::size_t>(at.rowEnd - at.out);
}

// One code written exactly, row by row; false when the code is cut short or
// the rows are full, which ends the expansion. A piece is written in whole
// blocks where both buffers have room for them: bytes past the row are
// cleared as the row is left, or at the end.
bool expandExactly(RowCursor& at, const RowLayout& layout) {
    const std::uint8_t control = *at.in++;
    const std::size_t bytes = 2u * (control & 0x7Fu);
    const auto available = static_cast<std::size_t>(layout.inEnd - at.in);
    if ((control & 0x80u) != 0) {
        // A literal cut off by the end of the code keeps its whole words;
        // they are little-endian on disk, as the pixels are.
        const std::size_t whole = std::min(bytes, available & ~std::size_t{1});
        for (std::size_t left = whole; left > 0;) {
            const std::size_t take = std::min(roomInRow(at, layout), left);
            if (take == 0) return false;
            if (blockSpan(take) <= static_cast<std::size_t>(layout.end - at.out) &&
                blockSpan(take) <= static_cast<std::size_t>(layout.inEnd - at.in)) {
                copyBlocks(at.out, at.in, take);
            } else {
                std::memcpy(at.out, at.in, take);
            }
            at.out += take;
            at.in += take;
            left -= take;
        }
        return whole == bytes;
    }
    if (available < 2) return false;
    const std::uint16_t word = decodeU16(at.in);
    at.in += 2;
    for (std::size_t left = bytes; left > 0;) {
        const std::size_t take = std::min(roomInRow(at, layout), left);
        if (take == 0) return false;
        if (blockSpan(take) <= static_cast<std::size_t>(layout.end - at.out)) {
            fillBlocks(at.out, word * 0x0001000100010001ull, take);
        } else {
            std::fill_n(reinterpret_cast<std::uint16_t*>(at.out), take / 2, word);
        }
        at.out += take;
        left -= take;
    }
    return true;
}

}  // namespace

void expandWooolRows(std::span<const std::uint8_t> code, const PixelRows& rows) {
    if (rows.height == 0 || rows.rowBytes == 0) {
        if (rows.pitch * rows.height != 0) std::memset(rows.first, 0, rows.pitch * rows.height);
        return;
    }
    const RowLayout layout{code.data() + code.size(), rows.first + rows.pitch * rows.height,
                           rows.pitch, rows.rowBytes, rows.pitch - rows.rowBytes};
    RowCursor at = expandInBlocks({code.data(), rows.first, rows.first + rows.rowBytes}, layout);
    while (at.in != layout.inEnd && expandExactly(at, layout)) {
    }
    std::memset(at.out, 0, static_cast<std::size_t>(layout.end - at.out));
}

void decodeWooolTile(std::span<const std::uint8_t> code, std::span<std::uint16_t> words) {
    const std::size_t bytes = 2 * words.size();
    expandWooolRows(code,
                    PixelRows{reinterpret_cast<std::uint8_t*>(words.data()), bytes, bytes, 1});
}

TWMWoolDefImages::TWMWoolDefImages() {
    FReadOnly = true;
}

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
    const auto groups = readGroupTable(*FFileStream, u32At<kGroupTableAt>(m_header));
    if (!groups) {
        setLastError(groups.error());
        return;
    }
    // In a well-formed file the groups and frames occupy different bytes, so what
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
    const std::uint16_t frames = u16At<2>(group);
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
        // A frame whose tiles pass the end stays listed and fails alone. The
        // bytes walked count either way: a table naming one damaged group
        // in every slot must not walk it again for free.
        const TileWalk walk = skipTiles(*FFileStream, parseFrameHeader(header), fileSize);
        if (!consume(budget,
                     static_cast<std::uint64_t>(std::max(walk.end - start, std::int64_t{1})))) {
            return false;
        }
        if (!walk.complete) return true;
    }
    return true;
}

void TWMWoolDefImages::raiseUnsupportedFormat(std::uint8_t code) const {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(code));
    throw ArchiveError(FFileName + " 未支持的文件格式 " + std::to_string(code) + " ($" + hex + ")");
}

Result<DecodedImage> TWMWoolDefImages::decodeEntry(std::int32_t index) {
    const auto offset = seekToEntry(index);
    if (!offset) return offset.failure();
    if (*offset == 0) return fail(entry_error::kHoldsNoImage);
    std::array<std::uint8_t, kFrameHeaderSize> bytes{};
    if (!FFileStream->readExact(bytes)) return fail(entry_error::kHeaderCutShort);
    const FrameHeader frame = parseFrameHeader(bytes);
    if (!isAcceptedImageSize(frame.info.Width, frame.info.Height)) {
        return fail(entry_error::imageSize(frame.info));
    }
    const auto slot = static_cast<std::size_t>(index);
    if (slot >= FFormatList.size() || !isSupportedFormat(FFormatList[slot])) {
        return fail("the group's format code is not supported");
    }
    // A frame of one tile covering it, the usual case, is left coded: a
    // texture is filled straight from the code, without a copy.
    const std::int64_t tilesAt = FFileStream->position();
    if (const auto code = wholeFrameTileCode(*FFileStream, frame, m_tileCode)) {
        DecodedImage image = packedRows(frame.info, DecodedFormat::A4R4G4B4, *code);
        image.expandRows = &expandWooolRows;
        return image;
    }
    if (!seekExact(tilesAt)) return fail("the frame's tiles cannot be reached");
    const auto pixels =
        pixelBuffer(2u * static_cast<std::size_t>(frame.info.Width) * frame.info.Height);
    // The pixel buffer is word-aligned: it comes straight from the allocator.
    auto* words = reinterpret_cast<std::uint16_t*>(pixels.data());
    const Status tiles = decodeTiles(*FFileStream, frame, words, {m_tileCode, m_tileWords});
    if (!tiles) return fail(tiles.error());
    return packedRows(frame.info, DecodedFormat::A4R4G4B4, pixels);
}

}  // namespace vantoro
