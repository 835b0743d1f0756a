// The window's small pieces: filters, resources, the title, the command
// line and the remembered window layout.
#include <QAction>
#include <QToolBar>

#include "app/command_line.h"
#include "app/dialog_seam.h"
#include "app/program_resources.h"
#include "tests/app/form_fixture.h"

namespace vantoro::testing {
namespace {

TEST(DialogFilter, CommandFiltersBecomeQtFilters) {
    EXPECT_EQ(qtFileFilter(QStringLiteral("自定义存储文件|*.pak")),
              QStringLiteral("自定义存储文件 (*.pak)"));
    EXPECT_EQ(qtFileFilter(QStringLiteral("Pictures|*.bmp;*.png|All|*.*")),
              QStringLiteral("Pictures (*.bmp *.png);;All (*.*)"));
    EXPECT_EQ(qtFileFilter(QString()), QString());
    EXPECT_EQ(qtFileFilter(QStringLiteral("dangling")), QString());
}

TEST(ProgramResources, PaletteIconsAndToolBarImagesAreCompiledIn) {
    initProgramResources();
    const auto palette = loadPaletteResource();
    ASSERT_TRUE(palette);
    EXPECT_EQ(*palette, StdPalette);
    QImage icons[] = {loadEntryIcon(EntryIcon::DataFile), loadEntryIcon(EntryIcon::WaveFile),
                      loadEntryIcon(EntryIcon::Mp3File)};
    for (const QImage& icon : icons) {
        EXPECT_EQ(icon.size(), QSize(64, 64));
        EXPECT_EQ(icon.format(), QImage::Format_RGB888);
        EXPECT_EQ(icon.pixel(0, 0), qRgb(0, 0, 0));  // black shows the cell behind
    }
    EXPECT_NE(icons[0], icons[1]);
    EXPECT_NE(icons[1], icons[2]);
    for (int number : {0, 1, 2, 6, 11, 12, 14, 15, 18, 19, 23, 26, 27, 28, 29}) {
        EXPECT_FALSE(toolBarImage(number).isNull()) << number;
    }
    EXPECT_TRUE(toolBarImage(3).isNull());
}

TEST(AppTitle, VersionIsCutToTwentyFourCharacters) {
    EXPECT_EQ(appTitleFor(QStringLiteral("1.0.0.0")), QStringLiteral("Vantoro 1.0.0.0"));
    EXPECT_EQ(appTitleFor(QString(30, QLatin1Char('9'))),
              QStringLiteral("Vantoro ") + QString(24, QLatin1Char('9')));
}

using CommandLineTest = FormTest;

TEST_F(CommandLineTest, NamedFileOpensAsItsExtensionSays) {
    const std::string zip = writeMir2Zip("x.WZL", 2);
    EXPECT_TRUE(openCommandLineFile(form(), QString::fromStdString(zip)).isEmpty());
    EXPECT_EQ(className(), "TWMM2ZipImages");
    EXPECT_EQ(form().recentFiles().list().entries().front(), zip + " [7]");
    EXPECT_EQ(openCommandLineFile(form(), QStringLiteral("/no/such.wil")),
              QStringLiteral("vantoro: /no/such.wil: 文件不存在"));
    const std::string text = dir.file("notes.txt");
    writeFile(text, Bytes(3, 0));
    EXPECT_TRUE(openCommandLineFile(form(), QString::fromStdString(text)).contains("不支持"));
    EXPECT_EQ(className(), "TWMM2ZipImages");
}

TEST_F(CommandLineTest, WindowLayoutAndBarsComeBackNextRun) {
    form().resize(900, 500);
    form().MENU_VIER_TOOLBAR->trigger();
    restartForm();
    EXPECT_FALSE(form().MENU_VIER_TOOLBAR->isChecked());
    EXPECT_FALSE(form().StandardToolBar->isVisibleTo(&form()));
    EXPECT_TRUE(form().MENU_VIER_STATUSBAR->isChecked());
    EXPECT_EQ(form().size(), QSize(900, 500));
}

}  // namespace
}  // namespace vantoro::testing
