// Opening archives: the per-format Open commands, the caption, the command
// state, failures, and the selection kept across a re-open.
#include <QAction>
#include <QDateTime>
#include <QLocale>

#include "app/draw_grid.h"
#include "archive/archive_kind.h"
#include "archive/pack_header.h"
#include "tests/app/form_fixture.h"
#include "tests/support/m3_def_writer.h"

namespace vantoro::testing {
namespace {

using OpenTest = FormTest;

struct OpenCommand {
    void (TFormMain::*command)();
    const char* filter;
    const char* className;
    TWMImagesKind kind;
};

TEST_F(OpenTest, EachOpenCommandAsksWithItsFilterAndCreatesItsClass) {
    const std::string mir2 = writeMir2("a.wil", 3);
    const std::string mir2x16 = writeMir2("b_16.wil", 3, true);
    const std::string wis = writeWis("c.wis", 3);
    const std::string zip = writeMir2Zip("d.wzl", 3);
    const std::string mir3 = writeMir3("e.wil", 3);
    const std::string mir3zip = writeMir3Zip("f.miz", 3);
    const std::string woool = writeWoool("g.sgl", 3);
    const std::string wuyi = writeWuyi("h.521g", 3);
    const std::pair<OpenCommand, std::string> cases[] = {
        {{&TFormMain::MEMU_FILE_OPEN_MIR2_OLDClick, "传奇二标准图像存储文件|*.wil",
          "TWMM2DefImages", TWMImagesKind::M2Def},
         mir2},
        {{&TFormMain::MEMU_FILE_OPEN_MIR2_16Click, "传奇二图像存储文件(565)|*_16.wil",
          "TWMM2DefBit16Images", TWMImagesKind::M2DefBit16},
         mir2x16},
        {{&TFormMain::MEMU_FILE_OPEN_MIR2_WISClick, "传奇二加密图像存储文件|*.wis",
          "TWMM2WisImages", TWMImagesKind::M2Wis},
         wis},
        {{&TFormMain::MEMU_FILE_OPEN_MIR2_ZIPClick, "传奇二压缩图像存储文件|*.wzl",
          "TWMM2ZipImages", TWMImagesKind::M2Zip},
         zip},
        {{&TFormMain::MEMU_FILE_OPEN_MIR3Click, "传奇三标准图像存储文件|*.wil", "TWMM3DefImages",
          TWMImagesKind::M3Def},
         mir3},
        {{&TFormMain::MEMU_FILE_OPEN_MIR3ZipClick, "传奇三压缩图像存储文件|*.miz", "TWMM3ZipImages",
          TWMImagesKind::M3Zip},
         mir3zip},
        {{&TFormMain::MEMU_FILE_OPEN_WOOOLClick, "传奇世界图像数据存储文件|*.sgl",
          "TWMWoolDefImages", TWMImagesKind::WoolDef},
         woool},
        {{&TFormMain::MEMU_FILE_OPEN_WYClick, "武易图像数据存储文件|*.521g", "TWM521gDefImages",
          TWMImagesKind::W521gDef},
         wuyi},
    };
    for (const auto& [open, path] : cases) {
        SCOPED_TRACE(open.className);
        dialogs.asked.clear();
        openThrough(open.command, path);
        ASSERT_EQ(dialogs.asked.size(), 1u);
        EXPECT_EQ(dialogs.asked[0].text, QString::fromUtf8(open.filter));
        EXPECT_TRUE(dialogs.asked[0].initial.isEmpty());  // the file name is cleared
        EXPECT_EQ(className(), open.className);
        ASSERT_TRUE(form().CurrentArchive->FInitialized);
        EXPECT_EQ(form().CurrentArchive->FImageCount, 3);
        EXPECT_FALSE(form().CurrentArchive->FUseTextureCache);
        EXPECT_EQ(form().LastOpenKind, open.kind);
        EXPECT_EQ(form().DrawGrid->rowCount(), 1);  // 3 div 6 + 1
        EXPECT_EQ(caption(),
                  QStringLiteral("Vantoro 1.0.0.0 [%1]").arg(QString::fromStdString(path)));
    }
}

// The menu is made from the kind table: each row's command asks with the
// row's filter and opens the chosen file as the row's kind.
TEST_F(OpenTest, EveryMenuCommandOfTheKindTableOpensItsKind) {
    const std::string path = writeMir2("any.wil", 1);
    const auto text = [](std::string_view utf8) {
        return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    };
    for (const ArchiveKindInfo& info : archiveKinds()) {
        SCOPED_TRACE(info.openCommand.name);
        QAction* item = form().findChild<QAction*>(text(info.openCommand.name));
        ASSERT_NE(item, nullptr);
        dialogs.asked.clear();
        dialogs.fileAnswers.push_back(QString::fromStdString(path));
        item->trigger();  // another kind's reader may refuse the file: a message, no more
        const auto asked = dialogs.askedOf(QStringLiteral("openFile"));
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].text, text(info.openFilter));
        EXPECT_EQ(form().LastOpenKind, info.kind);
    }
}

