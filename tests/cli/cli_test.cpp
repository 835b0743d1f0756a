#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "archive/archive_kind.h"
#include "cli/cli_app.h"
#include "io/byte_reader.h"
#include "io/file_stream.h"
#include "pixels/std_palette.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/format_fixtures.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/m2_wis_writer.h"
#include "tests/support/m2_zip_writer.h"
#include "tests/support/m3_def_writer.h"
#include "tests/support/m3_zip_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/test_files.h"
#include "tests/support/woool_writer.h"
#include "tests/support/wuyi_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::CliRun;
using testing::expectOneLineError;
using testing::PngView;
using testing::readPng;
using testing::runBinary;
using testing::runWith;

// Two 8-bit images and one 16-bit archive with known pixels and offsets.
const testing::M2Image kPal2x2{2, 2, -3, 7, {0, 1, 249, 255}};
const testing::M2Image kPal3x2{3, 2, 100, -200, {255, 255, 255, 1, 1, 1}};
const testing::M2Image kRgb2x2{2, 2, 5, 6, {0xF800, 0x07E0, 0x0001, 0x0000}};

class CliTest : public ::testing::Test {
protected:
    std::string mir2(const std::string& name = "Hum.wil") {
        const std::string path = dir.file(name);
        testing::writeM2Def(path, {kPal2x2, kPal3x2});
        return path;
    }
    std::string mir2Bit16() {
        const std::string path = dir.file("Hum_16.wil");
        testing::M2DefOptions options;
        options.sixteenBit = true;
        testing::writeM2Def(path, {kRgb2x2}, options);
        return path;
    }
    // A Mir3 .wil whose data file starts with the 16-bit value 1.
    std::string mir3(const std::string& name, testing::M3DefFiles* built = nullptr) {
        testing::M3DefFiles files = testing::buildM3Def(
            {{2, 2, 1, 2, {0xF800, 0, 0, 0xFFFF}}, {3, 2, 0, 0, std::vector<std::uint16_t>(6, 7)}},
            testing::M3Layout::New);
        testing::setU16At(files.data, 0, 1);
        const std::string path = dir.file(name);
        testing::writeM3DefFiles(path, files);
        if (built) *built = files;
        return path;
    }
    std::string out(const std::string& name) { return dir.file(name); }

    testing::TempDir dir;
};

// ---- help and usage --------------------------------------------------------------

TEST_F(CliTest, HelpGoesToStdoutWithExitZero) {
    const CliRun program = runWith({"--help"});
    EXPECT_EQ(0, program.code);
    EXPECT_EQ("", program.err);
    EXPECT_EQ(0u, program.out.find("Usage: vantoro-cli "));
    for (const char* command : {"info", "list", "bitmap", "texture", "render"}) {
        EXPECT_NE(std::string::npos, program.out.find(std::string("  ") + command + " ["));
        const CliRun help = runWith({command, "--help"});
        EXPECT_EQ(0, help.code);
        EXPECT_EQ("", help.err);
        EXPECT_EQ(0u,
                  help.out.find(std::string("Usage: vantoro-cli ") + command + " [--kind N] FILE"));
    }
    // The kinds by number and the extension rule in the table's order, each
    // extension once, wrapped under the option's text.
    std::vector<const ArchiveKindInfo*> rows;
    for (const ArchiveKindInfo& info : archiveKinds()) rows.push_back(&info);
    std::ranges::sort(rows, {}, &ArchiveKindInfo::kind);
    std::string kinds = "archive kind:";
    for (const ArchiveKindInfo* info : rows) {
        kinds +=
            ' ' + std::to_string(kindNumber(info->kind)) + ' ' + std::string(info->label) + ',';
    }
    std::string extensions = "in any letter case:";
    for (const std::string_view extension : archiveExtensions()) {
        extensions += ' ' + std::string(extension) + ' ' +
                      std::to_string(kindNumber(*kindForExtension(extension, {})));
        if (extension == ".wil") extensions += " (4 when the file starts with the 16-bit value 1)";
        extensions += ',';
    }
    kinds.back() = '.';
    extensions.back() = '.';
    std::string unwrapped;
    std::istringstream lines(program.out);
    for (std::string line; std::getline(lines, line);) {
        unwrapped += line.starts_with("             ") ? line.substr(12) : '\n' + line;
    }
    EXPECT_NE(
        std::string::npos,
        unwrapped.find("  --kind N   " + kinds +
                       " Without it the kind follows the file's extension, " + extensions + '\n'))
        << unwrapped;
    // Help wins over whatever else is wrong on the line.
    EXPECT_EQ(0, runWith({"bitmap", "--bogus", "x", "--help"}).code);
}

