#include "app/color_button.h"

#include <QPainter>
#include <QPixmap>

#include "app/dialog_seam.h"

namespace vantoro {
namespace {

constexpr int kSwatchSize = 16;

}  // namespace

QColor colorFromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

std::uint32_t bgrFromColor(const QColor& color) {
    return static_cast<std::uint32_t>(color.red()) |
           (static_cast<std::uint32_t>(color.green()) << 8) |
           (static_cast<std::uint32_t>(color.blue()) << 16);
}

ColorButton::ColorButton(DialogSeam& dialogs, QWidget* parent)
    : QToolButton(parent), m_dialogs(dialogs) {
    setColorBgr(0);
    connect(this, &QToolButton::clicked, this, &ColorButton::pickColor);
}

void ColorButton::setColorBgr(std::uint32_t color) {
    m_color = color & 0xFFFFFF;
    QPixmap swatch(kSwatchSize, kSwatchSize);
    swatch.fill(colorFromBgr(m_color));
    QPainter painter(&swatch);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, kSwatchSize - 1, kSwatchSize - 1);
    setIcon(QIcon(swatch));
}

void ColorButton::pickColor() {
    const auto chosen = m_dialogs.chooseColor(this, colorFromBgr(m_color));
    if (!chosen || bgrFromColor(*chosen) == m_color) return;
    setColorBgr(bgrFromColor(*chosen));
    emit colorClicked();
}

}  // namespace vantoro
