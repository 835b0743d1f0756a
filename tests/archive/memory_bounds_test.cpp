// Headers that claim the largest counts, sides and payloads their fields can
// hold. Every reader runs on them in a child whose address space is limited:
// it must give up with its own reason, never run out of memory on the way.
// And opening an archive costs memory for its index, not for its data.
#include <gtest/gtest.h>
#include <zlib.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>

#include "archive/archive_reader.h"
#include "archive/my_image_images.h"
#include "archive/open_archive.h"
#include "image_io/load_picture.h"
#include "image_io/picture_reader.h"
#include "image_io/png_file.h"
#include "tests/support/child_process.h"
#include "tests/support/format_fixtures.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using namespace vantoro::testing;

// What a reader may add to the address space while it refuses a header:
// enough for its buffers, far less than what the header claims.
constexpr std::uint64_t kRefusalBudget = 128ull << 20;
constexpr std::uint32_t kLargestCount = INT32_MAX;

using Files = std::vector<std::pair<std::string, Bytes>>;

// The fixture of that name, damaged, written into `dir`; answers the path
// of its data file.
std::function<std::string(const TempDir&)> damaged(
    const std::string& name, std::function<void(Files&, std::size_t)> damage) {
    return [name, damage](const TempDir& dir) {
        for (FormatFixture& fixture : formatFixtures()) {
            if (fixture.name != name) continue;
            damage(fixture.files, fixture.widthAt);
            for (const auto& [file, bytes] : fixture.files) writeFile(dir.file(file), bytes);
            return dir.file(fixture.dataFile);
        }
        return std::string();
    };
}

// Entry 0 claims the largest image the readers accept.
void largestSides(Bytes& data, std::size_t widthAt) {
    setU16At(data, widthAt, kMaxImageSide);
    setU16At(data, widthAt + 2, kMaxImageSide);
}

// Why opening `path` or reading entry `entry` failed: the raised message,
// the opening's reason when it lists nothing, or the entry's reason.
std::function<std::string(const std::string&)> archiveReason(TWMImagesKind kind,
                                                             std::int32_t entry = -1,
                                                             std::string password = {}) {
    return [=](const std::string& path) -> std::string {
        OpenedArchive opened = openArchive(kind, path, password);
        const std::unique_ptr<TWMBaseImages> archive = std::move(opened.archive);
        try {
            if (opened.raised) std::rethrow_exception(opened.raised);
            if (!opened.opened || archive->FImageCount == 0) return archive->lastError();
            if (entry < 0)
                return "opened with " + std::to_string(archive->FImageCount) + " entries";
            const bool read = archive->GetDataType(entry) == kDataTypeImage
                                  ? archive->GetBitmap(entry).has_value()
                                  : archive->GetDataStream(entry, 0).has_value();
            return read ? "entry read" : archive->lastError();
        } catch (const std::exception& error) {
            return error.what();
        }
    };
}

// TGA pictures are read by the import alone.
std::string pictureReason(const std::string& path) {
    const Result<Picture> picture = path.ends_with(".tga") ? LoadPicture(path) : readPicture(path);
    return picture ? "picture read" : picture.error();
}

// The file `name` of what `make` builds, built when the case runs.
std::function<std::string(const TempDir&)> fileOf(const std::string& name,
                                                  std::function<Bytes()> make) {
    return [=](const TempDir& dir) {
        writeFile(dir.file(name), make());
        return dir.file(name);
    };
}

// A 2 x 2 PNG whose header, its CRC mended, claims width x height.
Bytes pngClaiming(std::uint32_t width, std::uint32_t height) {
    const std::vector<std::uint8_t> pixels(16, 0x80);
    Bytes png = *encodePng(PngRows{pixels, 2, 2, PngLayout::Rgba8, 0});
    const auto putBigEndian = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) png[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    putBigEndian(16, width);
    putBigEndian(20, height);
    putBigEndian(29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)));
    return png;
}