TEST_F(CliTest, UsageErrorsExitTwoWithOneLine) {
    const std::string wil = mir2();
    expectOneLineError(runWith({}), 2, "missing command");
    expectOneLineError(runWith({"frobnicate", wil}), 2, "unknown command 'frobnicate'");
    expectOneLineError(runWith({"info", "--verbose", wil}), 2, "unknown option '--verbose'");
    expectOneLineError(runWith({"info"}), 2, "missing argument FILE");
    expectOneLineError(runWith({"bitmap", wil}), 2, "missing argument INDEX");
    expectOneLineError(runWith({"texture", wil, "0"}), 2, "missing argument OUT.png");
    expectOneLineError(runWith({"info", wil, "extra"}), 2, "unexpected argument 'extra'");
    expectOneLineError(runWith({"info", wil, "--kind"}), 2, "--kind needs a value");
    expectOneLineError(runWith({"info", "--kind", "x", wil}), 2, "bad archive kind 'x'");
    expectOneLineError(runWith({"info", "--kind", "256", wil}), 2, "bad archive kind");
    for (const char* index : {"abc", "-1", "1x", "", "99999999999"}) {
        expectOneLineError(runWith({"bitmap", wil, index, out("o.bmp")}), 2, "bad index");
    }
}

TEST_F(CliTest, MissingFileAndUnknownExtensionAreUsageErrors) {
    expectOneLineError(runWith({"info", out("absent.wil")}), 2, "no such file");
    expectOneLineError(runWith({"list", "--kind", "0", out("absent.wil")}), 2, "no such file");
    testing::writeFile(out("picture.bmp"), Bytes(64, 1));
    expectOneLineError(runWith({"info", out("picture.bmp")}), 2, "pass --kind");
    std::filesystem::create_directory(out("folder.wil"));
    expectOneLineError(runWith({"info", out("folder.wil")}), 2, "no such file");
}

TEST_F(CliTest, KindWithoutClassIsAUsageError) {
    expectOneLineError(runWith({"list", "--kind", "9", mir2()}), 2, "bad archive kind '9'");
}

// ---- info and the kind rule -------------------------------------------------------

TEST_F(CliTest, InfoPrintsKindClassAndEntries) {
    const std::string wil = mir2();
    const CliRun run = runWith({"info", wil});
    EXPECT_EQ(0, run.code) << run.err;
    EXPECT_EQ("", run.err);
    EXPECT_EQ("file: " + wil + "\nkind: 0\nclass: TWMM2DefImages\nentries: 2\n", run.out);
    // --kind overrides the extension; the factory's byte keeps only 7 bits.
    EXPECT_NE(
        std::string::npos,
        runWith({"info", "--kind", "1", wil}).out.find("kind: 1\nclass: TWMM2DefBit16Images\n"));
    EXPECT_NE(std::string::npos,
              runWith({"info", "--kind=129", wil}).out.find("class: TWMM2DefBit16Images\n"));

    // An index whose count the file cannot hold opens the archive empty, and
    // info and list say why.
    Bytes index = testing::readFile(dir.file("Hum.WIX"));
    testing::setU32At(index, 44, 5'000'000);
    testing::writeFile(dir.file("Hum.WIX"), index);
    const CliRun listed = runWith({"list", wil});
    EXPECT_EQ(0, listed.code);
    EXPECT_EQ("", listed.out);
    EXPECT_NE(std::string::npos, listed.err.find("names more offsets than the index file holds"));
    const CliRun refused = runWith({"info", wil});
    EXPECT_EQ(0, refused.code);
    EXPECT_NE(std::string::npos, refused.out.find("entries: 0\n"));
    EXPECT_NE(std::string::npos, refused.err.find("names more offsets than the index file holds"))
        << refused.err;
}

