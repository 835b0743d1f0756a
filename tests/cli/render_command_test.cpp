#include "cli/render_command.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "image_io/bmp_file.h"
#include "image_io/png_file.h"
#include "pixels/dib_bitmap.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/test_files.h"
#include "tests/support/wuyi_writer.h"

namespace vantoro {
namespace {

using testing::CliRun;
using testing::expectOneLineError;
using testing::PngView;
using testing::runWith;

constexpr std::uint32_t kGrey = 0x808080;
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kWhite = 0xFFFFFF;

// A 16-bit Mir2 archive with one 3 x 2 image at offsets (10, -20):
//   red   green        blue
//   white transparent  red
const testing::M2Image kImage{3, 2, 10, -20, {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0xF800}};

class RenderCommandTest : public ::testing::Test {
protected:
    RenderCommandTest() {
        testing::M2DefOptions options;
        options.sixteenBit = true;
        testing::writeM2Def(archive, {kImage}, options);
    }

    // Renders entry 0 with the options and reads the frame back.
    PngView render(std::vector<std::string> options = {}) {
        std::vector<std::string> args = {"render", archive, "0", frame};
        args.insert(args.end(), options.begin(), options.end());
        const CliRun run = runWith(args);
        EXPECT_EQ(0, run.code) << run.err;
        EXPECT_EQ("", run.out + run.err);
        return testing::readPng(testing::readFile(frame));
    }

    testing::TempDir dir;
    std::string archive = dir.file("Hum_16.wil");
    std::string frame = dir.file("frame.png");
};

TEST_F(RenderCommandTest, StartViewShowsTheEntryAtTheOriginOnGrey) {
    const PngView png = render();
    ASSERT_EQ(800u, png.width);
    ASSERT_EQ(600u, png.height);
    EXPECT_EQ(2, png.colorType);  // RGB
    EXPECT_EQ(kRed, png.rgb(0, 0));
    EXPECT_EQ(kGreen, png.rgb(1, 0));
    EXPECT_EQ(kBlue, png.rgb(2, 0));
    EXPECT_EQ(kWhite, png.rgb(0, 1));
    EXPECT_EQ(kGrey, png.rgb(1, 1));  // the transparent texel
    EXPECT_EQ(kRed, png.rgb(2, 1));
    EXPECT_EQ(kGrey, png.rgb(3, 0));
    EXPECT_EQ(kGrey, png.rgb(799, 599));
}

TEST_F(RenderCommandTest, PlacementZoomAndFlipOptions) {
    EXPECT_EQ(kRed, render({"--centre"}).rgb(398, 299));             // (800 - 3) / 2, (600 - 2) / 2
    EXPECT_EQ(kRed, render({"--centre", "--align"}).rgb(276, 180));  // offsets + (266, 200)
    EXPECT_EQ(kRed, render({"--user", "5,7"}).rgb(5, 7));
    EXPECT_EQ(kRed, render({"--user=0,30", "--align"}).rgb(10, 10));
    EXPECT_EQ(kBlue, render({"--flip-h"}).rgb(0, 0));
    EXPECT_EQ(kWhite, render({"--flip-v"}).rgb(0, 0));

    // -100 %: mirrored both ways in the same place (398..400, 299..300).
    const PngView mirrored = render({"--zoom", "-100", "--centre"});
    EXPECT_EQ(kWhite, mirrored.rgb(400, 299));
    EXPECT_EQ(kBlue, mirrored.rgb(398, 300));
    EXPECT_EQ(kGrey, mirrored.rgb(401, 300));

    const PngView hidden = render({"--zoom", "0"});
    for (std::uint32_t x = 0; x < 4; ++x) EXPECT_EQ(kGrey, hidden.rgb(x, 0));
}

TEST_F(RenderCommandTest, ColourAlphaAndBlendOptions) {
    EXPECT_EQ(kBlue, render({"--back-color", "0000FF"}).rgb(100, 100));
    const PngView tinted = render({"--blend-color", "00FF00"});
    EXPECT_EQ(kGreen, tinted.rgb(0, 1));     // white times green
    EXPECT_EQ(0x000000u, tinted.rgb(0, 0));  // red times green

    EXPECT_EQ(kGrey, render({"--alpha", "0"}).rgb(0, 0));  // the alpha test drops it
    EXPECT_EQ(kRed, render({"--alpha", "0", "--blend", "Blend_None"}).rgb(0, 0));

    // ONE, ONE adds the image to the background.
    EXPECT_EQ(0xFF8080u, render({"--blend", "0x101"}).rgb(0, 0));
    EXPECT_EQ(0xFF8080u, render({"--src", "One", "--dest", "One"}).rgb(0, 0));
    // The custom mode starts at One, Zero: opaque, transparent texels drawn black.
    EXPECT_EQ(0x000000u, render({"--blend", "Blend_Custom"}).rgb(1, 1));
}

TEST_F(RenderCommandTest, BackgroundPictureFromAnyPictureFile) {
    const std::vector<std::uint8_t> rgb = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    ASSERT_TRUE(savePng(PngRows{rgb, 2, 1, PngLayout::Rgb8, 0}, dir.file("back.png")).ok());
    const PngView png = render({"--centre", "--background", dir.file("back.png")});
    EXPECT_EQ(0x112233u, png.rgb(0, 0));
    EXPECT_EQ(0x445566u, png.rgb(1, 0));
    EXPECT_EQ(kGrey, png.rgb(2, 0));

    DibBitmap bitmap = *DibBitmap::create(32, 1, 1);
    bitmap.row(0)[0] = 0x30;  // B, G, R
    bitmap.row(0)[1] = 0x20;
    bitmap.row(0)[2] = 0x10;
    ASSERT_TRUE(saveBmp(bitmap, dir.file("back.bmp")).ok());
    EXPECT_EQ(0x102030u, render({"--centre", "--background", dir.file("back.bmp")}).rgb(0, 0));

    expectOneLineError(runWith({"render", archive, "0", frame, "--background", dir.file("no.png")}),
                       1, "no.png: cannot open");
}

TEST_F(RenderCommandTest, ValuesTheViewCannotTakeAreUsageErrors) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--alpha", "256"}, "--alpha needs 0..255"},
        {{"--alpha", "-1"}, "--alpha needs 0..255"},
        {{"--blend", "Blend_Nothing"}, "unknown blend mode 'Blend_Nothing'"},
        {{"--blend", "0xF0F"}, "unknown blend mode"},  // factor index 15
        {{"--src", "one"}, "unknown blend factor 'one' for --src"},
        {{"--blend", "Blend_None", "--dest", "One"}, "go with --blend Blend_Custom"},
        {{"--blend-color", "FFF"}, "--blend-color needs a colour RRGGBB"},
        {{"--back-color", "GG0000"}, "--back-color needs a colour RRGGBB"},
        {{"--zoom", "1.5"}, "--zoom needs a whole number"},
        {{"--zoom"}, "--zoom needs a value"},
        {{"--user", "741,0"}, "--user needs X,Y within"},
        {{"--user", "0,-541"}, "--user needs X,Y within"},
        {{"--user", "5"}, "--user needs X,Y"},
        {{"--centre", "--user", "1,1"}, "--centre and --user exclude each other"},
        {{"--flip-h=1"}, "--flip-h takes no value"},
        {{"--spin"}, "unknown option '--spin'"},
    };
    for (const auto& [options, message] : cases) {
        std::vector<std::string> args = {"render", archive, "0", frame};
        args.insert(args.end(), options.begin(), options.end());
        SCOPED_TRACE(options.front());
        expectOneLineError(runWith(args), 2, message);
    }
    EXPECT_FALSE(std::filesystem::exists(frame));
}

