#include "tests/support/wuyi_writer.h"

namespace vantoro::testing {
namespace {

constexpr std::size_t kHeaderSize = 84;
constexpr std::size_t kTableBaseAt = 68;
constexpr std::size_t kEntryCountAt = 76;
constexpr std::size_t kTableBias = 392;
constexpr std::size_t kEntrySize = 24;

}  // namespace

WuyiArchiveBytes buildWuyi(const std::vector<WuyiImage>& images, const WuyiOptions& options) {
    WuyiArchiveBytes archive;
    Bytes& out = archive.data;
    archive.tableOffset = options.tableBase + kTableBias;
    out.assign(archive.tableOffset, 0);
    setU32At(out, kTableBaseAt, options.tableBase);
    setU32At(out, kEntryCountAt, static_cast<std::uint32_t>(images.size()));
    // The table sits past the header whatever the base; a base below
    // 84 - 392 cannot be asked for, the field being unsigned.
    static_assert(kTableBias >= kHeaderSize);
    putZeros(out, kEntrySize * images.size());

    std::size_t at = out.size();
    std::size_t total = at;
    for (const WuyiImage& image : images) total += image.pixels.size() * 2;
    out.resize(total);
    for (std::size_t i = 0; i < images.size(); ++i) {
        const WuyiImage& image = images[i];
        const std::size_t record = archive.tableOffset + kEntrySize * i;
        archive.recordOffsets.push_back(record);
        archive.dataOffsets.push_back(at);
        setU32At(out, record, static_cast<std::uint32_t>(at));
        setU32At(out, record + 4, static_cast<std::uint32_t>(image.pixels.size() * 2));
        setU16At(out, record + 8, image.width);
        setU16At(out, record + 10, image.height);
        std::uint8_t* pixels = out.data() + at;
        for (const std::uint16_t v : image.pixels) {
            *pixels++ = static_cast<std::uint8_t>(v);
            *pixels++ = static_cast<std::uint8_t>(v >> 8);
        }
        at += image.pixels.size() * 2;
    }
    return archive;
}

WuyiImage wuyiPatternImage(std::uint16_t width, std::uint16_t height, std::uint32_t seed) {
    WuyiImage image{width, height, {}};
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const std::uint32_t v = ((i % width) * 2048u / width * 32u + (i / width) + seed) & 0xFFFFu;
        image.pixels[i] = static_cast<std::uint16_t>(v == 0 ? 1 : v);
    }
    return image;
}

WuyiArchiveBytes writeWuyi(const std::string& path, const std::vector<WuyiImage>& images,
                           const WuyiOptions& options) {
    WuyiArchiveBytes archive = buildWuyi(images, options);
    writeFile(path, archive.data);
    return archive;
}

}  // namespace vantoro::testing
