#include "edit/export_entries.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "archive/archive_kind.h"
#include "archive/my_image_images.h"
#include "archive/open_archive.h"
#include "edit/edit_messages.h"
#include "image_io/picture_reader.h"
#include "pixels/std_palette.h"
#include "tests/edit/scripted_prompts.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/woool_writer.h"
#include "tests/support/wuyi_writer.h"

namespace vantoro {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::readFile;

// A pack as export sees one: the class name makes it the own pack, entry 0
// is a 2 x 1 32-bit image drawn into an A8R8G8B8 texture, then raw data,
// WAV, MP3, an empty slot and a data entry without a stream. A stream holds
// the entry's index and the mode it was asked with.
// A pack of every entry kind: a 2 x 2 A8R8G8B8 image, data, a WAV and an
// MP3 sound, an empty slot, and an image too narrow to draw.
std::vector<testing::PackEntry> everyPackEntry() {
    testing::PackEntry image{31, 2, 2, 5, -6, 3, {0x10, 0x20, 0x30, 0x80, 0x40, 0x50, 0x60, 0xFF}};
    image.payload.resize(16, 0);
    testing::PackEntry narrow{31, 1, 1, 0, 0, 3, {1, 2, 3, 4}};
    return {image,
            {47, 0, 0, 0, 0, 0, {1, 2}},
            {63, 0, 0, 0, 0, 0, {2, 1}},
            {79, 0, 0, 0, 0, 0, {3, 1}},
            testing::packEmpty(),
            narrow};
}

class ExportTest : public ::testing::Test {
protected:
    EditResult run(TWMBaseImages& archive, std::int32_t first, std::int32_t last,
                   ExportRequest request = {}) {
        request.first = first;
        request.last = last;
        if (request.folder.empty()) request.folder = out;
        return exportEntries(archive, request, prompts, [&](int p) { progress.push_back(p); });
    }
    std::unique_ptr<TWMBaseImages> open(TWMImagesKind kind, const std::string& path) {
        OpenedArchive opened = openArchive(kind, path);
        EXPECT_TRUE(opened.opened);
        return std::move(opened.archive);
    }
    std::unique_ptr<TWMBaseImages> packOfEveryKind() {
        testing::writePack(dir.file("a.pak"), everyPackEntry());
        return open(TWMImagesKind::MyImage, dir.file("a.pak"));
    }
    std::string text(const std::string& name) {
        const Bytes bytes = readFile(out + name);
        return std::string(bytes.begin(), bytes.end());
    }
    Picture picture(const std::string& name) { return readPicture(out + name).value(); }
    std::uint32_t argb(const Picture& p, std::uint32_t x, std::uint32_t y) {
        const std::uint8_t* px = p.row(y) + 4 * x;
        return std::uint32_t{px[3]} << 24 | std::uint32_t{px[2]} << 16 | px[1] << 8 | px[0];
    }