TEST_F(OpenTest, CaptionShowsThePathWhileOpenAndEmptyBracketsAfterClose) {
    EXPECT_EQ(caption(), QStringLiteral("Vantoro 1.0.0.0 []"));
    const std::string path = writeMir2("a.wil", 13);
    openArchive(path, TWMImagesKind::M2Def);
    EXPECT_EQ(caption(), QStringLiteral("Vantoro 1.0.0.0 [%1]").arg(QString::fromStdString(path)));
    EXPECT_EQ(form().DrawGrid->rowCount(), 3);
    form().MEMU_FILE_CLOSEClick();
    EXPECT_EQ(caption(), QStringLiteral("Vantoro 1.0.0.0 []"));
    EXPECT_EQ(form().CurrentArchive, nullptr);
    EXPECT_EQ(form().DrawGrid->rowCount(), 1);
    EXPECT_FALSE(form().MEMU_FILE_CLOSE->isEnabled());
}

TEST_F(OpenTest, FailedOpenKeepsAnEmptyArchiveWithItsPathAndEnabledCommands) {
    const std::string path = dir.file("short.wil");  // shorter than a Mir3 header
    writeFile(path, Bytes(10, 0));
    openArchive(path, TWMImagesKind::M3Def);
    EXPECT_EQ(caption(), QStringLiteral("Vantoro 1.0.0.0 [%1]").arg(QString::fromStdString(path)));
    ASSERT_NE(form().CurrentArchive, nullptr);
    EXPECT_FALSE(form().CurrentArchive->FInitialized);
    EXPECT_TRUE(form().MEMU_FILE_CLOSE->isEnabled());
    EXPECT_TRUE(form().Tool_Next->isEnabled());
    EXPECT_EQ(form().DrawGrid->rowCount(), 1);
    EXPECT_TRUE(dialogs.askedOf(QStringLiteral("message")).empty());
}

TEST_F(OpenTest, PackShowsItsCreationTimeAfterThePath) {
    openArchive(writeMir2("a.wil", 3), TWMImagesKind::M2Def);
    const std::string pack = dir.file("p.pak");
    // 17 May 2024, 13:45: 45429 days after 30 December 1899 and 13.75 hours.
    const auto header = newPackHeader(45429 + 13.75 / 24);
    writeFile(pack, Bytes(header.begin(), header.end()));
    openThrough(&TFormMain::MEMU_FILE_OPEN_DIYClick, pack);
    EXPECT_EQ(dialogs.asked.back().text, QStringLiteral("自定义存储文件|*.pak"));
    const QString date = QLocale::system().toString(QDateTime(QDate(2024, 5, 17), QTime(13, 45)),
                                                    QLocale::ShortFormat);
    EXPECT_EQ(caption(),
              QStringLiteral("Vantoro 1.0.0.0 [%1] %2").arg(QString::fromStdString(pack), date));
    ASSERT_NE(form().CurrentArchive, nullptr);
    EXPECT_EQ(form().CurrentArchive->FImageCount, 0);
    EXPECT_EQ(form().LastOpenKind, TWMImagesKind::MyImage);
    EXPECT_EQ(form().recentFiles().list().entries().front(), pack + " [3]");
}