// A whole 1-bit grey PNG, width x height, of sparse seeded noise: a few
// hundred kilobytes that hold every row, so the picture passes every check.
Bytes noisePng(std::uint32_t width, std::uint32_t height) {
    const auto putBigEndian = [](Bytes& out, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (24 - 8 * i)));
    };
    const auto chunk = [&](Bytes& out, const char* type, const Bytes& data) {
        putBigEndian(out, static_cast<std::uint32_t>(data.size()));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        putBytes(out, data);
        putBigEndian(out, static_cast<std::uint32_t>(
                              crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
    };
    Bytes header;
    putBigEndian(header, width);
    putBigEndian(header, height);
    putBytes(header, {1, 0, 0, 0, 0});  // depth 1, grey
    const std::size_t rowBytes = 1 + (width + 7) / 8;
    Bytes rows(static_cast<std::size_t>(height) * rowBytes, 0);
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        if (i % rowBytes != 0 && (seed >> 24) < 4) rows[i] = static_cast<std::uint8_t>(seed);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    Bytes packed(packedSize);
    compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 6);
    packed.resize(packedSize);
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", {});
    return png;
}

// A TGA header of a run-length coded 32-bit picture and one packet.
Bytes tgaClaiming(std::uint16_t width, std::uint16_t height) {
    Bytes tga(18, 0);
    tga[2] = 10;
    setU16At(tga, 12, width);
    setU16At(tga, 14, height);
    tga[16] = 32;
    putBytes(tga, {0xFF, 1, 2, 3, 4});
    return tga;
}

// A pack whose one data entry is a zlib stream of `inflated` zero bytes.
Bytes packWithZlibBomb(std::uint64_t inflated) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 15, 8, Z_RLE);  // runs of zeros, quickly
    const Bytes zeros(1 << 20, 0);
    Bytes packed(inflated / 256, 0);  // zeros deflate about a thousandfold
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    for (std::uint64_t done = 0; done < inflated; done += zeros.size()) {
        stream.next_in = const_cast<Bytef*>(zeros.data());
        stream.avail_in = static_cast<uInt>(zeros.size());
        deflate(&stream, done + zeros.size() >= inflated ? Z_FINISH : Z_NO_FLUSH);
    }
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    PackBytes pack = buildPack({packFile(kDataTypeRaw, packed.size(), false)}, {"", false});
    const std::size_t header = static_cast<std::size_t>(pack.slots[0]);
    pack.data[header + 18] = 1;  // compressed
    std::copy(packed.begin(), packed.end(), pack.data.begin() + header + kPackEntryHeaderSize);
    return pack.data;
}

struct HostileHeader {
    const char* name;
    std::function<std::string(const TempDir&)> write;     // answers the path to read
    std::function<std::string(const std::string&)> read;  // answers why reading failed
    const char* reason;                                   // part of that answer
    std::uint64_t budget = kRefusalBudget;                // address space it may add
};

void PrintTo(const HostileHeader& header, std::ostream* out) {
    *out << header.name;
}