// Every format's archive under its extension in three spellings. A kind
// without an extension of its own (the 16-bit Mir2 menu entry) needs
// --kind, a protected pack --password; Mir3's .wil, told apart by its
// first word, comes last.
TEST_F(CliTest, KindFollowsTheExtensionInAnyCase) {
    const auto spelled = [](std::string extension, int spelling) {
        for (std::size_t i = 1; i < extension.size(); ++i) {
            const bool upper = spelling == 1 || (spelling == 2 && i == 1);
            extension[i] = static_cast<char>(upper ? std::toupper(extension[i]) : extension[i]);
        }
        return extension;
    };
    for (const testing::FormatFixture& fixture : testing::formatFixtures()) {
        const ArchiveKindInfo* row = findArchiveKind(fixture.kind);
        const bool sharesExtension =
            &*std::ranges::find(archiveKinds(), row->extension, &ArchiveKindInfo::extension) != row;
        if (row->extension.empty() || sharesExtension || !fixture.password.empty()) continue;
        const std::string lines =
            "kind: " + std::to_string(kindNumber(fixture.kind)) +
            "\nclass: " + std::string(CreateWMImages(fixture.kind)->className()) + '\n';
        for (int spelling = 0; spelling < 3; ++spelling) {
            const std::string stem = fixture.name + std::to_string(spelling);
            for (const auto& [name, bytes] : fixture.files) {
                const std::string extension(fileExtension(name));
                const bool data = name == fixture.dataFile;
                testing::writeFile(out(stem + (data ? spelled(extension, spelling) : extension)),
                                   bytes);
            }
            const std::string path =
                out(stem + spelled(std::string(fileExtension(fixture.dataFile)), spelling));
            const CliRun run = runWith({"info", path});
            EXPECT_EQ(0, run.code) << path << ": " << run.err;
            EXPECT_NE(std::string::npos, run.out.find(lines)) << path << "\n" << run.out;
        }
    }
    for (const std::string& mir3Wil : {mir3("Mon1.WIL"), mir3("Mon2.wil")}) {
        EXPECT_NE(std::string::npos,
                  runWith({"info", mir3Wil}).out.find("kind: 4\nclass: TWMM3DefImages\n"));
    }
    // A .wil too short to hold a 16-bit value is a Mir2 archive.
    testing::writeFile(out("tiny.wil"), Bytes{1});
    EXPECT_NE(std::string::npos,
              runWith({"info", out("tiny.wil")}).out.find("kind: 0\nclass: TWMM2DefImages\n"));
}

TEST_F(CliTest, InfoReportsAFailedOrRaisingInitializeWithExitOne) {
    testing::M3DefFiles files;
    const std::string wil = mir3("Mon.wil", &files);
    std::filesystem::remove(testing::m3IndexPathFor(wil));
    const CliRun failed = runWith({"info", wil});
    EXPECT_EQ(1, failed.code);
    EXPECT_EQ("file: " + wil + "\nkind: 4\nclass: TWMM3DefImages\nentries: 0\n", failed.out);
    EXPECT_EQ(0u, failed.err.rfind("vantoro-cli: ", 0)) << failed.err;

    // The data file counts one image more than its index: the reader raises.
    testing::setU32At(files.data, testing::kM3DataCountAt, 3);
    testing::writeM3DefFiles(wil, files);
    const CliRun raised = runWith({"info", wil});
    EXPECT_EQ(1, raised.code);
    EXPECT_NE(std::string::npos, raised.out.find("entries: 0\n"));
    EXPECT_EQ("vantoro-cli: " + wil + " 对应文件数量不一致\n", raised.err);
    EXPECT_EQ(1, runWith({"list", wil}).code);
}

// ---- list ---------------------------------------------------------------------------

TEST_F(CliTest, ListPrintsOneLinePerEntry) {
    const CliRun run = runWith({"list", mir2()});
    EXPECT_EQ(0, run.code) << run.err;
    EXPECT_EQ("0 31 2 2 -3 7\n1 31 3 2 100 -200\n", run.out);
    EXPECT_EQ("", run.err);
}

TEST_F(CliTest, ListGoesOnPastBrokenEntries) {
    // Entry 1 has an unknown encoding (the reader raises), entry 2 a width of
    // 1 (rejected quietly).
    std::vector<testing::WisRecord> records = {
        testing::wisRecordOf({2, 2, 4, 5, testing::WisEncoding::Raw8, {1, 2, 3, 4}, {}}),
        {9, 2, 2, 0, 0, Bytes(4, 1)},
        {0, 1, 2, 0, 0, Bytes(2, 1)},
        testing::wisRecordOf({3, 2, -1, -2, testing::WisEncoding::Raw8, Bytes(6, 5), {}}),
    };
    const testing::WisFile file = testing::buildWisRecords(records);
    testing::writeFile(out("broken.wis"), file.bytes);
    const CliRun run = runWith({"list", out("broken.wis")});
    EXPECT_EQ(0, run.code);
    EXPECT_EQ("0 31 2 2 4 5\n1 31 0 0 0 0\n2 31 0 0 0 0\n3 31 3 2 -1 -2\n", run.out);
    EXPECT_EQ("vantoro-cli: entry 1: not Encrypt code 9\n", run.err);
}