TEST_F(OpenTest, CancelledOrMissingFileChangesNothingButAMissingOneEntersTheList) {
    form().MEMU_FILE_OPEN_MIR2_OLDClick();  // cancelled
    EXPECT_FALSE(form().OpenButton->isEnabled());
    EXPECT_TRUE(form().recentFiles().list().entries().empty());
    const std::string missing = dir.file("gone.wil");
    openThrough(&TFormMain::MEMU_FILE_OPEN_MIR2_OLDClick, missing);
    EXPECT_EQ(caption(), QStringLiteral("Vantoro 1.0.0.0 []"));
    EXPECT_EQ(form().CurrentArchive, nullptr);
    EXPECT_TRUE(form().OpenButton->isEnabled());
    EXPECT_EQ(form().recentFiles().list().entries(), std::vector<std::string>{missing + " [0]"});
}

TEST_F(OpenTest, ArchiveErrorIsShownAndEndsTheCommand) {
    std::vector<M3Image> images(2, M3Image{4, 3, 0, 0, std::vector<std::uint16_t>(12, 5), false});
    M3DefFiles files = buildM3Def(images, M3Layout::New);
    setU32At(files.data, kM3DataCountAt, 3);  // the data file disagrees with its index
    const std::string path = dir.file("bad.wil");
    writeM3DefFiles(path, files);
    openThrough(&TFormMain::MEMU_FILE_OPEN_MIR3Click, path);
    const auto messages = dialogs.askedOf(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QString::fromStdString(path + " 对应文件数量不一致"));
    EXPECT_EQ(panel(7), messages[0].text);     // and stays said when the box is gone
    EXPECT_EQ(className(), "TWMM3DefImages");  // made current before it raised
    EXPECT_FALSE(form().CurrentArchive->FInitialized);
    EXPECT_TRUE(form().recentFiles().list().entries().empty());  // the rest was skipped
}

TEST_F(OpenTest, OpenButtonUsesTheLastKindAndFilter) {
    const std::string mir3 = writeMir3("m3.wil", 2);
    openThrough(&TFormMain::MEMU_FILE_OPEN_MIR3Click, mir3);
    form().MEMU_FILE_CLOSEClick();
    openThrough(&TFormMain::OpenButtonClick, mir3);
    EXPECT_EQ(dialogs.asked.back().text, QStringLiteral("传奇三标准图像存储文件|*.wil"));
    EXPECT_EQ(className(), "TWMM3DefImages");
}

TEST_F(OpenTest, ReopeningSelectsTheSameIndexFromTheNewArchive) {
    const std::string path = writeMir2("a.wil", 10);
    openArchive(path, TWMImagesKind::M2Def);
    ASSERT_TRUE(form().SelectImage(7));
    form().CurrentArchive->FPassword = "marks the old object";
    openArchive(path, TWMImagesKind::M2Def);
    EXPECT_EQ(form().CurrentArchive->FPassword, "");
    EXPECT_EQ(form().selection.CurrentIndex, 7);
    EXPECT_EQ(form().selection.CurrentImageInfo.Width, 11);
    EXPECT_EQ(form().DrawGrid->currentRow(), 1);
    EXPECT_EQ(form().DrawGrid->currentColumn(), 1);
    EXPECT_EQ(panel(0), QStringLiteral("编号: 7/9"));
}

// The row count drops to 1 on the open, which moves the current cell up and
// selects that cell's entry in the new archive.
TEST_F(OpenTest, ReopeningASmallerArchiveSelectsTheCellTheRowChangeLeaves) {
    openArchive(writeMir2("big.wil", 10), TWMImagesKind::M2Def);
    ASSERT_TRUE(form().SelectImage(7));
    openArchive(writeMir2("small.wil", 3), TWMImagesKind::M2Def);
    EXPECT_EQ(form().selection.CurrentIndex, 1);
    EXPECT_EQ(form().selection.CurrentImageInfo.Width, 5);
}

TEST_F(OpenTest, CloseKeepsTheLastSelection) {
    openArchive(writeMir2("a.wil", 4), TWMImagesKind::M2Def);
    ASSERT_TRUE(form().SelectImage(2));
    form().MEMU_FILE_CLOSEClick();
    EXPECT_EQ(form().selection.CurrentIndex, 2);
    EXPECT_EQ(form().selection.CurrentImageInfo.Width, 6);
    EXPECT_EQ(panel(0), QStringLiteral("编号: 0/0"));
    EXPECT_EQ(panel(2), QStringLiteral("规格: 6 * 5"));
}

}  // namespace
}  // namespace vantoro::testing
