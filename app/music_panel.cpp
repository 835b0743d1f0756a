#include "app/music_panel.h"

#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace vantoro {
namespace {

constexpr int kSpectrumHeight = 64;

}  // namespace

SpectrumBox::SpectrumBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PaintBox1"));
    setFixedHeight(kSpectrumHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SpectrumBox::show(std::span<const std::uint32_t> pixels, int width, int height) {
    m_pixels = pixels;
    m_width = width;
    m_height = height;
    update();
}

void SpectrumBox::paintEvent(QPaintEvent*) {
    if (m_width <= 0 || m_height <= 0 ||
        m_pixels.size() < static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height)) {
        return;
    }
    const QImage image(reinterpret_cast<const uchar*>(m_pixels.data()), m_width, m_height,
                       m_width * 4, QImage::Format_RGB32);
    QPainter painter(this);
    painter.drawImage(rect(), image);
}

MusicPanel::MusicPanel(QWidget* panelMusic, QTimer* timerMusic, QObject* parent)
    : QObject(parent), TimerMusic(timerMusic) {
    auto* column = new QVBoxLayout(panelMusic);
    PaintBox1 = new SpectrumBox(panelMusic);
    ScrollBar1 = new QScrollBar(Qt::Horizontal, panelMusic);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& caption) {
        auto* made = new QPushButton(caption, panelMusic);
        made->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(made);
        return made;
    };
    bt_Music_Play = button("bt_Music_Play", QStringLiteral("播放"));
    bt_Music_Pause = button("bt_Music_Pause", QStringLiteral("暂停"));
    bt_Music_Stop = button("bt_Music_Stop", QStringLiteral("停止"));
    buttons->addStretch(1);
    column->addWidget(PaintBox1);
    column->addWidget(ScrollBar1);
    column->addLayout(buttons);

    connect(bt_Music_Play, &QPushButton::clicked, this, &MusicPanel::bt_Music_PlayClick);
    connect(bt_Music_Pause, &QPushButton::clicked, this, &MusicPanel::bt_Music_PauseClick);
    connect(bt_Music_Stop, &QPushButton::clicked, this, &MusicPanel::bt_Music_StopClick);
    // User moves only: the tick's own position updates are no scroll.
    connect(ScrollBar1, &QScrollBar::actionTriggered, this, &MusicPanel::ScrollBar1Scroll);
    connect(TimerMusic, &QTimer::timeout, this, &MusicPanel::TimerMusicTimer);
    showControls();
}

void MusicPanel::shutdown() {
    m_preview.shutdown();
    showControls();
}

void MusicPanel::bt_Music_PlayClick() {
    // Without an output the buttons act all the same; say why nothing is heard.
    if (!m_preview.play()) emit statusMessage(QStringLiteral("没有音频设备"));
    showControls();
}

void MusicPanel::bt_Music_PauseClick() {
    m_preview.pause();
    showControls();
}

void MusicPanel::bt_Music_StopClick() {
    m_preview.stop();
    showControls();
}

// The bar has already taken its new place when the action is reported.
void MusicPanel::ScrollBar1Scroll(int /*action*/) {
    m_preview.seek(ScrollBar1->sliderPosition());
    showControls();
}

void MusicPanel::TimerMusicTimer() {
    m_preview.tick(PaintBox1->width(), PaintBox1->height());
    showControls();
}

void MusicPanel::showControls() {
    const MusicControls& controls = m_preview.controls();
    bt_Music_Play->setEnabled(controls.playEnabled);
    bt_Music_Pause->setEnabled(controls.pauseEnabled);
    bt_Music_Stop->setEnabled(controls.stopEnabled);
    ScrollBar1->setEnabled(controls.positionEnabled);
    ScrollBar1->setMaximum(controls.positionMaximum);
    ScrollBar1->setValue(controls.position);
    PaintBox1->show(m_preview.spectrumPixels(), m_preview.spectrumWidth(),
                    m_preview.spectrumHeight());
    if (controls.timerOn != TimerMusic->isActive()) {
        controls.timerOn ? TimerMusic->start() : TimerMusic->stop();
    }
}

}  // namespace vantoro