// ---- bitmap -------------------------------------------------------------------------

struct BmpView {
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    Bytes colorData;  // colour table or masks
    Bytes bits;       // bottom-up rows
};

BmpView readBmp(const Bytes& file) {
    BmpView view;
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return view;
    const std::uint32_t pixelOffset = decodeU32(&file[10]);
    view.width = decodeI32(&file[18]);
    view.height = decodeI32(&file[22]);
    view.bitCount = decodeU16(&file[28]);
    view.compression = decodeU32(&file[30]);
    view.colorData.assign(file.begin() + 54, file.begin() + pixelOffset);
    view.bits.assign(file.begin() + pixelOffset, file.end());
    return view;
}

TEST_F(CliTest, BitmapWritesEightBitWithTheProgramPalette) {
    const CliRun run = runWith({"bitmap", mir2(), "0", out("e0.bmp")});
    ASSERT_EQ(0, run.code) << run.err;
    const BmpView bmp = readBmp(testing::readFile(out("e0.bmp")));
    EXPECT_EQ(8, bmp.bitCount);
    EXPECT_EQ(0u, bmp.compression);
    EXPECT_EQ(2, bmp.width);
    EXPECT_EQ(2, bmp.height);
    EXPECT_EQ(Bytes(StdPalette.begin(), StdPalette.end()), bmp.colorData);
    EXPECT_EQ((Bytes{249, 255, 0, 0, 0, 1, 0, 0}), bmp.bits);  // bottom row first
}

TEST_F(CliTest, BitmapWritesSixteenBitAsBitFields) {
    ASSERT_EQ(0, runWith({"bitmap", mir2Bit16(), "0", out("e0.bmp")}).code);
    const BmpView bmp = readBmp(testing::readFile(out("e0.bmp")));
    EXPECT_EQ(16, bmp.bitCount);
    EXPECT_EQ(3u, bmp.compression);
    EXPECT_EQ((Bytes{0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}), bmp.colorData);
    EXPECT_EQ((Bytes{0x01, 0x00, 0x00, 0x00, 0x00, 0xF8, 0xE0, 0x07}), bmp.bits);
}

TEST_F(CliTest, BitmapFailuresAndRanges) {
    testing::M2ArchiveBytes archive = testing::buildM2Def({kPal2x2, kPal3x2});
    testing::setU16At(archive.data, archive.recordOffsets[1], 1);  // width 1: rejected
    testing::writeArchiveFiles(out("bad.wil"), archive, ".wix");
    expectOneLineError(runWith({"bitmap", out("bad.wil"), "1", out("e1.bmp")}), 1, "no bitmap");
    EXPECT_FALSE(std::filesystem::exists(out("e1.bmp")));
    expectOneLineError(runWith({"bitmap", out("bad.wil"), "2", out("e2.bmp")}), 1,
                       "index 2 out of range (0..1)");
    expectOneLineError(runWith({"bitmap", mir2(), "0", out("no/such/folder/e.bmp")}), 1, "cannot");
}

// ---- texture ------------------------------------------------------------------------

TEST_F(CliTest, TextureOfAPaletteImageIsExpandedFromA1R5G5B5) {
    const CliRun run = runWith({"texture", mir2(), "0", out("e0.png")});
    ASSERT_EQ(0, run.code) << run.err;
    const PngView png = readPng(testing::readFile(out("e0.png")));
    EXPECT_EQ(2u, png.width);
    EXPECT_EQ(2u, png.height);
    EXPECT_EQ(PNG_COLOR_TYPE_RGB_ALPHA, png.colorType);
    // Index 0 transparent; 1 (800000) -> red 16 -> 132; 249 (FF0000); 255 (FFFFFF).
    EXPECT_EQ((Bytes{0, 0, 0, 0, 132, 0, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255}), png.rgba);
}

TEST_F(CliTest, TextureOfSixteenBitAndWooolImages) {
    ASSERT_EQ(0, runWith({"texture", mir2Bit16(), "0", out("r.png")}).code);
    // F800 red, 07E0 green (lowest green bit dropped), 0001 near-black but
    // opaque, 0000 transparent.
    EXPECT_EQ((Bytes{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 8, 255, 0, 0, 0, 0}),
              readPng(testing::readFile(out("r.png"))).rgba);

    const testing::WooolImage image{2, 2, 0, 0, {0xF123, 0x8F00, 0x0000, 0x1FFF}};
    testing::writeWoool(out("ui.sgl"), {testing::wooolGroup(17, {image})});
    const CliRun run = runWith({"texture", out("ui.sgl"), "0", out("w.png")});
    ASSERT_EQ(0, run.code) << run.err;
    EXPECT_EQ((Bytes{0x11, 0x22, 0x33, 0xFF, 0xFF, 0, 0, 0x88, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x11}),
              readPng(testing::readFile(out("w.png"))).rgba);
}

