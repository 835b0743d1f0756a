#include "image_io/png_file.h"

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <new>

namespace vantoro {
namespace {

// The file is written here rather than through libpng: libpng deflates
// through zlib, several times slower than ISA-L's deflate at a like size,
// and an export writes thousands of small pictures. The layout is the
// plainest valid PNG: signature, IHDR, the zlib stream of the filtered rows
// in IDAT chunks, IEND.

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Sides and chunk lengths in a PNG file are 31-bit numbers.
constexpr std::uint64_t kMaxPngNumber = 0x7FFFFFFF;

// IDAT chunks are cut at this size; readers join them into one stream.
constexpr std::size_t kMaxIdatBytes = std::size_t{1} << 20;

// The deflater takes and gives at most this much at a call (its counts are
// 32-bit).
constexpr std::size_t kMaxDeflatePiece = std::size_t{1} << 30;

// ISA-L level 1, rows unfiltered. Game sprites are runs of the transparent
// colour and palette colours that repeat but seldom differ from their
// neighbours by a little, so the Sub, Up or adaptive filters make the data
// larger, not smaller. Measured on sprite-like pictures, libdeflate's
// fastest level gave files a tenth smaller in 1.7 times the time, zlib's
// in 5 times.
constexpr int kDeflateLevel = 1;
constexpr std::uint8_t kFilterNone = 0;

std::uint64_t bytesPerPixel(PngLayout layout) {
    return layout == PngLayout::Rgb8 ? 3 : 4;
}

Result<std::uint64_t> checkedStride(const PngRows& rows) {
    if (rows.width == 0 || rows.height == 0) return fail("empty picture");
    if (rows.width > kMaxPngNumber || rows.height > kMaxPngNumber) {
        return fail("picture too large for png");
    }
    const std::uint64_t rowBytes =
        static_cast<std::uint64_t>(rows.width) * bytesPerPixel(rows.layout);
    const std::uint64_t stride = rows.stride == 0 ? rowBytes : rows.stride;
    if (stride < rowBytes) return fail("row stride shorter than a row");
    // (height - 1) * stride + rowBytes <= size, without the product wrapping.
    const std::uint64_t size = rows.bytes.size();
    if (rowBytes > size || (rows.height > 1 && stride > (size - rowBytes) / (rows.height - 1))) {
        return fail("pixel rows reach past the buffer");
    }
    return stride;
}

// Each row as PNG stores it: its filter type, then its bytes.
std::vector<std::uint8_t> filteredRows(const PngRows& rows, std::uint64_t stride) {
    const std::size_t rowBytes = rows.width * bytesPerPixel(rows.layout);
    std::vector<std::uint8_t> filtered(static_cast<std::size_t>(rows.height) * (rowBytes + 1));
    std::uint8_t* out = filtered.data();
    for (std::uint32_t y = 0; y < rows.height; ++y) {
        *out++ = kFilterNone;
        out = std::copy_n(rows.bytes.data() + y * stride, rowBytes, out);
    }
    return filtered;
}

// A deflater and the hash tables of its level, one per thread and kept:
// together they take some hundreds of KiB, more than a small sprite, and a
// deflater must not be shared between threads.
struct Deflater {
    isal_zstream stream;
    std::vector<std::uint8_t> levelBuffer = std::vector<std::uint8_t>(ISAL_DEF_LVL1_DEFAULT);
};

Deflater& threadDeflater() {
    thread_local const std::unique_ptr<Deflater> deflater = std::make_unique<Deflater>();
    return *deflater;
}

// Stored blocks bound the stream: 5 bytes a block of at most 65,535, the
// zlib header and trailer, and room for one block header of codes.
std::size_t streamBound(std::size_t in) {
    return in + 5 * (in / 65535 + 1) + 6 + ISAL_DEF_MAX_HDR_SIZE;
}

Result<std::vector<std::uint8_t>> zlibStream(const std::vector<std::uint8_t>& filtered) {
    Deflater& deflater = threadDeflater();
    isal_zstream& stream = deflater.stream;
    isal_deflate_init(&stream);
    stream.level = kDeflateLevel;
    stream.level_buf = deflater.levelBuffer.data();
    stream.level_buf_size = static_cast<std::uint32_t>(deflater.levelBuffer.size());
    stream.gzip_flag = IGZIP_ZLIB;
    stream.flush = NO_FLUSH;
    // The init keeps the buffers of the last picture; none is handed yet.
    stream.next_in = nullptr;
    stream.avail_in = 0;
    stream.next_out = nullptr;
    stream.avail_out = 0;
    std::vector<std::uint8_t> out(streamBound(filtered.size()));
    std::size_t taken = 0;
    std::size_t given = 0;
    while (stream.internal_state.state != ZSTATE_END) {
        if (stream.avail_in == 0 && taken < filtered.size()) {
            const std::size_t piece = std::min(kMaxDeflatePiece, filtered.size() - taken);
            stream.next_in = const_cast<std::uint8_t*>(filtered.data() + taken);
            stream.avail_in = static_cast<std::uint32_t>(piece);
            taken += piece;
        }
        stream.end_of_stream = taken == filtered.size() ? 1 : 0;
        if (stream.avail_out == 0) {
            if (given == out.size()) return fail("png: compressed rows outgrew their bound");
            const std::size_t piece = std::min(kMaxDeflatePiece, out.size() - given);
            stream.next_out = out.data() + given;
            stream.avail_out = static_cast<std::uint32_t>(piece);
            given += piece;
        }
        const std::uint32_t inBefore = stream.avail_in;
        const std::uint32_t outBefore = stream.avail_out;
        if (isal_deflate(&stream) != COMP_OK) return fail("png: compression failed");
        if (stream.avail_in == inBefore && stream.avail_out == outBefore &&
            stream.internal_state.state != ZSTATE_END) {
            return fail("png: compression stalled");
        }
    }
    out.resize(given - stream.avail_out);
    return out;
}

// zlib's CRC-32 takes 32-bit lengths; a chunk is never longer.
std::uint32_t crc32Of(const std::uint8_t* bytes, std::size_t size) {
    return static_cast<std::uint32_t>(::crc32(0, bytes, static_cast<uInt>(size)));
}

void putU32BigEndian(std::vector<std::uint8_t>& out, std::uint64_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// Length, type, data, and the CRC of type and data.
void putChunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::uint8_t* data,
              std::size_t size) {
    putU32BigEndian(out, size);
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    putU32BigEndian(out, crc32Of(out.data() + typeAt, size + 4));
}

std::vector<std::uint8_t> header(const PngRows& rows) {
    std::vector<std::uint8_t> ihdr;
    putU32BigEndian(ihdr, rows.width);
    putU32BigEndian(ihdr, rows.height);
    constexpr std::uint8_t kColorTypeRgb = 2;
    constexpr std::uint8_t kColorTypeRgba = 6;
    ihdr.push_back(8);  // bits a channel
    ihdr.push_back(rows.layout == PngLayout::Rgb8 ? kColorTypeRgb : kColorTypeRgba);
    ihdr.insert(ihdr.end(), {0, 0, 0});  // deflate, adaptive filtering, no interlace
    return ihdr;
}

Result<std::vector<std::uint8_t>> assemble(const PngRows& rows, std::uint64_t stride) {
    const Result<std::vector<std::uint8_t>> stream = zlibStream(filteredRows(rows, stride));
    if (!stream) return fail(stream.error());
    const std::size_t idatCount = (stream->size() + kMaxIdatBytes - 1) / kMaxIdatBytes;
    std::vector<std::uint8_t> out;
    out.reserve(kSignature.size() + 25 + stream->size() + idatCount * 12 + 12);
    out.insert(out.end(), kSignature.begin(), kSignature.end());
    const std::vector<std::uint8_t> ihdr = header(rows);
    putChunk(out, "IHDR", ihdr.data(), ihdr.size());
    for (std::size_t at = 0; at < stream->size(); at += kMaxIdatBytes) {
        putChunk(out, "IDAT", stream->data() + at, std::min(kMaxIdatBytes, stream->size() - at));
    }
    putChunk(out, "IEND", nullptr, 0);
    return out;
}

}  // namespace

Result<std::vector<std::uint8_t>> encodePng(const PngRows& rows) {
    const Result<std::uint64_t> stride = checkedStride(rows);
    if (!stride) return fail(stride.error());
    try {
        return assemble(rows, *stride);
    } catch (const std::bad_alloc&) {
        return fail("picture too large for png");
    }
}

Status savePng(const PngRows& rows, const std::string& path) {
    const Result<std::vector<std::uint8_t>> bytes = encodePng(rows);
    if (!bytes) return fail(bytes.error());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return fail("cannot create " + path);
    file.write(reinterpret_cast<const char*>(bytes->data()),
               static_cast<std::streamsize>(bytes->size()));
    if (!file.flush()) return fail("cannot write " + path);
    return Status::success();
}

}  // namespace vantoro