const HostileHeader kHostileHeaders[] = {
    {"wilIndexCount",
     damaged("wil", [](Files& f, std::size_t) { setU32At(f[1].second, 44, kLargestCount); }),
     archiveReason(TWMImagesKind::M2Def), "index count 2147483647 is outside"},
    {"wil16Sides",
     damaged("wil16", [](Files& f, std::size_t at) { largestSides(f[0].second, at); }),
     archiveReason(TWMImagesKind::M2DefBit16, 0), "image pixels are cut short"},
    {"wzlIndexCount",
     damaged("wzl", [](Files& f, std::size_t) { setU32At(f[1].second, 44, kMaxIndexCount); }),
     archiveReason(TWMImagesKind::M2Zip), "more offsets than the index file holds"},
    {"wzlPayload",
     damaged("wzl",
             [](Files& f, std::size_t at) {
                 largestSides(f[0].second, at);
                 setU32At(f[0].second, at + 8, kLargestCount);
             }),
     archiveReason(TWMImagesKind::M2Zip, 0), "image pixels are cut short"},
    {"wisPayload",
     damaged("wis",
             [](Files& f, std::size_t at) {
                 largestSides(f[0].second, at);
                 setU32At(f[0].second, f[0].second.size() - 3 * 12 + 4, kLargestCount);
             }),
     archiveReason(TWMImagesKind::M2Wis, 0), "image pixels are cut short"},
    {"mir3Counts",
     damaged("mir3",
             [](Files& f, std::size_t) {
                 setU32At(f[0].second, 24, kLargestCount);
                 setU32At(f[1].second, 20, kLargestCount);
             }),
     archiveReason(TWMImagesKind::M3Def), "index count 2147483647 is outside"},
    {"mir3Payload",
     damaged("mir3",
             [](Files& f, std::size_t at) {
                 largestSides(f[0].second, at);
                 setU32At(f[0].second, at + 13, kLargestCount);
             }),
     archiveReason(TWMImagesKind::M3Def, 0), "image pixels are cut short"},
    {"mir3OldSides",
     damaged("mir3old", [](Files& f, std::size_t at) { largestSides(f[0].second, at); }),
     archiveReason(TWMImagesKind::M3Def, 0), "payload ends before row"},
    {"mizPayload",
     damaged("miz",
             [](Files& f, std::size_t at) {
                 largestSides(f[0].second, at);
                 setU32At(f[0].second, at + 8, kLargestCount);
             }),
     archiveReason(TWMImagesKind::M3Zip, 0), "image pixels are cut short"},
    {"sglGroupCount",
     damaged("sgl",
             [](Files& f, std::size_t) {
                 Bytes& data = f[0].second;
                 setU32At(data, data[36] | (data[37] << 8) | (data[38] << 16), kLargestCount);
             }),
     archiveReason(TWMImagesKind::WoolDef), "group count 2147483647 does not fit the file"},
    {"sglTiles",
     damaged("sgl",
             [](Files& f, std::size_t at) {
                 largestSides(f[0].second, at);
                 setU16At(f[0].second, at + 8, 0xFFFF);  // 255 x 255 tiles
             }),
     archiveReason(TWMImagesKind::WoolDef, 0), "tile"},
    {"521gCount",
     damaged("521g", [](Files& f, std::size_t) { setU32At(f[0].second, 76, kLargestCount); }),
     archiveReason(TWMImagesKind::W521gDef), "entry count 2147483647 does not fit the file"},
    {"521gDataSize",
     damaged("521g",
             [](Files& f, std::size_t at) {
                 largestSides(f[0].second, at);
                 setU32At(f[0].second, at - 4, UINT32_MAX);
             }),
     archiveReason(TWMImagesKind::W521gDef, 0), "image data passes the end of the file"},
    {"pakCount",
     damaged("pak", [](Files& f, std::size_t) { setU32At(f[0].second, 48, kLargestCount); }),
     archiveReason(TWMImagesKind::MyImage), "cannot come from a packed index"},
    {"pakRawIndexCount",
     damaged("pak",
             [](Files& f, std::size_t) {
                 setU32At(f[0].second, 44, 0);
                 setU32At(f[0].second, 48, kLargestCount);
             }),
     archiveReason(TWMImagesKind::MyImage), "names more slots than the pack holds"},
    // A sparse file seems to hold any raw index: the count is held to the cap.
    {"pakSparseRawIndex",
     [](const TempDir& dir) {
         const std::string path = damaged("pak", [](Files& f, std::size_t) {
             setU32At(f[0].second, 44, 0);
             setU32At(f[0].second, 48, kLargestCount);
         })(dir);
         std::filesystem::resize_file(path, std::uint64_t{9} << 30);
         return path;
     },
     archiveReason(TWMImagesKind::MyImage), "index count 2147483647 is outside"},
    {"pakProtectedCount",
     damaged("pakProtected", [](Files& f, std::size_t) { setU32At(f[0].second, 24, 60'000'000); }),
     archiveReason(TWMImagesKind::MyImage, -1, "pass"), "cannot come from a packed index"},
    {"pakEntryLength",
     damaged("pak",
             [](Files& f, std::size_t at) {
                 setU16At(f[0].second, at, 0xFFFF);
                 setU16At(f[0].second, at + 2, 0xFFFF);
                 setU32At(f[0].second, at + 13, kLargestCount);
             }),
     archiveReason(TWMImagesKind::MyImage, 0), "entry data are cut short"},
    // A stored stream has no size beside it: it inflates up to the
    // documented cap, and the buffer grows by half its size at a time.
    {"pakInflatedStream",
     fileOf("bomb.pak", [] { return packWithZlibBomb(kMaxPackInflatedSize + (1 << 20)); }),
     archiveReason(TWMImagesKind::MyImage, 0), "stored stream does not inflate",
     3 * kMaxPackInflatedSize},
    {"bmpRows",
     fileOf("a.bmp",
            [] {
                Bytes bmp = {'B', 'M'};
                putZeros(bmp, 8);
                putU32(bmp, 54);
                for (const std::uint32_t v : {40u, 32768u, 2048u}) putU32(bmp, v);
                putU16(bmp, 1);
                putU16(bmp, 24);
                putZeros(bmp, 24);
                return bmp;
            }),
     pictureReason, "bmp pixel rows reach past the end of the file"},
    {"pngData", fileOf("a.png", [] { return pngClaiming(8192, 8192); }), pictureReason,
     "png: too little image data"},
    {"tgaRuns", fileOf("a.tga", [] { return tgaClaiming(8192, 8192); }), pictureReason,
     "tga pixels cut short"},
    // Start of image, an 8192 x 8192 progressive frame, a scan, end of image.
    {"jpegProgressiveSides",
     fileOf("a.jpg",
            [] {
                return Bytes{0xFF, 0xD8, 0xFF, 0xC2, 0, 17, 8,    0x20, 0,    0x20, 0,   3,  1,
                             0x11, 0,    2,    0x11, 0, 3,  0x11, 0,    0xFF, 0xDA, 0,   12, 3,
                             1,    0,    2,    0,    3, 0,  0,    0,    0,    0xFF, 0xD9};
            }),
     pictureReason, "jpeg: too little image data for a progressive 8192 x 8192 picture"},
    // Within every limit, but more than the memory left: told in our words.
    {"pngPastTheMemory", fileOf("a.png", [] { return noisePng(8192, 8192); }), pictureReason,
     "not enough memory for the picture"},
};

