#include "tests/support/m2_zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace vantoro::testing {
namespace {

constexpr std::size_t kTitleSize = 44;
constexpr std::uint8_t kSixteenBitCode = 5;
constexpr std::uint8_t kEightBitCode = 3;

Bytes header(const std::string& title, std::size_t count, std::size_t size) {
    Bytes out(kTitleSize, 0);
    std::copy_n(title.begin(), std::min(title.size(), kTitleSize), out.begin());
    putU32(out, static_cast<std::uint32_t>(count));
    out.resize(size, 0);
    return out;
}

}  // namespace

Bytes deflateBytes(std::span<const std::uint8_t> bytes, int level) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    Bytes out(size);
    const uLong inSize = static_cast<uLong>(bytes.size());
    if (compress2(out.data(), &size, bytes.data(), inSize, level) != Z_OK) {
        throw std::runtime_error("deflate failed");
    }
    out.resize(size);
    return out;
}

Bytes deflateWithZeroTail(std::span<const std::uint8_t> head, std::uint32_t zeroMiB) {
    // A full flush ends the deflate data on a byte boundary and forgets the
    // history, so the block that codes one MiB of zeros can be repeated.
    const Bytes zeros(1u << 20, 0);
    z_stream stream{};
    if (deflateInit(&stream, 9) != Z_OK) throw std::runtime_error("deflateInit failed");
    auto run = [&stream](std::span<const std::uint8_t> in, int flush) {
        Bytes out(deflateBound(&stream, static_cast<uLong>(in.size())) + 64);
        stream.next_in = const_cast<Bytef*>(in.data());
        stream.avail_in = static_cast<uInt>(in.size());
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, flush);
        out.resize(out.size() - stream.avail_out);
        return out;
    };
    Bytes out = run(head, Z_FULL_FLUSH);
    const Bytes zeroBlock = run(zeros, Z_FULL_FLUSH);
    for (std::uint32_t i = 0; i < zeroMiB; ++i) putBytes(out, zeroBlock);
    putBytes(out, run({}, Z_FINISH));
    deflateEnd(&stream);

    // The trailer deflate wrote counts one block of zeros; write the real one.
    uLong adler = adler32(1, head.data(), static_cast<uInt>(head.size()));
    const uLong zeroAdler = adler32(1, zeros.data(), static_cast<uInt>(zeros.size()));
    for (std::uint32_t i = 0; i < zeroMiB; ++i) {
        adler = adler32_combine(adler, zeroAdler, static_cast<z_off_t>(zeros.size()));
    }
    for (int k = 0; k < 4; ++k) {
        out[out.size() - 4 + k] = static_cast<std::uint8_t>(adler >> (8 * (3 - k)));
    }
    return out;
}

Bytes m2ZipRecord(const M2Image& image, std::uint8_t pixelCode, const Bytes& payload) {
    Bytes out;
    out.reserve(16 + payload.size());
    putU8(out, pixelCode);
    putZeros(out, 3);
    putU16(out, image.width);
    putU16(out, image.height);
    putU16(out, static_cast<std::uint16_t>(image.px));
    putU16(out, static_cast<std::uint16_t>(image.py));
    putU32(out, static_cast<std::uint32_t>(payload.size()));
    putBytes(out, payload);
    return out;
}

M2ArchiveBytes buildM2Zip(const std::vector<M2ZipImage>& images) {
    M2ArchiveBytes archive;
    // The .wzl header is never read; 64 bytes of title and count as made by
    // the game's tools.
    archive.data = header("www.shandagames.com", images.size(), 64);
    for (const M2ZipImage& entry : images) {
        archive.recordOffsets.push_back(archive.data.size());
        const Bytes body = bottomUpBodyOf(entry.image, entry.sixteenBit);
        const std::uint8_t code = entry.sixteenBit ? kSixteenBitCode : kEightBitCode;
        if (entry.raw) {
            putBytes(archive.data, m2ZipRecord(entry.image, code, {}));
            putBytes(archive.data, body);
        } else {
            putBytes(archive.data, m2ZipRecord(entry.image, code, deflateBytes(body, entry.level)));
        }
    }
    archive.index = header("www.shandagames.com", images.size(), 48);
    for (const std::size_t offset : archive.recordOffsets) {
        putU32(archive.index, static_cast<std::uint32_t>(offset));
    }
    return archive;
}

M2ArchiveBytes buildM2Zip(const std::vector<M2Image>& images, bool sixteenBit, int level) {
    std::vector<M2ZipImage> entries;
    entries.reserve(images.size());
    for (const M2Image& image : images) entries.push_back({image, sixteenBit, level});
    return buildM2Zip(entries);
}

M2ArchiveBytes writeM2Zip(const std::string& wzlPath, const std::vector<M2ZipImage>& images,
                          const std::string& indexExtension) {
    M2ArchiveBytes archive = buildM2Zip(images);
    writeArchiveFiles(wzlPath, archive, indexExtension);
    return archive;
}

}  // namespace vantoro::testing