TEST_F(RenderCommandTest, EntriesThatCannotBeShownFailWithExitOne) {
    expectOneLineError(runWith({"render", archive, "1", frame}), 1, "index 1 out of range (0..0)");
    testing::writeWuyi(dir.file("wy.521g"), {testing::wuyiPatternImage(2, 2)});
    expectOneLineError(runWith({"render", dir.file("wy.521g"), "0", frame}), 1,
                       "entry 0 cannot be drawn into a texture");
    EXPECT_FALSE(std::filesystem::exists(frame));
    expectOneLineError(runWith({"render", archive, "0", dir.file("no/such/dir/f.png")}), 1,
                       "cannot create");
}

TEST_F(RenderCommandTest, TheBuiltProgramRendersToo) {
    EXPECT_EQ(0, testing::runBinary("render '" + archive + "' 0 '" + frame + "' --centre"));
    EXPECT_EQ(kRed, testing::readPng(testing::readFile(frame)).rgb(398, 299));
    EXPECT_EQ(2, testing::runBinary("render '" + archive + "' 0 '" + frame + "' --alpha 300"));
}

TEST(RenderColourTest, RedFirstTextBecomesTheProgramsByteOrder) {
    EXPECT_EQ(cli::parseRgbColor("112233"), 0x332211u);
    EXPECT_EQ(cli::parseRgbColor("ff0000"), 0x0000FFu);
    EXPECT_FALSE(cli::parseRgbColor("+12233").has_value());
    EXPECT_FALSE(cli::parseRgbColor("1122334").has_value());
}

}  // namespace
}  // namespace vantoro
