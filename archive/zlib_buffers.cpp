#include "archive/zlib_buffers.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace vantoro {
namespace {

// The stream version the helpers announce; zlib checks only its major digit.
constexpr const char* kZlibVersion = "1.0.4";

std::size_t roundUpTo256(std::size_t size) { return (size + 255) & ~static_cast<std::size_t>(255); }

uInt clampToUInt(std::size_t size) {
    return static_cast<uInt>(std::min<std::size_t>(size, std::numeric_limits<uInt>::max()));
}

// Ends a zlib stream on every path out of a helper.
struct DeflateGuard {
    z_stream* stream;
    ~DeflateGuard() { deflateEnd(stream); }
};
struct InflateGuard {
    z_stream* stream;
    ~InflateGuard() { inflateEnd(stream); }
};

std::vector<std::uint8_t> compress(std::span<const std::uint8_t> in, std::uint8_t level) {
    z_stream stream{};
    std::vector<std::uint8_t> out(roundUpTo256(in.size() + in.size() / 10 + 12));
    if (deflateInit_(&stream, level, kZlibVersion, sizeof(z_stream)) < 0) {
        throw ECompressionError();
    }
    DeflateGuard guard{&stream};
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = clampToUInt(in.size());
    stream.next_out = out.data();
    stream.avail_out = clampToUInt(out.size());
    for (;;) {
        const int code = deflate(&stream, Z_FINISH);
        if (code < 0 && code != Z_BUF_ERROR) throw ECompressionError();
        if (code == Z_STREAM_END) break;
        // Out of room: grow in 256-byte steps.
        const std::size_t used = stream.total_out;
        out.resize(out.size() + 256);
        stream.next_out = out.data() + used;
        stream.avail_out = clampToUInt(out.size() - used);
    }
    out.resize(stream.total_out);
    return out;
}

std::vector<std::uint8_t> decompress(std::span<const std::uint8_t> in, std::int32_t outEstimate) {
    z_stream stream{};
    const std::size_t delta = std::max<std::size_t>(roundUpTo256(in.size()), 256);
    std::vector<std::uint8_t> out(outEstimate > 0 ? static_cast<std::size_t>(outEstimate) : delta);
    if (inflateInit_(&stream, kZlibVersion, sizeof(z_stream)) < 0) throw EDecompressionError();
    InflateGuard guard{&stream};
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = clampToUInt(in.size());
    stream.next_out = out.data();
    stream.avail_out = clampToUInt(out.size());
    for (;;) {
        const int code = inflate(&stream, Z_FINISH);
        if (code == Z_STREAM_END) break;
        // Z_BUF_ERROR with input left means "more room"; with none it means
        // the stream is truncated.
        if (code < 0 && !(code == Z_BUF_ERROR && stream.avail_out == 0)) {
            throw EDecompressionError();
        }
        const std::size_t used = stream.total_out;
        if (used >= kMaxInflatedSize) throw EDecompressionError();
        // Grow by at least delta, and geometrically so large outputs do not
        // copy quadratically.
        out.resize(std::min(kMaxInflatedSize, out.size() + std::max(delta, out.size() / 2)));
        stream.next_out = out.data() + used;
        stream.avail_out = clampToUInt(out.size() - used);
    }
    out.resize(stream.total_out);
    return out;
}

}  // namespace

std::int32_t ZCompressBuf(std::span<const std::uint8_t> in, std::uint8_t level,
                          std::vector<std::uint8_t>& out) {
    try {
        out = compress(in, level);
    } catch (const EZlibError&) {
        out.clear();
    }
    return static_cast<std::int32_t>(out.size());
}

std::int32_t ZDecompressBuf(std::span<const std::uint8_t> in, std::int32_t outEstimate,
                            std::vector<std::uint8_t>& out) {
    try {
        out = decompress(in, outEstimate);
    } catch (const EZlibError&) {
        out.clear();
    }
    return static_cast<std::int32_t>(out.size());
}

std::optional<std::vector<std::uint8_t>> inflateBounded(std::span<const std::uint8_t> in,
                                                        std::size_t limit) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    InflateGuard guard{&stream};
    std::vector<std::uint8_t> out(limit);
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = clampToUInt(in.size());
    stream.next_out = out.data();
    stream.avail_out = clampToUInt(out.size());
    const int code = inflate(&stream, Z_FINISH);
    // Z_BUF_ERROR here means the output is full before the stream ended (we
    // stop reading: nothing past `limit` counts) or the input ran out.
    const bool outputFull = stream.avail_out == 0;
    if (code != Z_STREAM_END && !(code == Z_BUF_ERROR && outputFull) && !(code == Z_OK && outputFull)) {
        return std::nullopt;
    }
    out.resize(stream.total_out);
    return out;
}

}  // namespace vantoro
