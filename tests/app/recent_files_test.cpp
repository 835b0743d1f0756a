// The recent-file list end to end: the submenu, the settings file, and
// opening an entry again.
#include <QAction>
#include <QMenu>
#include <QSettings>

#include "app/recent_files_menu.h"
#include "archive/archive_kind.h"
#include "tests/app/form_fixture.h"

namespace vantoro::testing {
namespace {

class RecentFilesTest : public FormTest {
protected:
    QStringList captions() {
        QStringList found;
        for (QAction* item : form().MEMU_FILE_AGOFILE->actions()) found << item->text();
        return found;
    }
    QString stored(int position) {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        return settings.value(QStringLiteral("Path/%1").arg(position)).toString();
    }
    void store(const QStringList& values) {
        destroyForm();
        QSettings settings(settingsFile(), QSettings::IniFormat);
        for (int n = 0; n < values.size(); ++n) {
            settings.setValue(QStringLiteral("Path/%1").arg(n), values[n]);
        }
        settings.sync();
        restartForm();
    }
    void click(int position) { form().MEMU_FILE_AGOFILE->actions().at(position)->trigger(); }
};

TEST_F(RecentFilesTest, EmptySettingsShowTheDisabledPlaceholder) {
    const auto items = form().MEMU_FILE_AGOFILE->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text(), QStringLiteral("无"));
    EXPECT_FALSE(items[0]->isEnabled());
    EXPECT_EQ(items[0]->objectName(), QStringLiteral("MEMU_FILE_AGOFILE_PATHS"));
}

TEST_F(RecentFilesTest, OpenedFilesAreStoredAndComeBackNewestFirst) {
    const std::string a = writeMir2("a.wil", 2);
    const std::string b = writeMir3("b.wil", 2);
    openThrough(&TFormMain::MEMU_FILE_OPEN_MIR2_OLDClick, a);
    openThrough(&TFormMain::MEMU_FILE_OPEN_MIR3Click, b);
    openThrough(&TFormMain::MEMU_FILE_OPEN_MIR2_OLDClick, a);  // moves to the top
    restartForm();
    EXPECT_EQ(stored(0), QString::fromStdString(a + " [0]"));
    EXPECT_EQ(stored(1), QString::fromStdString(b + " [4]"));
    EXPECT_EQ(captions(), QStringList({QString::fromStdString("&0 " + a + " [0]"),
                                       QString::fromStdString("&1 " + b + " [4]")}));
    EXPECT_EQ(form().MEMU_FILE_AGOFILE->actions()[1]->toolTip(),
              QString::fromStdString(b + " [4]"));
    click(1);
    EXPECT_EQ(className(), "TWMM3DefImages");
    EXPECT_TRUE(form().OpenButton->isEnabled());
    EXPECT_EQ(captions()[0], QString::fromStdString("&0 " + a + " [0]"));  // unchanged order
}

TEST_F(RecentFilesTest, TheEleventhFileDropsTheOldest) {
    for (int i = 0; i < 11; ++i) {
        const std::string name =
            std::string("f").append(std::to_string(i));  // GCC 12: no false -Wrestrict
        openThrough(&TFormMain::MEMU_FILE_OPEN_MIR2_OLDClick, dir.file(name));
    }
    EXPECT_EQ(captions().size(), 10);
    EXPECT_EQ(captions()[0], QString::fromStdString("&0 " + dir.file("f10") + " [0]"));
    EXPECT_EQ(captions()[9], QString::fromStdString("&9 " + dir.file("f1") + " [0]"));
    restartForm();
    EXPECT_EQ(stored(9), QString::fromStdString(dir.file("f1") + " [0]"));
    EXPECT_EQ(captions().size(), 10);
}

TEST_F(RecentFilesTest, OnlyTheLowSevenBitsOfAStoredKindCount) {
    const std::string wis = writeWis("w.wis", 2);
    store({QString::fromStdString(wis + " [130]"), QString::fromStdString(wis + " [9]"),
           QString::fromStdString(wis + " [abc]")});
    click(0);
    EXPECT_EQ(className(), "TWMM2WisImages");
    EXPECT_EQ(kindNumber(form().LastOpenKind), 130);
    click(1);
    EXPECT_EQ(form().CurrentArchive, nullptr);
    click(2);  // not a number: kind 0, the Mir2 reader, which cannot read it
    EXPECT_EQ(className(), "TWMM2DefImages");
}

TEST_F(RecentFilesTest, PathsWithBlanksAndBracketsOpenWhole) {
    std::filesystem::create_directories(dir.path() / "a [1] b");
    const std::string path = writeMir2("a [1] b/c [d].wil", 2);
    store({QString::fromStdString(path + " [0]")});
    click(0);
    ASSERT_EQ(className(), "TWMM2DefImages");
    EXPECT_EQ(form().CurrentArchive->FFileName, path);
    EXPECT_TRUE(form().CurrentArchive->FInitialized);
}

TEST_F(RecentFilesTest, AmpersandsInAPathShowAsSpelled) {
    const std::string path = writeMir2("R&D.wil", 1);
    store({QString::fromStdString(path + " [0]")});
    EXPECT_EQ(captions()[0], QString::fromStdString("&0 " + dir.file("R&&D.wil") + " [0]"));
    click(0);
    EXPECT_EQ(form().CurrentArchive->FFileName, path);
}

TEST_F(RecentFilesTest, ReadingStopsAtTheFirstGapAndLaterValuesStay) {
    store({QStringLiteral("  /x/one.wil [0] \t"), QStringLiteral("/x/two.wil [0]"), QString(),
           QStringLiteral("/x/four.wil [0]")});
    EXPECT_EQ(captions(), QStringList({"&0 /x/one.wil [0]", "&1 /x/two.wil [0]"}));
    click(0);  // the file is gone: nothing happens, the entry stays
    EXPECT_EQ(caption(), QStringLiteral("Vantoro 1.0.0.0 []"));
    restartForm();
    EXPECT_EQ(stored(0), QStringLiteral("/x/one.wil [0]"));
    EXPECT_EQ(stored(3), QStringLiteral("/x/four.wil [0]"));
}

}  // namespace
}  // namespace vantoro::testing