    testing::TempDir dir;
    std::string out = dir.file("out") + "/";
    testing::ScriptedPrompts prompts;
    std::vector<int> progress;
};

TEST_F(ExportTest, Mir2ImagesGetTheProgramPaletteAndTheirOffsets) {
    testing::writeM2Def(dir.file("a.wil"),
                        {{2, 2, -3, 7, {1, 249, 1, 249}}, {2, 2, 100, -200, {0, 1, 2, 3}}});
    const auto archive = open(TWMImagesKind::M2Def, dir.file("a.wil"));
    ASSERT_EQ(run(*archive, 0, 1).outcome, EditOutcome::Done);

    const Picture first = picture("000000.bmp");
    for (std::uint32_t x = 0; x < 2; ++x) {
        const PaletteColor c = paletteColor(x == 0 ? 1 : 249);
        EXPECT_EQ(argb(first, x, 0) & 0xFFFFFF, std::uint32_t{c.red} << 16 | c.green << 8 | c.blue);
    }
    EXPECT_EQ(text("Placements/000000.txt"), "-3\r\n7\r\n");  // no format line: not a pack
    EXPECT_EQ(text("Placements/000001.txt"), "100\r\n-200\r\n");
    EXPECT_EQ(progress, (std::vector<int>{0, 0, 100}));
    EXPECT_EQ(prompts.shown, std::vector<Prompt>{editPrompt(EditMessage::ExportDone)});
}

TEST_F(ExportTest, AlphaExportKeepsTheTextureWordsOrGivesPlaceholders) {
    testing::writeWoool(dir.file("w.sgl"),
                        {testing::wooolGroup(17, {{2, 2, 4, -4, {0x8F00, 0x10F0, 0, 0}}})});
    testing::M2DefOptions sixteen;
    sixteen.sixteenBit = true;
    testing::writeM2Def(dir.file("h.wil"), {{2, 2, 1, 2, {0xF800, 0x0000, 0, 0}}}, sixteen);
    testing::writeWuyi(dir.file("y.521g"), {testing::wuyiPatternImage(2, 2)});
    struct Case {
        TWMImagesKind kind;
        std::string file;
        std::uint32_t width;
        std::uint32_t left;  // as A8R8G8B8 after reading the BMP back
        std::uint32_t right;
        std::string offsets;
    } const cases[] = {
        {TWMImagesKind::WoolDef, "w.sgl", 2, 0x88FF0000, 0x1100FF00, "4\r\n-4\r\n"},    // A4R4G4B4
        {TWMImagesKind::M2DefBit16, "h.wil", 2, 0xFFFF0000, 0x00000000, "1\r\n2\r\n"},  // A1R5G5B5
        {TWMImagesKind::W521gDef, "y.521g", 1, 0, 0, "0\r\n0\r\n"},  // cannot draw
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto archive = open(c.kind, dir.file(c.file));
        ExportRequest request;
        request.alpha = true;
        ASSERT_EQ(run(*archive, 0, 0, request).outcome, EditOutcome::Done);
        const Picture bmp = picture("000000.bmp");
        ASSERT_EQ(bmp.width, c.width);
        EXPECT_EQ(argb(bmp, 0, 0), c.left);
        if (c.width > 1) {
            EXPECT_EQ(argb(bmp, 1, 0), c.right);
        }
        EXPECT_EQ(text("Placements/000000.txt"), c.offsets);
    }
}

TEST_F(ExportTest, PackEntriesBecomeFilesOfTheirType) {
    const auto archive = packOfEveryKind();
    TWMBaseImages& pack = *archive;
    ExportRequest request;
    request.alpha = true;
    ASSERT_EQ(run(pack, 0, 5, request).outcome, EditOutcome::Done);

    const Picture image = picture("000000.bmp");  // all four bytes of each texel
    EXPECT_EQ(argb(image, 0, 0), 0x80302010u);
    EXPECT_EQ(argb(image, 1, 0), 0xFF605040u);
    EXPECT_EQ(text("Placements/000000.txt"), "5\r\n-6\r\n3\r\n");
    EXPECT_EQ(readFile(out + "000001.dat"), (Bytes{1, 2}));
    EXPECT_EQ(readFile(out + "000002.wav"), (Bytes{2, 1}));
    EXPECT_EQ(readFile(out + "000003.mp3"), (Bytes{3, 1}));
    for (const char* placeholder : {"000004.bmp", "000005.bmp"}) {
        const Picture p = picture(placeholder);
        EXPECT_EQ(p.width * p.height, 1u) << placeholder;
    }
    EXPECT_FALSE(fs::exists(out + "Placements/000001.txt"));

    request.png = true;
    request.format = false;
    ASSERT_EQ(run(pack, 0, 0, request).outcome, EditOutcome::Done);
    const Picture png = picture("000000.png");
    EXPECT_EQ(argb(png, 0, 0), 0x80302010u);
    EXPECT_EQ(argb(png, 1, 0), 0xFF605040u);
    EXPECT_EQ(text("Placements/000000.txt"), "5\r\n-6\r\n");
}

// A stop ends the export after the entry it is on; its files stay and the
// message counts them. A stop after the last entry has nothing to stop.
TEST_F(ExportTest, StopEndsTheExportAfterTheCurrentEntry) {
    const auto archive = packOfEveryKind();
    ExportRequest request{.first = 1, .last = 4, .folder = out};
    int asked = 0;
    const StopCheck stopAtSecond = [&] { return ++asked == 2; };
    EXPECT_EQ(exportEntries(*archive, request, prompts, {}, stopAtSecond).outcome,
              EditOutcome::Refused);
    EXPECT_EQ(prompts.shown, std::vector<Prompt>{exportStoppedPrompt(2)});
    EXPECT_TRUE(fs::exists(out + "000002.wav"));
    EXPECT_FALSE(fs::exists(out + "000003.mp3"));

    request.first = request.last = 3;
    EXPECT_EQ(exportEntries(*archive, request, prompts, {}, [] { return true; }).outcome,
              EditOutcome::Done);
    EXPECT_TRUE(fs::exists(out + "000003.mp3"));
}

// Another program deleted entries after the pack was opened: its reads are
// refused, and the export fails there instead of writing stand-ins.
TEST_F(ExportTest, APackChangedByAnotherProgramEndsTheExport) {
    const auto archive = packOfEveryKind();
    ASSERT_EQ(run(*archive, 0, 0).outcome, EditOutcome::Done);
    {
        const auto other = testing::openPack(archive->FFileName);
        ASSERT_TRUE(other->FInitialized);
        ASSERT_TRUE(other->removeEntries(0, 1, true).ok());
    }
    const EditResult result = run(*archive, 1, 3);
    EXPECT_EQ(result.outcome, EditOutcome::Failed);
    EXPECT_NE(result.error.find("another program"), std::string::npos) << result.error;
    EXPECT_FALSE(fs::exists(out + "000001.bmp"));
    EXPECT_FALSE(fs::exists(out + "000001.dat"));
}

TEST_F(ExportTest, PngFromABitmapKeepsItsColoursAndMakesTheTransparentColourTransparent) {
    struct Case {
        bool sixteenBit;
        std::uint16_t opaque;
        std::uint32_t opaqueArgb;
    };
    // Palette index 1 is 800000; R5G6B5 F800 and 07E0 are full red and green.
    for (const Case c : {Case{false, 1, 0xFF800000u}, Case{true, 0xF800, 0xFFFF0000u},
                         Case{true, 0x07E0, 0xFF00FF00u}}) {
        SCOPED_TRACE(c.opaque);
        testing::writeM2Def(dir.file("a.wil"), {{2, 2, 0, 0, {0, c.opaque, 0, c.opaque}}},
                            {.sixteenBit = c.sixteenBit});
        const auto archive = open(TWMImagesKind::M2Def, dir.file("a.wil"));
        ExportRequest request;
        request.png = true;
        ASSERT_EQ(run(*archive, 0, 0, request).outcome, EditOutcome::Done);
        const Picture png = picture("000000.png");
        EXPECT_EQ(argb(png, 0, 0) >> 24, 0u);
        EXPECT_EQ(argb(png, 1, 0), c.opaqueArgb);
        EXPECT_EQ(argb(png, 1, 1), c.opaqueArgb);
    }
}

TEST_F(ExportTest, BadRangesShowTheirMessageAndWriteNothing) {
    const auto archive = packOfEveryKind();
    TWMBaseImages& pack = *archive;
    const std::tuple<std::int32_t, std::int32_t, EditMessage> cases[] = {
        {-1, 0, EditMessage::RangeStartWrong},
        {0, -1, EditMessage::RangeEndWrong},
        {0, 6, EditMessage::RangeEndTooLarge},
        {3, 2, EditMessage::RangeStartAfterEnd},
    };
    for (const auto& [first, last, message] : cases) {
        prompts.shown.clear();
        EXPECT_EQ(run(pack, first, last).outcome, EditOutcome::Refused);
        EXPECT_EQ(prompts.shown, std::vector<Prompt>{editPrompt(message)});
    }
    EXPECT_FALSE(fs::exists(out));

    TWMBaseImages closed;
    prompts.shown.clear();
    EXPECT_EQ(run(closed, 0, 0).outcome, EditOutcome::Ignored);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ExportTest, FolderTextAndFileNames) {
    const auto archive = packOfEveryKind();
    TWMBaseImages& pack = *archive;
    ExportRequest request;
    request.offsets = false;
    request.folder = "  " + dir.file("plain") + " ";  // blanks dropped, "/" added
    ASSERT_EQ(run(pack, 1, 1, request).outcome, EditOutcome::Done);
    EXPECT_TRUE(fs::exists(dir.file("plain/000001.dat")));
    EXPECT_FALSE(fs::exists(dir.file("plain/Placements")));
    EXPECT_EQ(progress.back(), 100);

    request.folder = " \t";  // would name the root folder
    prompts.shown.clear();
    EXPECT_EQ(run(pack, 1, 1, request).outcome, EditOutcome::Failed);
    testing::writeFile(dir.file("file"), {});
    request.folder = dir.file("file") + "/sub";
    EXPECT_EQ(run(pack, 1, 1, request).outcome, EditOutcome::Failed);
    EXPECT_TRUE(prompts.shown.empty()) << "a failed export is not reported as done";

    EXPECT_EQ(numberedFileName("d/", 1234567, ".bmp"), "d/1234567.bmp");
    EXPECT_EQ(numberedFileName("d/", 7, ".txt"), "d/000007.txt");
}

// Links and other names planted in the folder before the export: each ends
// it with an error, and nothing outside the folder changes.
TEST_F(ExportTest, NamesPlantedInTheFolderAreNeverWrittenThrough) {
    const auto archive = packOfEveryKind();
    const std::string victim = dir.file("victim");
    const std::string elsewhere = dir.file("elsewhere");
    fs::create_directory(elsewhere);
    struct Case {
        const char* name;
        std::function<void(const std::string& folder)> plant;
    };
    const Case cases[] = {
        {"file link", [&](const std::string& f) { fs::create_symlink(victim, f + "000000.bmp"); }},
        {"dangling link",
         [&](const std::string& f) { fs::create_symlink(elsewhere + "/new", f + "000001.dat"); }},
        {"folder link",
         [&](const std::string& f) { fs::create_directory_symlink(elsewhere, f + "Placements"); }},
        {"hard link",
         [&](const std::string& f) { fs::create_hard_link(victim, f + "000001.dat"); }},
        {"pipe", [&](const std::string& f) { ::mkfifo((f + "000001.dat").c_str(), 0600); }},
    };
    for (const Case& c : cases) {
        testing::writeFile(victim, {1, 2, 3});
        const std::string folder = dir.file(std::string("out ") + c.name) + "/";
        fs::create_directory(folder);
        c.plant(folder);
        ExportRequest request;
        request.folder = folder;
        const EditResult result = run(*archive, 0, 1, request);
        EXPECT_EQ(result.outcome, EditOutcome::Failed) << c.name;
        EXPECT_FALSE(result.error.empty()) << c.name;
        EXPECT_EQ(readFile(victim), (Bytes{1, 2, 3})) << c.name;
        EXPECT_TRUE(fs::is_empty(elsewhere)) << c.name;
    }
}

}  // namespace
}  // namespace vantoro
