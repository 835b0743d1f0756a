// zlib buffer helpers: whole-buffer deflate and inflate for compressed
// archive payloads, pack entries and the pack index.
//
// zlib errors never leave these helpers: they end in an empty result, which
// callers treat as a failed entry.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace vantoro {

class EZlibError : public std::runtime_error {
public:
    EZlibError() : std::runtime_error("ZIP Error") {}
};
class ECompressionError : public EZlibError {};
class EDecompressionError : public EZlibError {};

// Deflates `in` at `level` (0..9) into `out`, exactly as long as the
// compressed data; answers its size. On a zlib error `out` is empty and 0 is
// answered.
std::int32_t ZCompressBuf(std::span<const std::uint8_t> in, std::uint8_t level,
                          std::vector<std::uint8_t>& out);

// Inflates a whole zlib stream into `out`, exactly as long as the inflated
// data; answers its size. `outEstimate` (0: unknown) sizes the first buffer.
// A damaged stream, or one inflating past kMaxInflatedSize, leaves `out`
// empty and answers 0.
std::int32_t ZDecompressBuf(std::span<const std::uint8_t> in, std::int32_t outEstimate,
                            std::vector<std::uint8_t>& out);

inline constexpr std::size_t kMaxInflatedSize = 256u << 20;

// Inflates at most `limit` bytes of a zlib stream, for payloads whose size
// the reader knows (stride x height of an image). The output is never larger
// than `limit`, and nothing past the first `limit` inflated bytes is looked
// at; it is shorter when the stream ends early. Nothing on a zlib error.
std::optional<std::vector<std::uint8_t>> inflateBounded(std::span<const std::uint8_t> in,
                                                        std::size_t limit);

// The most bytes of a zlib stream worth reading to inflate `inflated`
// bytes: stored blocks add 5 bytes per 64 KiB, and no real encoder comes
// near twice its input. The rest of a longer stream is never looked at.
constexpr std::uint64_t usefulStreamBytes(std::uint64_t inflated) {
    return 2 * inflated + 65536;
}

// The most a zlib stream of `streamBytes` can inflate to: a deflate code
// gives at most 258 bytes for 2 bits, so no stream inflates to more than
// 1032 times its length. A size claimed beside a stream is checked against
// this before a buffer is made for it.
constexpr std::uint64_t maxInflatedSizeOf(std::uint64_t streamBytes) {
    return 1032 * streamBytes;
}

// Fast: libdeflate where it can, zlib otherwise; ZlibOnly: zlib alone. Both
// give the same answer for every input; ZlibOnly is there to prove it.
enum class InflatePath { Fast, ZlibOnly };

// inflateBounded into the caller's buffer, `limit` being out.size(): answers
// how many bytes were inflated (the rest of `out` is undefined), or nothing
// on a zlib error.
std::optional<std::size_t> inflateInto(std::span<const std::uint8_t> in,
                                       std::span<std::uint8_t> out,
                                       InflatePath path = InflatePath::Fast);

}  // namespace vantoro
