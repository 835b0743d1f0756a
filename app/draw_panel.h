// PanelDraw: the window the rendering device presents into. It keeps the
// last presented frame and paints it over its whole area (a presented frame
// is stretched to the window, as the device's Present does); before the
// first frame it shows its background colour. Mouse presses, moves and
// releases go to the window's drag handlers.
#pragma once

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <functional>

#include "render/image_view.h"

namespace vantoro {

class DrawPanel final : public QWidget, public d3d9::Presenter {
public:
    using MouseHandler = std::function<void(const QPoint&)>;

    explicit DrawPanel(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("PanelDraw"));
        setAutoFillBackground(true);
    }

    void presentFrame(const d3d9::PresentedFrame& frame) override {
        m_frame.presentFrame(frame);
        update();
    }

    // The last presented frame as 0xFFRRGGBB pixels; null before the first.
    QImage presentedFrame() const {
        if (m_frame.pixels().empty()) return {};
        return QImage(reinterpret_cast<const uchar*>(m_frame.pixels().data()), m_frame.width(),
                      m_frame.height(), m_frame.width() * 4, QImage::Format_RGB32);
    }
    int framesPresented() const { return m_frame.framesPresented(); }

    MouseHandler onMouseDown;
    MouseHandler onMouseMove;
    MouseHandler onMouseUp;
    // Shown or resized: what it shows must be presented again.
    std::function<void()> onExposed;

protected:
    void paintEvent(QPaintEvent*) override {
        const QImage frame = presentedFrame();
        if (frame.isNull()) return;  // the background fill shows
        QPainter painter(this);
        painter.drawImage(rect(), frame);
    }
    void showEvent(QShowEvent*) override { exposed(); }
    void resizeEvent(QResizeEvent*) override { exposed(); }
    void mousePressEvent(QMouseEvent* event) override { forward(onMouseDown, event); }
    void mouseMoveEvent(QMouseEvent* event) override { forward(onMouseMove, event); }
    void mouseReleaseEvent(QMouseEvent* event) override { forward(onMouseUp, event); }

private:
    void exposed() {
        if (onExposed) onExposed();
    }
    static void forward(const MouseHandler& handler, QMouseEvent* event) {
        if (handler) handler(event->position().toPoint());
    }

    FrameKeeper m_frame;
};

}  // namespace vantoro
