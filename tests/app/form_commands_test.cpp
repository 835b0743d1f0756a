// Start-up state, command state, shortcuts, the status bar and the view's
// controls.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollArea>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "app/color_button.h"
#include "app/draw_grid.h"
#include "app/draw_panel.h"
#include "d3d9/d3d9_adapter.h"
#include "image_io/texel_rgba.h"
#include "render/dx9_device.h"
#include "shell/status_bar_text.h"
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

// Without an archive no command that needs one can run, the view starts as
// its lists show it (choosing their current rows changes nothing), the
// palette came from the resources and the view ticks.
TEST_F(CommandTest, StartsWithoutArchiveAndItsCommandsOff) {
    for (QAction* command : archiveCommands(form())) EXPECT_FALSE(command->isEnabled());
    for (QAction* command : writeCommands(form())) EXPECT_FALSE(command->isEnabled());
    EXPECT_FALSE(form().OpenButton->isEnabled());
    const auto blendCode = form().View.FBlendCode;
    const auto zoom = form().View.FZoom;
    emit form().Tool_BlendMode->activated(form().Tool_BlendMode->currentIndex());
    emit form().Tool_Zoom->activated(form().Tool_Zoom->currentIndex());
    EXPECT_EQ(form().View.FBlendCode, blendCode);
    EXPECT_EQ(form().View.FZoom, zoom);
    EXPECT_FALSE(form().Tool_SrcBlend->isEnabled());
    EXPECT_FALSE(form().PanelMusic->isVisibleTo(&form()));
    EXPECT_EQ(form().StdPalette, StdPalette);
    EXPECT_TRUE(form().Timer->isActive());
}

TEST_F(CommandTest, ReadOnlyArchiveEnablesAllButTheWritingCommands) {
    openArchive(writeMir2("a.wil", 3), TWMImagesKind::M2Def);
    for (QAction* command : archiveCommands(form())) EXPECT_TRUE(command->isEnabled());
    for (QAction* command : writeCommands(form())) EXPECT_FALSE(command->isEnabled());
    form().MEMU_WORK_ADDIMAGEClick();  // read-only: nothing happens
    form().MEMU_WORK_PUTIMAGEClick();
    EXPECT_TRUE(dialogs.asked.empty());
}

// The Open menu is made from the kind table: its captions, shortcuts,
// hidden rows and submenus come through.
TEST_F(CommandTest, MenuCaptionsShortcutsAndSeparators) {
    const auto item = [&](const char* name) { return form().findChild<QAction*>(name); };
    EXPECT_EQ(item("MEMU_FILE_OPEN_DIY")->text(), QStringLiteral("自定义格式 (&C)"));
    EXPECT_EQ(item("MEMU_FILE_OPEN_MIR3")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F8));
    EXPECT_EQ(form().MEMU_WORK_NEXT->shortcut(), QKeySequence(Qt::Key_F8));
    EXPECT_EQ(form().MEMU_FILE_EXIT->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_FALSE(item("MEMU_FILE_OPEN_MIR2_16")->isVisible());
    EXPECT_FALSE(item("MEMU_FILE_OPEN_WY")->isVisible());
    QStringList open;  // the games' submenus stand between the other formats
    for (QAction* entry : form().MEMU_FILE_OPEN->actions()) open << entry->objectName();
    EXPECT_EQ(open, QStringList({"MEMU_FILE_OPEN_DIY", "M1", "N3M1", "MEMU_FILE_OPEN_WOOOL",
                                 "MEMU_FILE_OPEN_WY"}));
    EXPECT_EQ(item("MEMU_FILE_OPEN_MIR3Zip")->parent()->objectName(), QStringLiteral("N3M1"));
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
    openArchive(path, TWMImagesKind::M2Def);
    form().MEMU_FILE_CLOSEClick();
    press(Qt::CTRL | Qt::Key_Q);  // Close is disabled again
    press(Qt::Key_F3);            // so is go-to
    EXPECT_TRUE(dialogs.asked.empty());
    openArchive(path, TWMImagesKind::M2Def);
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
    const StatusBarTexts start = UpdateStatusBar({});
    for (std::size_t i = 0; i < start.size(); ++i) {
        EXPECT_EQ(panel(i), QString::fromStdString(start[i])) << i;
    }
    openArchive(writeMir2("a.wil", 4), TWMImagesKind::M2Def);
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
    EXPECT_EQ(form().StatusBar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly).size(), 8);
}

TEST_F(CommandTest, BlendModeAndFactorListsSetTheBlendCode) {
    form().Tool_BlendMode->setCurrentIndex(8);  // "Blend_Shadow"
    emit form().Tool_BlendMode->activated(8);
    EXPECT_EQ(form().View.FBlendCode, 0x0500u);
    EXPECT_FALSE(form().Tool_SrcBlend->isEnabled());
    form().Tool_BlendMode->setCurrentIndex(form().BlendCustomIndex);
    emit form().Tool_BlendMode->activated(form().BlendCustomIndex);
    EXPECT_TRUE(form().Tool_DestBlend->isEnabled());
    EXPECT_EQ(form().View.FBlendCode, 0x0001u);  // One over Zero
    form().Tool_DestBlend->setCurrentIndex(5);
    emit form().Tool_DestBlend->activated(5);
    EXPECT_EQ(form().View.FBlendCode, 0x0501u);
}

