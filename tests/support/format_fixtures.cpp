#include "tests/support/format_fixtures.h"

#include "tests/support/m2_def_writer.h"
#include "tests/support/m2_wis_writer.h"
#include "tests/support/m2_zip_writer.h"
#include "tests/support/m3_def_writer.h"
#include "tests/support/m3_zip_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/woool_writer.h"
#include "tests/support/wuyi_writer.h"

namespace vantoro::testing {
namespace {

std::vector<std::uint16_t> pattern(std::uint16_t width, std::uint16_t height, std::uint16_t base) {
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] =
            (i % 5 == 0) ? 0 : static_cast<std::uint16_t>(base + i * 7);  // some transparency
    }
    return pixels;
}

std::vector<std::uint8_t> indices(std::uint16_t width, std::uint16_t height) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(i / 3 % 4 * 60);
    return out;
}

M2Image m2Image(std::uint16_t width, std::uint16_t height, bool sixteenBit) {
    M2Image image{width, height, 0, 0, pattern(width, height, 1)};
    if (!sixteenBit) {
        for (std::uint16_t& p : image.pixels) p &= 0xFF;
    }
    return image;
}

// Pixel format 1 (A1R5G5B5), every pixel opaque, run-length coded.
PackEntry packImageOf(std::uint16_t width, std::uint16_t height) {
    PackEntry entry{31, width, height, 0, 0, 1, {}, true};
    for (const std::uint16_t p : pattern(width, height, 1)) putU16(entry.payload, 0x8000 | p);
    return entry;
}

}  // namespace

