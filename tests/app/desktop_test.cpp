// The window as a desktop program: its status bar fits its texts, the keys
// start on the grid, disabled buttons look disabled, Qt's own dialogs speak
// Chinese, the Open dialog starts where the user works, dropped archives
// open, Ctrl+C copies the image, and an idle view is not redrawn.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "app/command_line.h"
#include "app/draw_grid.h"
#include "app/draw_panel.h"
#include "app/file_browser.h"
#include "app/program_resources.h"
#include "app/translations.h"
#include "d3d9/d3d9_device.h"
#include "pixels/shared_device.h"
#include "render/dx9_device.h"
#include "tests/app/form_fixture.h"
#include "tests/support/m2_def_writer.h"

namespace vantoro::testing {
namespace {

using DesktopTest = FormTest;

TEST_F(DesktopTest, EveryStatusPanelFitsItsWidestTextInTheCurrentFont) {
    QFont large = form().StatusBar->font();
    large.setPointSize(large.pointSize() + 6);
    for (const QFont& font : {form().StatusBar->font(), large}) {
        form().StatusBar->setFont(font);
        const auto widest = widestStatusTexts();
        for (std::size_t i = 0; i < kStatusPanelCount; ++i) {
            auto* panel =
                form().StatusBar->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
            ASSERT_NE(panel, nullptr);
            const int wanted = panel->sizeHint().width();
            EXPECT_GE(wanted, kStatusPanelWidths[i]) << i;
            for (const QString& text : widest[i]) {
                EXPECT_LE(panel->fontMetrics().horizontalAdvance(text),
                          wanted - 2 * panel->frameWidth())
                    << i << " " << text.toStdString();
            }
        }
    }
    // The texts that were cut, among those the panels are measured by.
    EXPECT_TRUE(widestStatusTexts()[5].contains(QStringLiteral("格式: A4R4G4B4")));
    EXPECT_TRUE(widestStatusTexts()[5].contains(QStringLiteral("格式: A8R8G8B8")));
}

TEST_F(DesktopTest, KeysStartOnTheGridNotOnTheDriveBox) {
    form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    EXPECT_EQ(form().focusWidget(), form().DrawGrid);
    const int drive = form().pnl1->driveBox()->currentIndex();
    QTest::keyClick(form().focusWidget(), Qt::Key_Down);
    EXPECT_EQ(form().pnl1->driveBox()->currentIndex(), drive);
}

// Share of full opacity over the image, weighted by how far each pixel is
// from grey.
struct Look {
    double opacity = 0;
    double colour = 0;
};
Look lookOf(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    Look look;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            look.opacity += qAlpha(p) / 255.0;
            look.colour += (std::max({qRed(p), qGreen(p), qBlue(p)}) -
                            std::min({qRed(p), qGreen(p), qBlue(p)})) *
                           qAlpha(p) / 255.0;
        }
    }
    return look;
}

TEST_F(DesktopTest, DisabledToolBarButtonsArePlainlyGreyed) {
    ASSERT_FALSE(form().Tool_Image_Del->isEnabled());
    for (QAction* button : form().StandardToolBar->actions()) {
        if (button->icon().isNull()) continue;
        const Look normal = lookOf(button->icon().pixmap(24, QIcon::Normal));
        const Look disabled = lookOf(button->icon().pixmap(24, QIcon::Disabled));
        EXPECT_LE(disabled.opacity, normal.opacity / 2) << button->toolTip().toStdString();
        EXPECT_EQ(disabled.colour, 0) << button->toolTip().toStdString();
    }
}

TEST_F(DesktopTest, StockDialogTextsAreChineseOnceQtsTranslationsAreLoaded) {
    const auto translators = installQtChineseTranslations();
    ASSERT_FALSE(translators.empty());
    const std::pair<const char*, const char*> texts[] = {
        {"QFileDialog", "Look in:"},
        {"QColorDialog", "Select Color"},
        {"QPlatformTheme", "OK"},
        {"QPlatformTheme", "Cancel"},
    };
    for (const auto& [context, text] : texts) {
        EXPECT_NE(QCoreApplication::translate(context, text), QString::fromLatin1(text)) << text;
    }
}