TEST_F(CommandTest, ZoomListAndCustomZoom) {
    auto choose = [this](int index) {
        form().Tool_Zoom->setCurrentIndex(index);
        emit form().Tool_Zoom->activated(index);
    };
    choose(3);
    EXPECT_EQ(form().View.FZoom, 4.0);
    dialogs.inputAnswers = {QStringLiteral("10"), QStringLiteral("abc"), std::nullopt};
    choose(5);
    EXPECT_EQ(form().View.FZoom, 0.1);
    choose(5);
    EXPECT_EQ(form().View.FZoom, 1.0);
    form().View.FZoom = 2.0;
    choose(5);  // cancelled
    EXPECT_EQ(form().View.FZoom, 2.0);
}

TEST_F(CommandTest, ColourMenuItemsClickTheirButtons) {
    dialogs.colorAnswers = {QColor(0x11, 0x22, 0x33), QColor(0x44, 0x55, 0x66)};
    form().MENU_OPTION_BACKCOLOR->trigger();
    EXPECT_EQ(form().View.BackColor, 0x332211u);
    EXPECT_EQ(form().PanelDraw->palette().color(QPalette::Window), QColor(0x11, 0x22, 0x33));
    form().MENU_OPTION_BLENDCOLOR->trigger();
    EXPECT_EQ(form().View.BlendColor, 0x665544u);
    EXPECT_EQ(form().Tool_BlendColor->colorBgr(), 0x665544u);
}

// ---- the view, drawn through the device into PanelDraw -----------------------------

using ViewTest = FormTest;

constexpr QRgb kGrey = 0xFF808080;

// One frame tick; the frame PanelDraw was given.
QImage tick(TFormMain& f) {
    f.TimerTimer();
    return f.PanelDraw->presentedFrame().copy();
}

// Texel (x, y) of the selected image as the view would show it unblended.
QRgb texelOf(TFormMain& f, int x, int y) {
    TDXImageTexture& texture = *f.View.ImageTexture;
    TDXLockedRect rect;
    if (!texture.Lock(kLockRead, rect)) return 0;
    const auto bytes = static_cast<std::uint64_t>(rect.Pitch) * texture.FHeight;
    const auto rgba = texelsToRgba(
        {{static_cast<const std::uint8_t*>(rect.Bits), bytes}, rect.Pitch, texture.FFormat},
        texture.GetWidth(), texture.GetHeight());
    texture.Unlock();
    const std::uint8_t* p = &(*rgba)[static_cast<std::size_t>(y * texture.GetWidth() + x) * 4];
    return qRgb(p[0], p[1], p[2]);
}

// Narrow texel channels may widen by a unit differently in the renderer.
bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 1 && std::abs(qGreen(a) - qGreen(b)) <= 1 &&
           std::abs(qBlue(a) - qBlue(b)) <= 1;
}

TEST_F(ViewTest, TheDeviceStartsWithTheWindowAndTheTickShowsTheSelection) {
    ASSERT_TRUE(form().MyDevice && form().MyDevice->Initialized());
    EXPECT_EQ(form().MyDevice->WindowHandle(), form().PanelDraw);
    EXPECT_TRUE(form().View.ImageTexture && form().View.FSceneTarget);
    EXPECT_EQ(form().PanelDraw->framesPresented(), 0);
    const QImage empty = tick(form());
    ASSERT_EQ(empty.size(), QSize(800, 600));
    EXPECT_EQ(empty.pixel(0, 0), kGrey);

    openArchive(writeMir2("a.wil", 3), TWMImagesKind::M2Def);
    ASSERT_TRUE(form().SelectImage(2));  // 6 x 5 at offsets (2, -2)
    EXPECT_EQ(form().View.FImageOffsetX, 2);
    EXPECT_EQ(form().View.FImageOffsetY, -2);
    const QImage frame = tick(form());
    EXPECT_TRUE(near(frame.pixel(0, 0), texelOf(form(), 0, 0)));
    EXPECT_TRUE(near(frame.pixel(5, 4), texelOf(form(), 5, 4)));
    EXPECT_EQ(frame.pixel(6, 0), kGrey);
}

