#include "tests/support/m3_zip_writer.h"

#include <zlib.h>

#include <filesystem>
#include <stdexcept>
#include <utility>

namespace vantoro::testing {
namespace {

// Text in the data file's header and in the index header's free bytes; the
// reader looks at neither.
constexpr char kDataTitle[] = "Vantoro MIZ test";  // 16 bytes
constexpr std::size_t kIndexHeaderSize = 24;
constexpr std::size_t kIndexCountAt = 16;

std::size_t strideOf(std::uint16_t width) {
    return ((16u * width + 31u) / 32u) * 4u;
}

}  // namespace

Bytes m3ZipBody(const M3ZipImage& image) {
    const std::size_t stride = strideOf(image.width);
    Bytes body(stride * image.height, 0);
    for (std::size_t r = 0; r < image.height; ++r) {
        // Row r (top first) is stored at (Height - 1 - r) * stride.
        std::uint8_t* out = body.data() + (image.height - 1 - r) * stride;
        for (std::size_t x = 0; x < image.width; ++x) {
            const std::uint16_t v = image.pixels.at(r * image.width + x);
            out[2 * x] = static_cast<std::uint8_t>(v);
            out[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    return body;
}

Bytes m3ZipDeflate(std::span<const std::uint8_t> bytes, int level) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), level) !=
        Z_OK) {
        throw std::runtime_error("deflate failed");
    }
    out.resize(size);
    return out;
}

Bytes m3ZipRecord(const M3ZipImage& image, const Bytes& payload) {
    Bytes out;
    out.reserve(16 + payload.size());
    putU16(out, image.width);
    putU16(out, image.height);
    putU16(out, static_cast<std::uint16_t>(image.px));
    putU16(out, static_cast<std::uint16_t>(image.py));
    putU32(out, static_cast<std::uint32_t>(payload.size()));
    putZeros(out, 4);
    putBytes(out, payload);
    return out;
}

M3ZipArchiveBytes buildM3ZipFromRecords(const std::vector<Bytes>& records) {
    M3ZipArchiveBytes archive;
    archive.data.assign(kDataTitle, kDataTitle + sizeof kDataTitle - 1);
    archive.index.assign(kIndexHeaderSize, 0);
    setU32At(archive.index, kIndexCountAt, static_cast<std::uint32_t>(records.size()));
    for (const Bytes& record : records) {
        archive.recordOffsets.push_back(archive.data.size());
        putU32(archive.index, static_cast<std::uint32_t>(archive.data.size()));
        putBytes(archive.data, record);
    }
    return archive;
}

M3ZipArchiveBytes buildM3Zip(const std::vector<M3ZipImage>& images) {
    std::vector<Bytes> records;
    records.reserve(images.size());
    for (const M3ZipImage& image : images) {
        if (image.raw) {
            Bytes record = m3ZipRecord(image, {});
            putBytes(record, m3ZipBody(image));
            records.push_back(std::move(record));
        } else {
            records.push_back(m3ZipRecord(image, m3ZipDeflate(m3ZipBody(image), image.level)));
        }
    }
    return buildM3ZipFromRecords(records);
}

M3ZipImage m3ZipPatternImage(std::uint16_t width, std::uint16_t height, std::uint32_t seed) {
    M3ZipImage image{
        width, height, static_cast<std::int16_t>(width / 2), static_cast<std::int16_t>(height / 2),
        {},    6};
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        // Smooth horizontal bands with a little noise, so it deflates like art.
        const std::uint32_t v = ((i / width) * 37u + (i % width) / 4u + seed * 101u) & 0xFFFFu;
        image.pixels[i] = static_cast<std::uint16_t>(v == 0 ? 1 : v);
    }
    return image;
}

void writeM3ZipFiles(const std::string& mizPath, const M3ZipArchiveBytes& archive,
                     const std::string& indexExtension) {
    writeFile(mizPath, archive.data);
    writeFile(std::filesystem::path(mizPath).replace_extension(indexExtension).string(),
              archive.index);
}

M3ZipArchiveBytes writeM3Zip(const std::string& mizPath, const std::vector<M3ZipImage>& images,
                             const std::string& indexExtension) {
    M3ZipArchiveBytes archive = buildM3Zip(images);
    writeM3ZipFiles(mizPath, archive, indexExtension);
    return archive;
}

}  // namespace vantoro::testing