class HostileHeaderTest : public ::testing::TestWithParam<HostileHeader> {};

TEST_P(HostileHeaderTest, FailsWithItsReasonInALimitedAddressSpace) {
    if (underAddressSanitizer())
        GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space";
    TempDir dir;
    const std::string path = GetParam().write(dir);
    const ChildEnd end = runInChild([&] {
        if (!limitAddressSpace(addressSpaceBytes() + GetParam().budget)) return std::string();
        return GetParam().read(path);
    });
    ASSERT_TRUE(end.exited) << "signal " << end.signal;
    EXPECT_EQ(end.code, 0) << end.text;
    EXPECT_NE(end.text.find(GetParam().reason), std::string::npos) << end.text;
}

INSTANTIATE_TEST_SUITE_P(Readers, HostileHeaderTest, ::testing::ValuesIn(kHostileHeaders),
                         [](const auto& info) { return std::string(info.param.name); });

// A 1 GiB data file (sparse) behind an index of 200,000 offsets: opening
// reads the index and never the data, so what it costs follows the index.
TEST(OpeningMemoryTest, GrowsWithTheIndexNotTheData) {
    if (underAddressSanitizer())
        GTEST_SKIP() << "AddressSanitizer's shadow memory counts as resident";
    constexpr std::int32_t kEntries = 200'000;
    constexpr std::uint64_t kDataBytes = 1ull << 30;
    TempDir dir;
    const M2ArchiveBytes small = buildM2Def({patternImage(4, 4, false)});
    writeFile(dir.file("a.wil"), small.data);
    std::filesystem::resize_file(dir.file("a.wil"), kDataBytes);
    Bytes index(small.index.begin(), small.index.begin() + 52);
    setU32At(index, 44, kEntries);
    for (std::int32_t i = 0; i < kEntries; ++i) {
        putU32(index, static_cast<std::uint32_t>(small.recordOffsets[0] + 5000ull * i));
    }
    writeFile(dir.file("a.WIX"), index);

    const ChildEnd end = runInChild([&] {
        const std::uint64_t before = residentBytes();
        const OpenedArchive opened = openArchive(TWMImagesKind::M2Def, dir.file("a.wil"));
        TWMBaseImages* archive = opened.archive.get();
        if (!opened.opened || archive->FImageCount != kEntries) return std::string("-1");
        archive->GetBitmap(kEntries - 1);
        return std::to_string(peakResidentBytes() - std::min(before, peakResidentBytes()));
    });
    ASSERT_TRUE(end.exited && end.code == 0) << end.text;
    // The index takes 4 bytes an entry; a few times that (the file's bytes
    // and the list they become) and a little to spare is all opening needs.
    constexpr std::uint64_t kBound = 16ull * kEntries + (4u << 20);
    EXPECT_LE(std::stoull(end.text), kBound);
}

}  // namespace
}  // namespace vantoro