TEST_F(CliTest, TextureFailsWithExitOneWhenTheEntryCannotBeDrawn) {
    testing::M2ArchiveBytes archive = testing::buildM2Def({kPal2x2});
    testing::setU16At(archive.data, archive.recordOffsets[0] + 2, 4096);  // height past 4095
    testing::writeArchiveFiles(out("bad.wil"), archive, ".wix");
    expectOneLineError(runWith({"texture", out("bad.wil"), "0", out("t.png")}), 1,
                       "cannot be drawn");
    EXPECT_FALSE(std::filesystem::exists(out("t.png")));

    // Wuyi archives yield bitmaps but never draw into a texture.
    testing::writeWuyi(out("wy.521g"), {{2, 2, {0xF800, 0x07E0, 0x001F, 0xFFFF}}});
    EXPECT_EQ(0, runWith({"bitmap", out("wy.521g"), "0", out("wy.bmp")}).code);
    EXPECT_EQ((Bytes{0x1F, 0, 0xFF, 0xFF, 0, 0xF8, 0xE0, 0x07}),
              readBmp(testing::readFile(out("wy.bmp"))).bits);
    expectOneLineError(runWith({"texture", out("wy.521g"), "0", out("wy.png")}), 1,
                       "cannot be drawn");
}

TEST_F(CliTest, PackListsPixelFormatsAndGivesStoredFilesWithItsPassword) {
    const std::string pack = out("p.pak");
    const testing::PackEntry sound = testing::packFile(63, 300, true);
    testing::writePack(pack, {testing::packImage(3, 2, 3, true), sound, testing::packEmpty()},
                       {"pw"});
    EXPECT_EQ(runWith({"list", pack}).out, "");  // protected: no entries without it
    EXPECT_EQ(runWith({"list", "--password", "pw", pack}).out,
              "0 31 3 2 1 -3 3\n1 63 0 0 0 0 -1\n2 0 0 0 0 0 -1\n");
    EXPECT_EQ(0, runWith({"data", "--password=pw", pack, "1", out("s.wav")}).code);
    EXPECT_EQ(testing::readFile(out("s.wav")), sound.payload);
    expectOneLineError(runWith({"data", "--password", "pw", pack, "2", out("e.dat")}), 1,
                       "entry 2 has no stored data: entry 2: is an empty entry");
    expectOneLineError(runWith({"data", mir2(), "0", out("m.dat")}), 1, "has no stored data");
}

TEST_F(CliTest, ReadingCommandsSayTheyWaitForAnEditAndThenFail) {
    const std::string pack = out("p.pak");
    testing::writePack(pack, {testing::packFile(47, 300, false)});
    auto editor = FileStream::open(pack, FileStream::Mode::ReadWrite);
    ASSERT_TRUE(editor->tryLockForEditing());
    FileStream::setReadWaits({.notifyAfter = std::chrono::milliseconds(20),
                              .giveUpAfter = std::chrono::milliseconds(100),
                              .notice = {}});
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"list", pack}, {"info", pack}, {"data", pack, "0", out("d.dat")}}) {
        const CliRun run = runWith(args);
        EXPECT_EQ(run.code, 1) << args[0];
        EXPECT_EQ(run.err,
                  "vantoro-cli: waiting for another program's edit of the pack\n"
                  "vantoro-cli: " +
                      pack + ": another program is editing the pack\n");
    }
    FileStream::setReadWaits({});
}

// ---- the real binary ------------------------------------------------------------------

TEST_F(CliTest, BinaryExitCodes) {
    const std::string wil = mir2();
    EXPECT_EQ(0, runBinary("--help"));
    EXPECT_EQ(0, runBinary("info '" + wil + "'"));
    EXPECT_EQ(0, runBinary("texture '" + wil + "' 1 '" + out("b.png") + "'"));
    EXPECT_EQ(2, runBinary(""));
    EXPECT_EQ(2, runBinary("info '" + out("absent.wil") + "'"));
    EXPECT_EQ(1, runBinary("bitmap '" + wil + "' 9 '" + out("c.bmp") + "'"));
    const PngView png = readPng(testing::readFile(out("b.png")));
    EXPECT_EQ(3u, png.width);
    EXPECT_EQ(2u, png.height);
}

}  // namespace
}  // namespace vantoro