std::vector<FormatFixture> formatFixtures() {
    std::vector<FormatFixture> all;
    const std::vector<M2Image> m2 = {{5, 3, 1, -2, pattern(5, 3, 1)},
                                     {8, 4, 0, 0, pattern(8, 4, 9)}};
    std::vector<M2Image> m2Palette = m2;
    for (M2Image& image : m2Palette) {
        for (std::uint16_t& p : image.pixels) p &= 0xFF;
    }
    const M2ArchiveBytes wil = buildM2Def(m2Palette);
    all.push_back({"wil",
                   TWMImagesKind::M2Def,
                   "a.wil",
                   {{"a.wil", wil.data}, {"a.WIX", wil.index}},
                   2,
                   2,
                   wil.recordOffsets[0],
                   ""});
    all.back().oneImage = [](std::uint16_t width, std::uint16_t height) {
        const M2ArchiveBytes built = buildM2Def({m2Image(width, height, false)});
        return ArchiveFiles{{"a.wil", built.data}, {"a.WIX", built.index}};
    };
    M2DefOptions sixteen;
    sixteen.sixteenBit = true;
    sixteen.newLayout = false;
    const M2ArchiveBytes wil16 = buildM2Def(m2, sixteen);
    all.push_back({"wil16",
                   TWMImagesKind::M2DefBit16,
                   "a.wil",
                   {{"a.wil", wil16.data}, {"a.WIX", wil16.index}},
                   2,
                   2,
                   wil16.recordOffsets[0],
                   ""});
    all.back().oneImage = [sixteen](std::uint16_t width, std::uint16_t height) {
        const M2ArchiveBytes built = buildM2Def({m2Image(width, height, true)}, sixteen);
        return ArchiveFiles{{"a.wil", built.data}, {"a.WIX", built.index}};
    };

    const M2ArchiveBytes wzl = buildM2Zip({{m2Palette[0], false, 6}, {m2[1], true, 9}});
    all.push_back({"wzl",
                   TWMImagesKind::M2Zip,
                   "a.wzl",
                   {{"a.wzl", wzl.data}, {"a.WZX", wzl.index}},
                   2,
                   2,
                   wzl.recordOffsets[0] + 4,
                   ""});
    all.back().oneImage = [](std::uint16_t width, std::uint16_t height) {
        const M2ArchiveBytes built = buildM2Zip({m2Image(width, height, true)}, true);
        return ArchiveFiles{{"a.wzl", built.data}, {"a.WZX", built.index}};
    };
    // Entry 0's body, then 1 GiB of zeros in the same stream.
    all.back().streamPastItsImage = [image = m2Palette[0]] {
        M2ArchiveBytes built = buildM2Zip({image}, false);
        built.data.resize(built.recordOffsets[0]);
        putBytes(built.data,
                 m2ZipRecord(image, 3, deflateWithZeroTail(bottomUpBodyOf(image, false), 1024)));
        return ArchiveFiles{{"a.wzl", built.data}, {"a.WZX", built.index}};
    };

    std::vector<WisImage> wis = {{6, 2, 0, 0, WisEncoding::RunLength8, indices(6, 2), {}},
                                 {3, 3, 1, 1, WisEncoding::Raw8, indices(3, 3), {}},
                                 {4, 2, 2, 2, WisEncoding::Raw16, {}, pattern(4, 2, 3)}};
    const WisFile wisFile = buildWis(wis);
    all.push_back({"wis",
                   TWMImagesKind::M2Wis,
                   "a.wis",
                   {{"a.wis", wisFile.bytes}},
                   3,
                   3,
                   wisFile.recordOffsets[0] + 4,
                   "",
                   kWisFirstRecord});
    all.back().oneImage = [](std::uint16_t width, std::uint16_t height) {
        const WisImage image{width, height, 0, 0, WisEncoding::Raw8, indices(width, height), {}};
        return ArchiveFiles{{"a.wis", buildWis({image}).bytes}};
    };

    for (M3Layout layout : {M3Layout::New, M3Layout::Old}) {
        const M3DefFiles mir3 = buildM3Def({{6, 3, 1, 2, pattern(6, 3, 4), false},
                                            {2, 2, 0, 0, {}, true},
                                            {4, 4, 3, 3, pattern(4, 4, 8), false}},
                                           layout);
        all.push_back({layout == M3Layout::New ? "mir3" : "mir3old",
                       TWMImagesKind::M3Def,
                       "a.wil",
                       {{"a.wil", mir3.data}, {"a.wix", mir3.index}},
                       3,
                       2,
                       mir3.recordOffsets[0],
                       ""});
        all.back().oneImage = [layout](std::uint16_t width, std::uint16_t height) {
            const M3DefFiles built =
                buildM3Def({{width, height, 0, 0, pattern(width, height, 4), false}}, layout);
            return ArchiveFiles{{"a.wil", built.data}, {"a.wix", built.index}};
        };
    }

    const M3ZipImage mizFirst{5, 2, 0, 0, pattern(5, 2, 2), 6};
    const M3ZipArchiveBytes miz = buildM3Zip({mizFirst, {3, 4, 1, 1, pattern(3, 4, 7), 1}});
    all.push_back({"miz",
                   TWMImagesKind::M3Zip,
                   "a.miz",
                   {{"a.miz", miz.data}, {"a.mix", miz.index}},
                   2,
                   2,
                   miz.recordOffsets[0],
                   ""});
    all.back().oneImage = [](std::uint16_t width, std::uint16_t height) {
        const M3ZipArchiveBytes built =
            buildM3Zip({{width, height, 0, 0, pattern(width, height, 2), 6}});
        return ArchiveFiles{{"a.miz", built.data}, {"a.mix", built.index}};
    };
    // Entry 0's body, then 16 MiB of 0xFF in the same stream.
    all.back().streamPastItsImage = [image = mizFirst] {
        Bytes body = m3ZipBody(image);
        body.resize(body.size() + (16u << 20), 0xFF);
        const M3ZipArchiveBytes built =
            buildM3ZipFromRecords({m3ZipRecord(image, m3ZipDeflate(body, 9))});
        return ArchiveFiles{{"a.miz", built.data}, {"a.mix", built.index}};
    };

    const WooolArchiveBytes sgl = buildWoool(
        {wooolGroup(17, {{4, 3, 0, 0, pattern(4, 3, 0xF001)}, {3, 2, 1, 1, pattern(3, 2, 0x8F00)}}),
         std::nullopt, wooolGroup(18, {{2, 5, 2, 2, pattern(2, 5, 0x1234)}})});
    all.push_back({"sgl",
                   TWMImagesKind::WoolDef,
                   "a.sgl",
                   {{"a.sgl", sgl.data}},
                   3,
                   3,
                   sgl.frames[0].offset,
                   ""});
    all.back().oneImage = [](std::uint16_t width, std::uint16_t height) {
        const WooolImage image{width, height, 0, 0, pattern(width, height, 0xF001)};
        return ArchiveFiles{{"a.sgl", buildWoool({wooolGroup(17, {image})}).data}};
    };

    const WuyiArchiveBytes wuyi = buildWuyi({{4, 2, pattern(4, 2, 1)}, {2, 3, pattern(2, 3, 5)}});
    all.push_back({"521g",
                   TWMImagesKind::W521gDef,
                   "a.521g",
                   {{"a.521g", wuyi.data}},
                   2,
                   2,
                   wuyi.recordOffsets[0] + 8,
                   ""});
    all.back().oneImage = [](std::uint16_t width, std::uint16_t height) {
        return ArchiveFiles{
            {"a.521g", buildWuyi({{width, height, pattern(width, height, 1)}}).data}};
    };

    // Every kind of entry and every pixel format, images first and last.
    const std::vector<PackEntry> entries = {
        packImage(5, 3, 0, true),   packFile(63, 200, false), packEmpty(),
        packImage(12, 4, 3, false), packFile(47, 300, true),  packImage(9, 8, 1, true),
        packImage(8, 9, 2, false)};
    for (const std::string password : {"", "pass"}) {
        const PackBytes pack = buildPack(entries, {password});
        all.push_back({password.empty() ? "pak" : "pakProtected",
                       TWMImagesKind::MyImage,
                       "a.pak",
                       {{"a.pak", pack.data}},
                       7,
                       4,
                       static_cast<std::size_t>(pack.slots[0]),
                       password});
        all.back().oneImage = [password](std::uint16_t width, std::uint16_t height) {
            return ArchiveFiles{
                {"a.pak", buildPack({packImageOf(width, height)}, {password}).data}};
        };
    }
    return all;
}

}  // namespace vantoro::testing
