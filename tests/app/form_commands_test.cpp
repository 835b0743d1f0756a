// Start-up state, command state, shortcuts, the status bar and the view's
// controls.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "app/color_button.h"
#include "app/draw_grid.h"
#include "tests/app/form_fixture.h"

namespace vantoro::testing {
namespace {

using CommandTest = FormTest;

std::vector<QAction*> archiveCommands(TFormMain& f) {
    return {f.MEMU_FILE_CLOSE, f.CloseButton,         f.MEMU_WORK_IMAGE_GOTO, f.MEMU_WORK_FRONT,
            f.MEMU_WORK_NEXT,  f.Tool_Image_Goto,     f.Tool_Front,           f.Tool_Next,
            f.Tool_AUTOIMAGE,  f.MEMU_WORK_AUTOIMAGE, f.MEMU_WORK_PUTIMAGE,   f.Tool_Image_Put};
}

std::vector<QAction*> writeCommands(TFormMain& f) {
    return {f.MEMU_WORK_ADDIMAGE, f.MEMU_WORK_DELIMAGE, f.Tool_Image_Add, f.Tool_Image_Del};
}

TEST_F(CommandTest, StartsWithoutArchiveAndWithTheDesignedControls) {
    for (QAction* command : archiveCommands(form())) EXPECT_FALSE(command->isEnabled());
    for (QAction* command : writeCommands(form())) EXPECT_FALSE(command->isEnabled());
    EXPECT_FALSE(form().OpenButton->isEnabled());
    EXPECT_TRUE(form().MENU_VIER_TOOLBAR->isChecked());
    EXPECT_TRUE(form().MENU_VIER_STATUSBAR->isChecked());
    EXPECT_TRUE(form().Tool_Random->isChecked());
    EXPECT_FALSE(form().Tool_Middle->isChecked());
    EXPECT_EQ(form().Tool_BlendMode->count(), 12);
    EXPECT_EQ(form().Tool_BlendMode->currentText(), QStringLiteral("Blend_Default"));
    EXPECT_EQ(form().BlendCustomIndex, 11);
    EXPECT_EQ(form().Tool_SrcBlend->currentText(), QStringLiteral("One"));
    EXPECT_EQ(form().Tool_DestBlend->currentText(), QStringLiteral("Zero"));
    EXPECT_EQ(form().Tool_DestBlend->count(), 15);
    EXPECT_FALSE(form().Tool_SrcBlend->isEnabled());
    EXPECT_EQ(form().Tool_Zoom->currentText(), QStringLiteral("100%"));
    EXPECT_EQ(form().Tool_Alpha->value(), 255);
    EXPECT_EQ(form().FBlendCode, 0x0504);
    EXPECT_EQ(form().PanelDraw->size(), QSize(800, 600));
    EXPECT_FALSE(form().PanelMusic->isVisibleTo(&form()));
    EXPECT_EQ(form().ScrollBox->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(form().StdPalette, StdPalette);
    EXPECT_TRUE(form().Timer->isActive());
}

TEST_F(CommandTest, ReadOnlyArchiveEnablesAllButTheWritingCommands) {
    openArchive(writeMir2("a.wil", 3), 0);
    for (QAction* command : archiveCommands(form())) EXPECT_TRUE(command->isEnabled());
    for (QAction* command : writeCommands(form())) EXPECT_FALSE(command->isEnabled());
    form().MEMU_WORK_ADDIMAGEClick();  // read-only: nothing happens
    form().MEMU_WORK_PUTIMAGEClick();
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(CommandTest, MenuCaptionsShortcutsAndSeparators) {
    EXPECT_EQ(form().MEMU_FILE->title(), QStringLiteral("文件(&F)"));
    EXPECT_EQ(form().MEMU_FILE_OPEN_DIY->text(), QStringLiteral("自定义格式 (&C)"));
    EXPECT_EQ(form().MEMU_FILE_OPEN_MIR3->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F8));
    EXPECT_EQ(form().MEMU_WORK_NEXT->shortcut(), QKeySequence(Qt::Key_F8));
    EXPECT_EQ(form().MEMU_FILE_EXIT->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_FALSE(form().MEMU_FILE_OPEN_MIR2_16->isVisible());
    EXPECT_FALSE(form().MEMU_FILE_OPEN_WY->isVisible());
    EXPECT_EQ(form().CloseButton->toolTip(), QStringLiteral("关闭 (Ctrl + Q) "));
    QStringList file;
    for (QAction* item : form().MEMU_FILE->actions()) {
        file << (item->isSeparator() ? QStringLiteral("-") : item->objectName());
    }
    EXPECT_EQ(file, QStringList({"MEMU_FILE_NEW", "MEMU_FILE_OPEN", "MEMU_FILE_CLOSE", "-",
                                 "MEMU_FILE_AGOFILE", "-", "MEMU_FILE_EXIT"}));
}

class ShortcutTest : public FormTest {
protected:
    void SetUp() override {
        form().show();
        QApplication::setActiveWindow(&form());
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    }
    void press(QKeyCombination key) {
        QTest::keyClick(&form(), key.key(), key.keyboardModifiers());
    }
};

TEST_F(ShortcutTest, HiddenItemsKeepTheirShortcuts) {
    press(Qt::CTRL | Qt::Key_F3);
    press(Qt::CTRL | Qt::Key_F7);
    const auto asked = dialogs.askedOf(QStringLiteral("openFile"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text, QStringLiteral("传奇二图像存储文件(565)|*_16.wil"));
    EXPECT_EQ(asked[1].text, QStringLiteral("武易图像数据存储文件|*.521g"));
}

TEST_F(ShortcutTest, DisabledCommandShortcutsDoNothing) {
    const std::string path = writeMir2("a.wil", 3);
    openArchive(path, 0);
    form().MEMU_FILE_CLOSEClick();
    press(Qt::CTRL | Qt::Key_Q);  // Close is disabled again
    press(Qt::Key_F3);            // so is go-to
    EXPECT_TRUE(dialogs.asked.empty());
    openArchive(path, 0);
    press(Qt::Key_F8);
    EXPECT_EQ(form().selection.CurrentIndex, 1);
    press(Qt::CTRL | Qt::Key_Q);
    EXPECT_EQ(form().CurrentArchive, nullptr);
}

TEST_F(CommandTest, ViewTogglesShowAndHideTheBars) {
    form().show();
    form().MENU_VIER_TOOLBAR->trigger();
    EXPECT_FALSE(form().MENU_VIER_TOOLBAR->isChecked());
    EXPECT_FALSE(form().StandardToolBar->isVisible());
    form().MENU_VIER_STATUSBAR->trigger();
    EXPECT_FALSE(form().StatusBar->isVisible());
    form().MENU_VIER_TOOLBAR->trigger();
    EXPECT_TRUE(form().StandardToolBar->isVisible());
}

TEST_F(CommandTest, AboutShowsTheTitleAndExitClosesTheWindow) {
    form().MENU_HELP_ABOUT->trigger();
    const auto about = dialogs.askedOf(QStringLiteral("about"));
    ASSERT_EQ(about.size(), 1u);
    EXPECT_EQ(about[0].caption, QStringLiteral("Vantoro 1.0.0.0"));
    EXPECT_TRUE(about[0].text.startsWith(QStringLiteral("Vantoro 1.0.0.0\n")));
    form().show();
    form().MEMU_FILE_EXIT->trigger();
    EXPECT_FALSE(form().isVisible());
}

TEST_F(CommandTest, StatusBarBeforeAndAfterASelection) {
    const QStringList start = {"编号: 0/0", "格式: 未知",     "规格: 0 * 0", "坐标X: 0",
                               "坐标Y: 0",  "格式: A4R4G4B4", "透明度: 255", "测试: (0,0)"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(panel(i), start[i]);
    openArchive(writeMir2("a.wil", 4), 0);
    EXPECT_EQ(panel(0), QStringLiteral("编号: -1/3"));
    EXPECT_EQ(panel(1), QStringLiteral("格式: MIR2 标准数据格式(新)"));
    ASSERT_TRUE(form().SelectImage(3));
    const QStringList selected = {"编号: 3/3",   "格式: MIR2 标准数据格式(新)",
                                  "规格: 7 * 6", "坐标X: 3",
                                  "坐标Y: -3",   "格式: 默认",
                                  "透明度: 255", "测试: (0,0)"};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(panel(i), selected[i]);
    form().Tool_Alpha->setValue(100);
    EXPECT_EQ(panel(6), QStringLiteral("透明度: 100"));
    const int widths[] = {130, 190, 110, 80, 80, 95, 90, 50};
    const auto labels = form().StatusBar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(labels.size(), 8);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(labels[i]->width(), widths[i]);
    EXPECT_EQ(labels[7]->minimumWidth(), widths[7]);  // the last one reaches the end
}

TEST_F(CommandTest, BlendModeAndFactorListsSetTheBlendCode) {
    form().Tool_BlendMode->setCurrentIndex(8);  // "Blend_Shadow"
    emit form().Tool_BlendMode->activated(8);
    EXPECT_EQ(form().FBlendCode, 0x0500);
    EXPECT_FALSE(form().Tool_SrcBlend->isEnabled());
    form().Tool_BlendMode->setCurrentIndex(form().BlendCustomIndex);
    emit form().Tool_BlendMode->activated(form().BlendCustomIndex);
    EXPECT_TRUE(form().Tool_DestBlend->isEnabled());
    EXPECT_EQ(form().FBlendCode, 0x0001);  // One over Zero
    form().Tool_DestBlend->setCurrentIndex(5);
    emit form().Tool_DestBlend->activated(5);
    EXPECT_EQ(form().FBlendCode, 0x0501);
}

TEST_F(CommandTest, ZoomListAndCustomZoom) {
    auto choose = [this](int index) {
        form().Tool_Zoom->setCurrentIndex(index);
        emit form().Tool_Zoom->activated(index);
    };
    choose(3);
    EXPECT_EQ(form().FZoom, 4.0);
    dialogs.inputAnswers = {QStringLiteral("10"), QStringLiteral("abc"), std::nullopt};
    choose(5);
    EXPECT_EQ(form().FZoom, 0.1);
    EXPECT_EQ(dialogs.asked.back().caption, QStringLiteral("设置缩放比例"));
    EXPECT_EQ(dialogs.asked.back().text, QStringLiteral("例如：10 代表 10%"));
    choose(5);
    EXPECT_EQ(form().FZoom, 1.0);
    form().FZoom = 2.0;
    choose(5);  // cancelled
    EXPECT_EQ(form().FZoom, 2.0);
}

TEST_F(CommandTest, ColourMenuItemsClickTheirButtons) {
    dialogs.colorAnswers = {QColor(0x11, 0x22, 0x33), QColor(0x44, 0x55, 0x66)};
    form().MENU_OPTION_BACKCOLOR->trigger();
    EXPECT_EQ(form().BackColor, 0x332211u);
    EXPECT_EQ(form().PanelDraw->palette().color(QPalette::Window), QColor(0x11, 0x22, 0x33));
    form().MENU_OPTION_BLENDCOLOR->trigger();
    EXPECT_EQ(form().BlendColor, 0x665544u);
    EXPECT_EQ(form().Tool_BlendColor->colorBgr(), 0x665544u);
}

}  // namespace
}  // namespace vantoro::testing
