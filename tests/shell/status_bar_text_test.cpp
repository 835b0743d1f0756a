#include "shell/status_bar_text.h"

#include <gtest/gtest.h>

#include "archive/archive_kind.h"
#include "archive/m3_def_images.h"
#include "archive/open_archive.h"
#include "shell/entry_selection.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/wuyi_writer.h"

namespace vantoro {
namespace {

using testing::M2DefOptions;
using testing::M2Image;

StatusBarState stateOf(const TWMBaseImages* archive, const SelectionState& selection) {
    return {archive,
            selection.CurrentIndex,
            selection.CurrentImageInfo,
            selection.CurrentPixelFormat,
            255,
            0,
            0};
}

TEST(StatusBarText, WithoutAnArchiveAndWithExtremeValues) {
    const StatusBarTexts start = UpdateStatusBar({});
    EXPECT_EQ(start, (StatusBarTexts{"编号: 0/0", "格式: 未知", "规格: 0 * 0", "坐标X: 0",
                                     "坐标Y: 0", "格式: A4R4G4B4", "透明度: 255", "测试: (0,0)"}));

    StatusBarState state;
    state.CurrentImageInfo = {65535, 4095, -32768, 32767};
    state.alpha = 0;
    state.FUserX = -740;
    state.FUserY = 540;
    const StatusBarTexts texts = UpdateStatusBar(state);
    EXPECT_EQ(texts[2], "规格: 65535 * 4095");  // unsigned sizes, signed offsets
    EXPECT_EQ(texts[3], "坐标X: -32768");
    EXPECT_EQ(texts[4], "坐标Y: 32767");
    EXPECT_EQ(texts[6], "透明度: 0");
    EXPECT_EQ(texts[7], "测试: (-740,540)");
}

TEST(StatusBarText, PixelFormatsWithoutANameAreUnknown) {
    for (const std::int16_t other : {std::int16_t{-2}, std::int16_t{4}, std::int16_t{255}}) {
        EXPECT_EQ(pixelFormatText(other), "格式: 未知");
    }
}

// Every kind through the factory shows its row's format name (a subclass
// its base's), or none; the Mir2 and Mir3 standard archives add their
// version.
TEST(StatusBarText, FormatRowPerArchiveClass) {
    using enum TWMImagesKind;
    for (const ArchiveKindInfo& info : archiveKinds()) {
        const auto archive = CreateWMImages(info.kind);
        ASSERT_TRUE(archive);
        const std::string name = info.formatName.empty() ? "未知" : std::string(info.formatName);
        EXPECT_TRUE(archiveFormatText(archive.get()).starts_with("格式: " + name))
            << archiveFormatText(archive.get());
    }
    const std::pair<TWMImagesKind, const char*> versions[] = {
        {M2Def, "格式: MIR2 标准数据格式(旧)"},
        {M2DefBit16, "格式: MIR2 标准数据格式(16位)"},
        {M3Def, "格式: MIR3 标准数据格式(旧)"},
    };
    for (const auto& [kind, text] : versions) {
        EXPECT_EQ(archiveFormatText(CreateWMImages(kind).get()), text) << kindNumber(kind);
    }
    TWMM3DefImages mir3;
    mir3.FIsNewVersion = true;
    EXPECT_EQ(archiveFormatText(&mir3), "格式: MIR3 标准数据格式(新)");
    EXPECT_TRUE(isPackArchive(CreateWMImages(MyImage).get()));
}

TEST(StatusBarText, OpenedArchivesBeforeAndAfterASelection) {
    testing::TempDir dir;
    // An 8-bit new-layout Mir2 file opened as kind 1 (the 16-bit menu entry):
    // the depth comes from the file, the text from the Mir2 rows.
    const std::string wil = dir.file("Items.wil");
    testing::writeM2Def(wil,
                        {testing::patternImage(4, 3, false),
                         {2, 2, -3, 4, {1, 1, 1, 1}},
                         testing::patternImage(5, 5, false)},
                        M2DefOptions{false, true, ""});
    OpenedArchive opened = openArchive(TWMImagesKind::M2DefBit16, wil);
    ASSERT_TRUE(opened.opened);
    const auto archive = std::move(opened.archive);

    SelectionState selection;
    StatusBarTexts texts = UpdateStatusBar(stateOf(archive.get(), selection));
    EXPECT_EQ(texts[0], "编号: -1/2");
    EXPECT_EQ(texts[1], "格式: MIR2 标准数据格式(新)");
    EXPECT_EQ(texts[5], "格式: A4R4G4B4");

    TDXImageTexture texture;
    ASSERT_TRUE(selectEntry(archive.get(), 1, &texture, selection));
    texts = UpdateStatusBar(stateOf(archive.get(), selection));
    EXPECT_EQ(texts[0], "编号: 1/2");
    EXPECT_EQ(texts[2], "规格: 2 * 2");
    EXPECT_EQ(texts[3], "坐标X: -3");
    EXPECT_EQ(texts[4], "坐标Y: 4");
    EXPECT_EQ(texts[5], "格式: 默认");

    // An archive object whose file did not open holds no images.
    const auto failed = CreateWMImages(TWMImagesKind::M2Def);
    EXPECT_EQ(UpdateStatusBar(stateOf(failed.get(), {}))[0], "编号: -1/-1");

    const std::string wuyi = dir.file("Npc.521g");
    testing::writeWuyi(wuyi, {testing::wuyiPatternImage(3, 3)});
    opened = openArchive(TWMImagesKind::W521gDef, wuyi);
    ASSERT_TRUE(opened.opened);
    const auto npc = std::move(opened.archive);
    EXPECT_EQ(UpdateStatusBar(stateOf(npc.get(), {}))[1], "格式: 未知");
}

}  // namespace
}  // namespace vantoro
