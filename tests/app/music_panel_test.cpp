// The sound panel in the window: selecting sound entries, playing one, and
// what a selection or a missing audio device does to it.
// First: the pack writer names a field "slots", which Qt's keyword macro eats.
#include "tests/support/pack_writer.h"
// Then the window and its fixtures.
#include <QCoreApplication>
#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <cstdlib>

#include "app/music_panel.h"
#include "tests/app/form_fixture.h"
#include "tests/support/sound_writer.h"

namespace vantoro::testing {
namespace {

class MusicPanelTest : public FormTest {
protected:
    // 0: a 3 s WAV, 1: an MP3 entry whose bytes are no sound, 2: an image.
    void openSounds() {
        PackEntry wav = packFile(63, 0, false);
        wav.payload = sineWav({22050, 1, 22050 * 3, 440, 0.5});
        writePack(dir.file("s.pak"), {wav, packFile(79, 300, false), packImage(4, 4, 2, false)});
        openArchive(dir.file("s.pak"), TWMImagesKind::MyImage);
    }
    // As a click on the entry's cell.
    void select(int index) { form().DrawGridSelectCell(index % 6, index / 6); }
    MusicPanel& music() { return *form().Music; }
    bool panelShown() { return form().PanelMusic->isVisibleTo(&form()); }
    // Green pixels the spectrum display shows.
    int spectrumGreen() {
        const QImage shown = music().PaintBox1->grab().toImage();
        int green = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) green += shown.pixel(x, y) == 0xFF00FF00u;
        }
        return green;
    }
};

TEST_F(MusicPanelTest, PlayingASoundEntryAndSelectingAnImageStopsIt) {
    openSounds();
    select(0);
    EXPECT_TRUE(panelShown());
    const HSTREAM channel = music().preview().channel();
    ASSERT_NE(channel, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(channel), BASS_ACTIVE_STOPPED);  // nothing starts by itself

    music().bt_Music_Play->click();
    EXPECT_EQ(BASS_ChannelIsActive(channel), BASS_ACTIVE_PLAYING);
    EXPECT_TRUE(form().TimerMusic->isActive());
    EXPECT_TRUE(music().ScrollBar1->isEnabled());
    EXPECT_EQ(music().ScrollBar1->maximum(), 3000);
    EXPECT_FALSE(music().bt_Music_Play->isEnabled());
    music().TimerMusicTimer();

    select(2);
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(BASS_ChannelGetLength(channel, BASS_POS_BYTE), kBassFailed);  // freed
    EXPECT_EQ(music().preview().channel(), 0u);
    EXPECT_FALSE(form().TimerMusic->isActive());
    EXPECT_TRUE(music().bt_Music_Play->isEnabled());
    EXPECT_FALSE(music().bt_Music_Stop->isEnabled());
    EXPECT_FALSE(music().ScrollBar1->isEnabled());
}

TEST_F(MusicPanelTest, ASoundEntryThatDoesNotDecodeShowsThePanelWithNothingToPlay) {
    openSounds();
    select(1);
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(music().preview().channel(), 0u);
    music().bt_Music_Play->click();
    EXPECT_EQ(music().ScrollBar1->maximum(), 0);
    music().TimerMusicTimer();  // the first tick stops again
    EXPECT_TRUE(music().bt_Music_Play->isEnabled());
    EXPECT_FALSE(form().TimerMusic->isActive());
    EXPECT_TRUE(dialogs.asked.empty());
}

// The next Play starts from the beginning, so the bar and the spectrum go
// back there too.
TEST_F(MusicPanelTest, StopPutsThePositionBarAndTheSpectrumBackToTheStart) {
    form().show();
    QCoreApplication::processEvents();
    openSounds();
    select(0);
    music().bt_Music_Play->click();
    music().ScrollBar1->setSliderPosition(2000);
    music().ScrollBar1->triggerAction(QScrollBar::SliderMove);  // a drag pauses there
    music().bt_Music_Play->click();
    music().TimerMusicTimer();
    EXPECT_GE(music().ScrollBar1->value(), 2000);
    EXPECT_GT(spectrumGreen(), 0);

    music().bt_Music_Stop->click();
    EXPECT_EQ(music().ScrollBar1->value(), 0);
    EXPECT_EQ(spectrumGreen(), 0);
    for (const std::int32_t level : music().preview().levels().BarLevels()) ASSERT_EQ(level, 0);
    music().bt_Music_Play->click();
    EXPECT_LT(BASS_ChannelGetPosition(music().preview().channel(), BASS_POS_BYTE), 22050u);
}

TEST_F(MusicPanelTest, WithoutAnAudioDeviceTheWindowSaysSoOverItselfAndPlaySaysWhy) {
    destroyForm();
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = driver ? driver : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    restartForm();
    driver ? setenv("SDL_AUDIODRIVER", saved.c_str(), 1) : unsetenv("SDL_AUDIODRIVER");
    EXPECT_TRUE(dialogs.askedOf(QStringLiteral("message")).empty());  // not before the window
    form().show();
    QCoreApplication::processEvents();
    const auto messages = dialogs.askedOf(QStringLiteral("message"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("音频设备初始化错误"));

    openSounds();
    select(0);
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(music().preview().channel(), 0u);
    music().bt_Music_Play->click();
    EXPECT_EQ(form().StatusBar->currentMessage(), QStringLiteral("没有音频设备"));
    music().TimerMusicTimer();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.askedOf(QStringLiteral("message")).size(), 1u);
}

}  // namespace
}  // namespace vantoro::testing
