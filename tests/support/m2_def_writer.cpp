#include "tests/support/m2_def_writer.h"

#include <algorithm>
#include <filesystem>

#include "pixels/pixel_format.h"
#include "pixels/std_palette.h"

namespace vantoro::testing {
namespace {

constexpr std::size_t kTitleSize = 44;

void putTitle(Bytes& out, const std::string& title) {
    Bytes text(kTitleSize, 0);
    std::copy_n(title.begin(), std::min(title.size(), kTitleSize), text.begin());
    putBytes(out, text);
}

// Old layout: a 56-byte header, then the palette, whose all-zero entry 0 is
// what the reader sees as the version flag. New layout: 60 bytes, flag 1.
Bytes dataHeader(std::size_t imageCount, const M2DefOptions& options) {
    Bytes out;
    putTitle(out, "ILIB v2.0-WEMADE Entertainment inc.");
    putU32(out, static_cast<std::uint32_t>(imageCount));
    putU32(out, options.sixteenBit ? 0x10000u : 256u);
    if (options.newLayout) {
        putU32(out, 0);
        putU32(out, 1);
    } else {
        putU32(out, static_cast<std::uint32_t>(StdPalette.size()));
        out.insert(out.end(), StdPalette.begin(), StdPalette.end());
    }
    return out;
}

Bytes indexFile(const std::vector<std::size_t>& offsets, const M2DefOptions& options) {
    Bytes out(options.indexPrefix.begin(), options.indexPrefix.end());
    out.reserve(out.size() + 52 + 4 * offsets.size());
    putTitle(out, "Mir2 index");
    putU32(out, static_cast<std::uint32_t>(offsets.size()));
    if (options.newLayout) putU32(out, 0);
    for (const std::size_t offset : offsets) putU32(out, static_cast<std::uint32_t>(offset));
    return out;
}

}  // namespace

Bytes bottomUpBodyOf(const M2Image& image, bool sixteenBit) {
    const int bits = sixteenBit ? 16 : 8;
    const std::size_t stride = static_cast<std::size_t>(WidthBytes(bits, image.width));
    Bytes body(stride * image.height, 0);
    for (std::size_t r = 0; r < image.height; ++r) {
        std::uint8_t* row = body.data() + (image.height - 1 - r) * stride;
        const std::uint16_t* src = image.pixels.data() + r * image.width;
        for (std::size_t x = 0; x < image.width; ++x) {
            if (sixteenBit) {
                row[2 * x] = static_cast<std::uint8_t>(src[x]);
                row[2 * x + 1] = static_cast<std::uint8_t>(src[x] >> 8);
            } else {
                row[x] = static_cast<std::uint8_t>(src[x]);
            }
        }
    }
    return body;
}

M2Image patternImage(std::uint16_t width, std::uint16_t height, bool sixteenBit,
                     std::uint32_t seed) {
    M2Image image{width,
                  height,
                  static_cast<std::int16_t>(-(width / 2)),
                  static_cast<std::int16_t>(-height),
                  {}};
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    const std::uint32_t range = sixteenBit ? 0xFFFF : 0xFF;
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const std::uint32_t v = static_cast<std::uint32_t>(i) * 2654435761u + seed * 40503u;
        image.pixels[i] = static_cast<std::uint16_t>(1 + (v >> 8) % range);
    }
    return image;
}

M2ArchiveBytes buildM2Def(const std::vector<M2Image>& images, const M2DefOptions& options) {
    M2ArchiveBytes archive;
    archive.data = dataHeader(images.size(), options);
    for (const M2Image& image : images) {
        archive.recordOffsets.push_back(archive.data.size());
        putU16(archive.data, image.width);
        putU16(archive.data, image.height);
        putU16(archive.data, static_cast<std::uint16_t>(image.px));
        putU16(archive.data, static_cast<std::uint16_t>(image.py));
        if (options.newLayout) putU32(archive.data, 0);
        putBytes(archive.data, bottomUpBodyOf(image, options.sixteenBit));
    }
    archive.index = indexFile(archive.recordOffsets, options);
    return archive;
}

void writeArchiveFiles(const std::string& dataPath, const M2ArchiveBytes& archive,
                       const std::string& indexExtension) {
    writeFile(dataPath, archive.data);
    std::filesystem::path indexPath(dataPath);
    indexPath.replace_extension(indexExtension);
    writeFile(indexPath.string(), archive.index);
}

M2ArchiveBytes writeM2Def(const std::string& wilPath, const std::vector<M2Image>& images,
                          const M2DefOptions& options, const std::string& indexExtension) {
    M2ArchiveBytes archive = buildM2Def(images, options);
    writeArchiveFiles(wilPath, archive, indexExtension);
    return archive;
}

}  // namespace vantoro::testing