TEST_F(ViewTest, PlacementFlipAlphaAndZoomControlsReachTheFrame) {
    openArchive(writeMir2("a.wil", 3), TWMImagesKind::M2Def);
    ASSERT_TRUE(form().SelectImage(2));
    form().Tool_Middle->trigger();  // (800 - 6) / 2, (600 - 5) / 2
    EXPECT_TRUE(near(tick(form()).pixel(397, 297), texelOf(form(), 0, 0)));
    form().Tool_Position->trigger();  // offsets + (266, 200)
    EXPECT_TRUE(near(tick(form()).pixel(268, 198), texelOf(form(), 0, 0)));
    form().MENU_OPTION_LEVEL->trigger();
    EXPECT_TRUE(near(tick(form()).pixel(268, 198), texelOf(form(), 5, 0)));
    form().MENU_OPTION_LEVEL->trigger();

    // -100 %: mirrored both ways, spreading left and up from the aligned point.
    dialogs.inputAnswers = {QStringLiteral("-100")};
    form().Tool_Zoom->setCurrentIndex(kZoomCustomIndex);
    emit form().Tool_Zoom->activated(kZoomCustomIndex);
    const QImage mirrored = tick(form());
    EXPECT_TRUE(near(mirrored.pixel(262, 193), texelOf(form(), 5, 4)));
    EXPECT_TRUE(near(mirrored.pixel(267, 197), texelOf(form(), 0, 0)));

    form().Tool_Alpha->setValue(0);  // Blend_Default's alpha test drops every texel
    EXPECT_EQ(tick(form()).pixel(267, 197), kGrey);
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

TEST_F(ViewTest, DraggingOnThePanelMovesTheUserPositionAndTheStatusBar) {
    QWidget* surface = form().PanelDraw;
    sendMouse(surface, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
    sendMouse(surface, QEvent::MouseMove, {30, 15}, Qt::LeftButton);
    EXPECT_EQ(form().View.FUserX, 20);
    EXPECT_EQ(form().View.FUserY, 5);
    EXPECT_EQ(panel(7), QStringLiteral("测试: (20,5)"));
    sendMouse(surface, QEvent::MouseMove, {2000, 2000}, Qt::LeftButton);
    EXPECT_EQ(form().View.FUserX, 740);
    sendMouse(surface, QEvent::MouseButtonRelease, {2000, 2000}, Qt::NoButton);
    sendMouse(surface, QEvent::MouseMove, {0, 0}, Qt::NoButton);
    EXPECT_EQ(form().View.FUserX, 740);

    form().Tool_Middle->trigger();  // centred: a drag moves nothing
    sendMouse(surface, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
    sendMouse(surface, QEvent::MouseMove, {50, 50}, Qt::LeftButton);
    EXPECT_EQ(form().View.FUserY, 540);
}

TEST_F(ViewTest, ColourButtonsAndTheBackgroundPicture) {
    dialogs.colorAnswers = {QColor(0x10, 0x20, 0x30)};
    form().MENU_OPTION_BACKCOLOR->trigger();
    EXPECT_EQ(tick(form()).pixel(400, 300), qRgb(0x10, 0x20, 0x30));

    QImage picture(3, 2, QImage::Format_RGB32);  // PPM: a format only Qt reads here
    picture.fill(QColor(0x40, 0x50, 0x60));
    const QString ppm = QString::fromStdString(dir.file("back.ppm"));
    ASSERT_TRUE(picture.save(ppm, "PPM"));
    dialogs.fileAnswers = {ppm};
    form().Tool_BackImage->trigger();
    QImage frame = tick(form());
    EXPECT_EQ(frame.pixel(2, 1), qRgb(0x40, 0x50, 0x60));
    EXPECT_EQ(frame.pixel(3, 1), qRgb(0x10, 0x20, 0x30));

    // A picture that does not load is reported and changes nothing.
    writeFile(dir.file("broken.png"), Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0});
    dialogs.fileAnswers = {QString::fromStdString(dir.file("broken.png"))};
    form().MENU_OPTION_BACKIMAGE->trigger();
    ASSERT_FALSE(dialogs.askedOf(QStringLiteral("message")).empty());
    EXPECT_TRUE(dialogs.askedOf(QStringLiteral("message")).back().text.contains("broken.png"));
    EXPECT_EQ(tick(form()).pixel(2, 1), qRgb(0x40, 0x50, 0x60));
}

TEST_F(ViewTest, AFailedDeviceIsReportedAndNothingIsDrawn) {
    destroyForm();
    d3d9::AdapterDescription adapter = d3d9::AdapterDescription::standard();
    adapter.maxTextureWidth = 2000;  // below what the program asks of a device
    d3d9::ScopedAdapter scope(adapter);
    restartForm();
    const auto messages = dialogs.askedOf(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, QStringLiteral("提示信息"));
    EXPECT_EQ(messages[0].text,
              QStringLiteral("初始化设备失败, error 电脑配置达不到游戏运行最低要求。"));
    EXPECT_FALSE(form().Timer->isActive());
    EXPECT_FALSE(form().View.ImageTexture);
    openArchive(writeMir2("a.wil", 2), TWMImagesKind::M2Def);
    EXPECT_TRUE(form().SelectImage(1));  // selecting still works, without a texture
    EXPECT_TRUE(tick(form()).isNull());
}

}  // namespace
}  // namespace vantoro::testing