TEST_F(DesktopTest, AnUnreadableBackgroundNamesTheFormatsAccepted) {
    const std::string notes = dir.file("notes.txt");
    writeFile(notes, Bytes(16, 'x'));
    dialogs.fileAnswers = {QString::fromStdString(notes)};
    form().MENU_OPTION_BACKIMAGE->trigger();
    const auto messages = dialogs.askedOf(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("无法载入背景图片")));
    for (const QString& format : backgroundPictureFormats()) {
        EXPECT_TRUE(messages[0].text.contains(format)) << format.toStdString();
    }
    EXPECT_TRUE(backgroundPictureFormats().contains(QStringLiteral("GIF")));
}

TEST_F(DesktopTest, OpenDialogStartsInTheFolderOfTheOpenOrLastArchive) {
    std::filesystem::create_directories(dir.path() / "games");
    const std::string archive = writeMir2("games/a.wil", 1);
    const QString games = QString::fromStdString((dir.path() / "games").string());
    form().MEMU_FILE_OPEN_MIR2_OLDClick();  // cancelled: nothing opened yet
    openThrough(&TFormMain::MEMU_FILE_OPEN_MIR2_OLDClick, archive);
    form().MEMU_FILE_CLOSEClick();
    form().OpenButtonClick();
    restartForm();  // the newest recent entry is the last one opened
    form().OpenButtonClick();
    const auto asked = dialogs.askedOf(QStringLiteral("openFile"));
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[0].directory, QString());
    EXPECT_EQ(asked[1].directory, QString());
    EXPECT_EQ(asked[2].directory, games);
    EXPECT_EQ(asked[3].directory, games);
}

// A drop of `path` as a file manager makes it; answers whether it was taken.
bool drop(TFormMain& form, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &dropped);
    return dropped.isAccepted();
}

TEST_F(DesktopTest, DroppedArchiveOpensAsABrowserPick) {
    const std::string mir3 = writeMir3("drop.WIL", 2);
    const std::string notes = dir.file("notes.txt");
    writeFile(notes, Bytes(4, 0));
    EXPECT_FALSE(drop(form(), notes));
    EXPECT_FALSE(drop(form(), dir.file("missing.wzl")));
    EXPECT_EQ(className(), "");
    EXPECT_TRUE(drop(form(), mir3));
    EXPECT_EQ(className(), "TWMM3DefImages");
    EXPECT_EQ(form().recentFiles().list().entries().front(), mir3 + " [4]");
}

// The browser shows the folder of an archive opened from outside it.
TEST_F(DesktopTest, AnArchiveFromTheCommandLineOrADropShowsItsFolderInTheBrowser) {
    std::filesystem::create_directories(dir.path() / "games");
    const std::string archive = writeMir2("games/a.wil", 1);
    const QString top = QString::fromStdString(dir.path().string());
    const QString games = QString::fromStdString((dir.path() / "games").string());
    const std::function<void()> openings[] = {
        [&] {
            EXPECT_TRUE(openCommandLineFile(form(), QString::fromStdString(archive)).isEmpty());
        },
        [&] { EXPECT_TRUE(drop(form(), archive)); },
    };
    for (const auto& open : openings) {
        form().pnl1->setDirectory(top);
        open();
        EXPECT_EQ(className(), "TWMM2DefImages");
        EXPECT_EQ(form().pnl1->directory(), games);
    }
}

