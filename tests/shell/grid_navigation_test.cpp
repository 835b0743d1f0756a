#include "shell/grid_navigation.h"

#include <gtest/gtest.h>

namespace vantoro {
namespace {

// An open archive of `count` entries, as far as the grid is concerned.
std::unique_ptr<TWMBaseImages> openArchive(std::int32_t count) {
    auto archive = std::make_unique<TWMBaseImages>();
    archive->FInitialized = true;
    archive->FImageCount = count;
    return archive;
}

TEST(GridNavigation, RowsCellsAndLabels) {
    EXPECT_EQ(gridRowCount(nullptr), 1);
    EXPECT_EQ(gridRowCount(openArchive(0).get()), 1);
    EXPECT_EQ(gridRowCount(openArchive(11).get()), 2);
    EXPECT_EQ(gridRowCount(openArchive(12).get()), 3);  // the third row is empty
    for (std::int32_t index = 12; index < 18; ++index) {
        EXPECT_EQ(cellOf(index).row, 2);
        EXPECT_EQ(cellIndex(cellOf(index)), index);
        EXPECT_FALSE(cellHasLabel(index, 12));
    }
    EXPECT_TRUE(cellHasLabel(11, 12));
    EXPECT_EQ(cellLabel(0), "000000");
    EXPECT_EQ(cellLabel(12), "000012");
    EXPECT_EQ(cellLabel(1234567), "1234567");
}

TEST(GridNavigation, ThumbnailsAreClampedPerSideAndTallOnesOutlined) {
    EXPECT_EQ(thumbnailLayout(200, 30), (ThumbnailLayout{64, 30, false}));
    EXPECT_EQ(thumbnailLayout(40, 100), (ThumbnailLayout{40, 64, true}));
    EXPECT_EQ(thumbnailLayout(2, 52), (ThumbnailLayout{2, 52, false}));
    EXPECT_EQ(thumbnailLayout(2, 53), (ThumbnailLayout{2, 53, true}));

    EXPECT_EQ(labelStrokes(128, 64, 40, 12, false), (std::vector<LabelStroke>{{88, 52, false}}));
    const auto outlined = labelStrokes(128, 64, 40, 12, true);
    ASSERT_EQ(outlined.size(), 5u);
    EXPECT_EQ(outlined.back(), (LabelStroke{88, 52, true}));  // white on top of the outline

    EXPECT_EQ(thumbnailSource(kDataTypeRaw), ThumbnailSource::DataIcon);
    EXPECT_EQ(thumbnailSource(kDataTypeMp3), ThumbnailSource::Mp3Icon);
    EXPECT_EQ(thumbnailSource(kDataTypeEmpty), ThumbnailSource::Nothing);
}

TEST(GridNavigation, PreviousNextAndGoTo) {
    const auto archive = openArchive(12);
    // Before any selection the current cell is the first one.
    EXPECT_EQ(stepTarget(archive.get(), {0, 0}, NavigationStep::Next), 1);
    EXPECT_EQ(stepTarget(archive.get(), {0, 5}, NavigationStep::Next), 6);
    EXPECT_EQ(stepTarget(archive.get(), {0, 0}, NavigationStep::Previous), std::nullopt);
    EXPECT_EQ(stepTarget(archive.get(), {1, 5}, NavigationStep::Next), std::nullopt);
    EXPECT_EQ(stepTarget(archive.get(), {2, 3}, NavigationStep::Previous), std::nullopt);
    auto closed = openArchive(12);
    closed->FInitialized = false;
    EXPECT_EQ(stepTarget(closed.get(), {0, 0}, NavigationStep::Next), std::nullopt);

    EXPECT_EQ(gotoTarget(archive.get(), "abc"), 1);
    EXPECT_EQ(gotoTarget(archive.get(), ""), 1);
    EXPECT_EQ(gotoTarget(archive.get(), "+11"), 11);
    EXPECT_EQ(gotoTarget(archive.get(), "-5"), std::nullopt);
    EXPECT_EQ(gotoTarget(archive.get(), "12"), std::nullopt);
    EXPECT_EQ(gotoTarget(archive.get(), gotoInitialText(-1)),
              std::nullopt);  // Cancel, nothing selected
    EXPECT_EQ(gotoIndex("99999999999"), 1);
    EXPECT_EQ(gotoTarget(openArchive(1).get(), "abc"), std::nullopt);
}

TEST(GridNavigation, SelectImageChangesTheRowFirst) {
    EXPECT_EQ(selectImageMoves({0, 5}, 6), (std::vector<GridCell>{{1, 5}, {1, 0}}));
    EXPECT_EQ(selectImageMoves({0, 2}, 8), (std::vector<GridCell>{{1, 2}}));
    EXPECT_EQ(selectImageMoves({0, 0}, 3), (std::vector<GridCell>{{0, 3}}));
    EXPECT_TRUE(selectImageMoves({1, 2}, 8).empty());
}

// A window stand-in: SelectImage over `infos`, a tick count the test sets.
class AutoPlayTest : public ::testing::Test {
protected:
    AutoPlayStep step() { return play.step(current, hooks); }

    std::uint32_t now = 1000;
    std::vector<TWMImageInfo> infos;
    std::vector<std::int32_t> selected;
    std::int32_t current = 0;
    AutoPlay play{[this] { return now; }};
    AutoPlayHooks hooks{[this](std::int32_t index) {
                            if (index < 0 || index >= static_cast<std::int32_t>(infos.size())) {
                                return false;
                            }
                            selected.push_back(current = index);
                            return true;
                        },
                        [this] { return infos[static_cast<std::size_t>(current)]; }};
};

TEST_F(AutoPlayTest, OneImagePerPeriodSkippingEmptyEntriesInOneTick) {
    const TWMImageInfo image{8, 8, 0, 0};
    infos = {image, image, {}, {0, 5, 0, 0}, {5, 0, 0, 0}, image};
    EXPECT_EQ(step(), AutoPlayStep::Idle);  // off
    play.toggle();
    EXPECT_EQ(play.toolImage(), kAutoPlayImageOn);
    EXPECT_EQ(step(), AutoPlayStep::Idle);  // not later than the switch-on tick
    now = 1001;
    EXPECT_EQ(step(), AutoPlayStep::Moved);
    EXPECT_EQ(play.FNextAutoTick, 1201u);
    now = 1201;
    EXPECT_EQ(step(), AutoPlayStep::Idle);
    now = 1202;
    EXPECT_EQ(step(), AutoPlayStep::Moved);
    EXPECT_EQ(selected, (std::vector<std::int32_t>{1, 2, 3, 4, 5}));

    now = 2000;
    EXPECT_EQ(step(), AutoPlayStep::Finished);  // past the last entry
    EXPECT_FALSE(play.isOn());
    EXPECT_EQ(play.toolImage(), kAutoPlayImageOff);
    now = 3000;
    EXPECT_EQ(step(), AutoPlayStep::Idle);
    EXPECT_EQ(selected.size(), 5u);
}

TEST_F(AutoPlayTest, TrailingEmptyEntriesEndPlayInTheSameTickAndTheClockIsUnsigned) {
    infos = {{8, 8, 0, 0}, {}, {}};
    now = 0x7FFFFFF0;
    play.toggle();
    now = 0x80000010;  // negative as a signed number, still later
    EXPECT_EQ(step(), AutoPlayStep::Finished);
    EXPECT_EQ(selected, (std::vector<std::int32_t>{1, 2}));

    play.toggle();
    play.switchOff();  // every open and close
    EXPECT_FALSE(play.isOn());
}

}  // namespace
}  // namespace vantoro
