// Selection through the grid, previous/next, go-to, auto play and the frame
// tick.
#include <QAction>
#include <QTest>

#include "app/draw_grid.h"
#include "tests/app/form_fixture.h"

namespace vantoro::testing {
namespace {

class NavigationTest : public FormTest {
protected:
    void openMir2(int count) { openArchive(writeMir2("a.wil", count), TWMImagesKind::M2Def); }
    int index() { return form().selection.CurrentIndex; }
    void tick(std::uint32_t advance) {
        now += advance;
        form().TimerTimer();
    }
};

TEST_F(NavigationTest, NextRightAfterOpenSelectsIndexOne) {
    openMir2(8);
    EXPECT_EQ(index(), -1);
    form().MEMU_WORK_NEXT->trigger();
    EXPECT_EQ(index(), 1);
    EXPECT_EQ(form().selection.CurrentImageInfo.Width, 5);
}

TEST_F(NavigationTest, PreviousAndNextStopAtBothEndsAndCrossRows) {
    openMir2(8);
    form().Tool_Front->trigger();  // from index 0: nothing
    EXPECT_EQ(index(), -1);
    ASSERT_TRUE(form().SelectImage(5));
    form().Tool_Next->trigger();
    EXPECT_EQ(index(), 6);
    EXPECT_EQ(form().DrawGrid->currentRow(), 1);
    EXPECT_EQ(form().DrawGrid->currentColumn(), 0);
    form().MEMU_WORK_NEXT->trigger();
    form().MEMU_WORK_NEXT->trigger();  // past the last: nothing
    EXPECT_EQ(index(), 7);
    form().MEMU_WORK_FRONT->trigger();
    EXPECT_EQ(index(), 6);
}

TEST_F(NavigationTest, GotoReadsTheTypedIndex) {
    openMir2(8);
    ASSERT_TRUE(form().SelectImage(4));
    dialogs.inputAnswers = {QStringLiteral("6"), QStringLiteral("x"), QStringLiteral("-5"),
                            std::nullopt};
    form().Tool_Image_GotoClick();
    EXPECT_EQ(dialogs.asked.back().caption, QStringLiteral("跳转"));
    EXPECT_EQ(dialogs.asked.back().text, QStringLiteral("请输入图片索引号"));
    EXPECT_EQ(dialogs.asked.back().initial, QStringLiteral("4"));
    EXPECT_EQ(index(), 6);
    form().Tool_Image_GotoClick();  // not a number: 1
    EXPECT_EQ(index(), 1);
    form().Tool_Image_GotoClick();  // out of range: nothing
    EXPECT_EQ(index(), 1);
    form().Tool_Image_GotoClick();  // cancelled: the initial text, index 1 again
    EXPECT_EQ(index(), 1);
}

TEST_F(NavigationTest, ClickOnACellPastTheLastEntrySelectsItWithoutPicture) {
    openMir2(12);
    form().show();
    ASSERT_EQ(form().DrawGrid->rowCount(), 3);
    const QRect cell = form().DrawGrid->cellRect(2, 2);
    QTest::mouseClick(form().DrawGrid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(index(), 14);
    EXPECT_EQ(panel(2), QStringLiteral("规格: 0 * 0"));
    EXPECT_EQ(panel(5), QStringLiteral("格式: 默认"));
}

TEST_F(NavigationTest, AutoPlayStepsOncePerPeriodAndSwitchesItselfOff) {
    openMir2(3);
    form().MEMU_WORK_AUTOIMAGE->trigger();
    EXPECT_TRUE(form().autoPlayOn());
    EXPECT_TRUE(form().MEMU_WORK_AUTOIMAGE->isChecked());
    EXPECT_EQ(form().Tool_AUTOIMAGE->property("ImageIndex").toInt(), 29);
    EXPECT_EQ(form().nextAutoTick(), now);
    tick(0);  // not later than the next tick
    EXPECT_EQ(index(), -1);
    tick(1);
    EXPECT_EQ(index(), 1);
    tick(200);  // exactly one period later: not yet
    EXPECT_EQ(index(), 1);
    tick(1);
    EXPECT_EQ(index(), 2);
    tick(201);  // past the last entry
    EXPECT_FALSE(form().autoPlayOn());
    EXPECT_FALSE(form().MEMU_WORK_AUTOIMAGE->isChecked());
    EXPECT_EQ(form().Tool_AUTOIMAGE->property("ImageIndex").toInt(), 28);
}

TEST_F(NavigationTest, AutoPlayPassesOverEntriesWithoutPictureInOneTick) {
    openArchive(writeMir3("m3.wil", 6, 1, 3), TWMImagesKind::M3Def);
    form().Tool_AUTOIMAGE->trigger();
    tick(1);
    EXPECT_EQ(index(), 4);
}

TEST_F(NavigationTest, OpeningSwitchesAutoPlayOffAndBusyTicksReturnAtOnce) {
    openMir2(5);
    form().MEMU_WORK_AUTOIMAGE->trigger();
    form().FrameTickBusy = true;
    tick(500);
    EXPECT_EQ(index(), -1);
    form().FrameTickBusy = false;
    openMir2(5);
    EXPECT_FALSE(form().autoPlayOn());
    tick(500);
    EXPECT_EQ(index(), -1);
}

}  // namespace
}  // namespace vantoro::testing
