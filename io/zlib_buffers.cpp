#include "io/zlib_buffers.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace vantoro {
namespace {

// The stream version the helpers announce; zlib checks only its major digit.
constexpr const char* kZlibVersion = "1.0.4";

std::size_t roundUpTo256(std::size_t size) {
    return (size + 255) & ~static_cast<std::size_t>(255);
}

uInt clampToUInt(std::size_t size) {
    return static_cast<uInt>(std::min<std::size_t>(size, std::numeric_limits<uInt>::max()));
}

// Both helpers take and answer sizes as 32-bit signed counts.
constexpr std::size_t kMaxBufferSize =
    static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

// Z_FINISH calls answer Z_BUF_ERROR (or, in older zlib, Z_OK) when they
// stopped only because the output buffer is full.
bool outputFull(int code, const z_stream& stream) {
    return (code == Z_BUF_ERROR || code == Z_OK) && stream.avail_out == 0;
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

struct DecompressorFree {
    void operator()(libdeflate_decompressor* decompressor) const {
        libdeflate_free_decompressor(decompressor);
    }
};

// zlib's streaming inflate of at most out.size() bytes. A full output before
// the stream's end is a success: we stop there and nothing past it counts.
// Running out of input with room left means the stream is truncated.
std::optional<std::size_t> inflateStreaming(std::span<const std::uint8_t> in,
                                            std::span<std::uint8_t> out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return std::nullopt;
    InflateGuard guard{&stream};
    // zlib refuses a null output pointer even when no room is offered.
    std::uint8_t spare = 0;
    stream.next_in = const_cast<Bytef*>(in.data());
    stream.avail_in = clampToUInt(in.size());
    stream.next_out = out.empty() ? &spare : out.data();
    stream.avail_out = clampToUInt(out.size());
    const int code = inflate(&stream, Z_FINISH);
    if (code != Z_STREAM_END && !outputFull(code, stream)) return std::nullopt;
    return static_cast<std::size_t>(stream.total_out);
}

std::vector<std::uint8_t> compress(std::span<const std::uint8_t> in, std::uint8_t level) {
    // The counts are 32-bit signed on the way in and out; a larger buffer
    // would be cut short silently by the stream's 32-bit counters.
    if (in.size() > kMaxBufferSize) throw ECompressionError();
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
        if (code == Z_STREAM_END) break;
        // Anything but "out of room" is an error; looping on it would not end.
        if (!outputFull(code, stream)) throw ECompressionError();
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
    if (in.size() > kMaxBufferSize) throw EDecompressionError();
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
        // Only a full output buffer asks for more room. Every other answer is
        // an error, including Z_BUF_ERROR with room left (the stream is
        // truncated) and Z_NEED_DICT (a preset dictionary we never have),
        // which is positive and would otherwise repeat for ever.
        if (!outputFull(code, stream)) throw EDecompressionError();
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
    std::vector<std::uint8_t> out(limit);
    const auto size = inflateInto(in, out);
    if (!size) return std::nullopt;
    out.resize(*size);
    return out;
}

std::optional<std::size_t> inflateInto(std::span<const std::uint8_t> in,
                                       std::span<std::uint8_t> out, InflatePath path) {
    if (in.size() > kMaxBufferSize) return std::nullopt;
    // libdeflate decodes a whole stream into a buffer at once, about twice as
    // fast as zlib. It succeeds only on a complete, checked stream that fits,
    // where zlib gives the same bytes; anything else (a stream longer than
    // the buffer, damage, a truncated end) goes to zlib, whose answer stands.
    if (path == InflatePath::Fast) {
        thread_local const std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
            libdeflate_alloc_decompressor());
        std::size_t produced = 0;
        if (decompressor &&
            libdeflate_zlib_decompress(decompressor.get(), in.data(), in.size(), out.data(),
                                       out.size(), &produced) == LIBDEFLATE_SUCCESS) {
            return produced;
        }
    }
    return inflateStreaming(in, out);
}

}  // namespace vantoro
