#include "shell/entry_selection.h"

#include <gtest/gtest.h>

#include <map>

#include "archive/my_image_images.h"
#include "archive/open_archive.h"
#include "tests/support/m2_def_writer.h"

namespace vantoro {
namespace {

using testing::M2Image;

bool textureIsClear(TDXTexture& texture) {
    TDXLockedRect rect;
    if (!texture.Lock(kLockRead, rect)) return true;  // never filled
    const auto* bytes = static_cast<const std::uint8_t*>(rect.Bits);
    const std::size_t size = static_cast<std::size_t>(rect.Pitch) * texture.FHeight;
    const bool clear = std::all_of(bytes, bytes + size, [](std::uint8_t b) { return b == 0; });
    texture.Unlock();
    return clear;
}

class EntrySelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<M2Image> images(12, testing::patternImage(4, 3, false));
        images[1] = {6, 5, -3, -300, std::vector<std::uint16_t>(30, 7)};
        images[2].width = 1;  // outside 2..4095: cannot be decoded
        testing::writeM2Def(wil, images);
        OpenedArchive opened = openArchive(TWMImagesKind::M2Def, wil);
        archive = std::move(opened.archive);
        ASSERT_TRUE(opened.opened);
        ASSERT_EQ(archive->FImageCount, 12);
    }

    testing::TempDir dir;
    std::string wil = dir.file("Magic.wil");
    std::unique_ptr<TWMBaseImages> archive;
    TDXImageTexture texture;
    SelectionState state;
};

TEST_F(EntrySelectionTest, ImageThenUndecodableThenEmptyCells) {
    archive->FLastImageFormat = 2;  // only a pack's stored format counts
    auto selection = selectEntry(archive.get(), 1, &texture, state);
    ASSERT_TRUE(selection);
    EXPECT_EQ(selection->soundPanel, SoundPanel::Hidden);
    EXPECT_FALSE(selection->soundStream);
    EXPECT_EQ(state.CurrentIndex, 1);
    EXPECT_EQ(state.CurrentImageInfo.Width, 6);
    EXPECT_EQ(state.CurrentImageInfo.Height, 5);
    EXPECT_EQ(state.CurrentPixelFormat, -1);
    EXPECT_EQ(state.FImageOffsetX, -3);  // sign-extended
    EXPECT_EQ(state.FImageOffsetY, -300);
    EXPECT_FALSE(textureIsClear(texture));

    for (const std::int32_t index : {2, 12, 17}) {
        SCOPED_TRACE(index);
        ASSERT_TRUE(selectEntry(archive.get(), index, &texture, state));
        EXPECT_EQ(state.CurrentIndex, index);
        EXPECT_EQ(state.CurrentImageInfo.Width, 0);
        EXPECT_EQ(state.CurrentImageInfo.Height, 0);
        EXPECT_EQ(state.FImageOffsetX, -3);  // offsets change only with a decoded image
        EXPECT_TRUE(textureIsClear(texture));
    }
    // Without a view texture (the device failed) nothing decodes.
    ASSERT_TRUE(selectEntry(archive.get(), 0, nullptr, state));
    EXPECT_EQ(state.CurrentImageInfo.Width, 0);
}

TEST_F(EntrySelectionTest, NothingWithoutAnOpenArchive) {
    state.CurrentIndex = 4;
    EXPECT_FALSE(selectEntry(nullptr, 1, &texture, state));
    archive->Finalize();
    EXPECT_FALSE(selectEntry(archive.get(), 1, &texture, state));
    EXPECT_EQ(state.CurrentIndex, 4);
    EXPECT_EQ(state.CurrentPixelFormat, 0);
}

// The pack's kinds of entry.
class FakePack : public TWMMyImageImages {
public:
    std::uint8_t GetDataType(std::int32_t index) override { return types.at(index); }
    bool DrawToTexture(std::int32_t, TDXTexture*) override {
        FLastImageInfo = {3, 3, 1, 2};
        FLastImageFormat = 3;
        return true;
    }
    std::optional<std::vector<std::uint8_t>> GetDataStream(std::int32_t index,
                                                           std::uint8_t mode) override {
        modes.push_back(mode);
        if (index == 1) return std::vector<std::uint8_t>{'R', 'I', 'F', 'F'};
        return std::nullopt;
    }

    std::map<std::int32_t, std::uint8_t> types = {{0, kDataTypeImage},
                                                  {1, kDataTypeWav},
                                                  {2, kDataTypeMp3},
                                                  {3, kDataTypeRaw},
                                                  {4, kDataTypeEmpty}};
    std::vector<std::uint8_t> modes;
};

TEST(EntrySelection, PackEntriesOfEveryKind) {
    FakePack pack;
    pack.FInitialized = true;
    pack.FImageCount = 5;
    SelectionState state;
    TDXImageTexture texture;

    EXPECT_EQ(selectEntry(&pack, 0, &texture, state)->soundPanel, SoundPanel::Hidden);
    EXPECT_EQ(state.CurrentPixelFormat, 3);

    const auto wav = selectEntry(&pack, 1, &texture, state);
    EXPECT_EQ(wav->soundPanel, SoundPanel::Shown);
    EXPECT_EQ(wav->soundStream, (std::vector<std::uint8_t>{'R', 'I', 'F', 'F'}));
    EXPECT_EQ(state.CurrentPixelFormat, -1);
    EXPECT_EQ(state.CurrentImageInfo.Width, 0);

    const auto mp3 = selectEntry(&pack, 2, &texture, state);
    EXPECT_EQ(mp3->soundPanel, SoundPanel::Shown);  // shown with nothing to play
    EXPECT_FALSE(mp3->soundStream);
    EXPECT_EQ(pack.modes, (std::vector<std::uint8_t>{0, 0}));

    EXPECT_EQ(selectEntry(&pack, 3, &texture, state)->soundPanel, SoundPanel::Hidden);
    EXPECT_EQ(selectEntry(&pack, 4, &texture, state)->soundPanel, SoundPanel::Unchanged);
    EXPECT_EQ(state.CurrentIndex, 4);
}

}  // namespace
}  // namespace vantoro