// Narrower than its panels, the status bar elides each text that does not
// fit, keeps the whole text as the panel's tooltip, and no panel covers
// another.
TEST_F(DesktopTest, ANarrowWindowElidesTheStatusTextsInsteadOfOverlappingThem) {
    openArchive(writeMir2("a.wil", 3), TWMImagesKind::M2Def);
    form().SelectImage(2);
    form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    for (const QSize size : {QSize(1165, 685), QSize(420, 300)}) {
        form().resize(size);
        QTest::qWait(20);
        const bool narrow = size.width() < 800;
        int right = 0;
        int elided = 0;
        for (std::size_t i = 0; i < kStatusPanelCount; ++i) {
            auto* label =
                form().StatusBar->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
            ASSERT_NE(label, nullptr);
            const QRect shown = label->geometry();
            EXPECT_GE(shown.left(), right) << i;
            right = shown.right() + 1;
            EXPECT_LE(right, form().StatusBar->width()) << i;
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()),
                      label->contentsRect().width())
                << i;
            if (label->text() != panel(i)) {
                ++elided;
                EXPECT_EQ(label->toolTip(), panel(i)) << i;
            } else {
                EXPECT_TRUE(label->toolTip().isEmpty()) << i;
            }
        }
        EXPECT_EQ(elided > 0, narrow) << size.width();
    }
}

TEST_F(DesktopTest, CtrlCOnTheGridCopiesTheSelectedImageWithItsAlpha) {
    // Palette index 0 is the transparent colour.
    const std::string archive = dir.file("alpha.wil");
    const M2Image image{4, 2, 0, 0, {0, 5, 9, 7, 250, 0, 1, 3}};
    writeM2Def(archive, {image, image}, M2DefOptions{});
    openArchive(archive, TWMImagesKind::M2Def);
    QApplication::clipboard()->clear();
    EXPECT_FALSE(form().copySelectedImage());  // nothing selected yet
    ASSERT_TRUE(form().SelectImage(1));
    form().show();
    form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    form().DrawGrid->setFocus();
    QTest::keyClick(form().DrawGrid, Qt::Key_C, Qt::ControlModifier);

    const QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(4, 2));
    const QRgb black = qRgba(0, 0, 0, 0);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{1, 1}}) {
        EXPECT_EQ(copied.pixel(x, y), black) << x << "," << y;
    }
    for (const auto& [x, y] :
         {std::pair{1, 0}, std::pair{2, 0}, std::pair{0, 1}, std::pair{2, 1}}) {
        EXPECT_EQ(qAlpha(copied.pixel(x, y)), 255) << x << "," << y;
    }
    EXPECT_NE(copied.pixel(1, 0), copied.pixel(2, 0));
}

// ---- the frame tick ------------------------------------------------------------------

TEST_F(DesktopTest, TheTickPresentsOnlyWhenWhatTheFrameShowsChanged) {
    form().show();
    openArchive(writeMir2("a.wil", 3), TWMImagesKind::M2Def);
    ASSERT_TRUE(form().SelectImage(1));
    int presented = form().PanelDraw->framesPresented();
    // Ticks until the view rests; answers how many frames they presented.
    auto framesOfTicks = [&] {
        for (int i = 0; i < 4; ++i) form().TimerTimer();
        const int frames = form().PanelDraw->framesPresented() - presented;
        presented = form().PanelDraw->framesPresented();
        return frames;
    };
    EXPECT_EQ(framesOfTicks(), 1);
    EXPECT_EQ(framesOfTicks(), 0);

    const std::pair<const char*, std::function<void()>> changes[] = {
        {"selection", [&] { form().SelectImage(2); }},
        {"same cell again", [&] { form().DrawGridSelectCell(2, 0); }},
        {"alpha", [&] { form().Tool_Alpha->setValue(100); }},
        {"flip", [&] { form().MENU_OPTION_LEVEL->trigger(); }},
        {"placement", [&] { form().Tool_Middle->trigger(); }},
        {"back colour", [&] { form().View.BackColor = 0x102030; }},
        {"exposure",
         [&] {
             form().PanelDraw->hide();
             form().PanelDraw->show();
         }},
        {"device reset", [&] { form().MyDevice->ResetDevice(); }},
        {"device lost and back",
         [&] {
             sharedDevice().device->loseDevice();
             form().TimerTimer();  // the loss is seen: nothing can be presented
             sharedDevice().device->endDeviceLoss();
         }},
    };
    for (const auto& [name, change] : changes) {
        change();
        EXPECT_GE(framesOfTicks(), 1) << name;
        EXPECT_EQ(framesOfTicks(), 0) << name;
    }
}

}  // namespace
}  // namespace vantoro::testing
