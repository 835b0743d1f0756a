// The sound panel PanelMusic: the spectrum display PaintBox1, the position
// bar ScrollBar1 and the buttons 播放, 暂停 and 停止, driven by the 26 ms
// timer TimerMusic. What the buttons, the bar and the tick do is
// MusicPreview's (shell/music_preview.h); this class lays out the widgets,
// connects them and makes them show its answers.
#pragma once

#include <QObject>
#include <QWidget>
#include <cstdint>
#include <span>

#include "shell/music_preview.h"

class QPushButton;
class QScrollBar;
class QTimer;

namespace vantoro {

// PaintBox1: SpectrumBitmap stretched over the whole box.
class SpectrumBox final : public QWidget {
public:
    explicit SpectrumBox(QWidget* parent);
    void show(std::span<const std::uint32_t> pixels, int width, int height);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::span<const std::uint32_t> m_pixels;
    int m_width = 0;
    int m_height = 0;
};

class MusicPanel final : public QObject {
    Q_OBJECT

public:
    // Fills `panelMusic`; `timerMusic` is the window's, already 26 ms.
    MusicPanel(QWidget* panelMusic, QTimer* timerMusic, QObject* parent);

    bool initializeAudio() { return m_preview.startAudio(); }
    // The selection's sound steps: stop, free, and make the new channel.
    void releaseChannel() { m_preview.releaseChannel(); }
    void createChannel(std::span<const std::uint8_t> bytes) { m_preview.createChannel(bytes); }
    void shutdown();

    const MusicPreview& preview() const { return m_preview; }

signals:
    // A line for the window's status bar.
    void statusMessage(const QString& text);

public:
    SpectrumBox* PaintBox1 = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    QPushButton* bt_Music_Play = nullptr;
    QPushButton* bt_Music_Pause = nullptr;
    QPushButton* bt_Music_Stop = nullptr;
    QTimer* TimerMusic = nullptr;

public slots:
    void bt_Music_PlayClick();
    void bt_Music_PauseClick();
    void bt_Music_StopClick();
    void ScrollBar1Scroll(int action);
    void TimerMusicTimer();

private:
    void showControls();

    MusicPreview m_preview;
};

}  // namespace vantoro
