// A tool-bar colour button: shows its colour; a click opens the colour
// dialog and reports a click only when the colour changed.
#pragma once

#include <QColor>
#include <QToolButton>
#include <cstdint>

namespace vantoro {

class DialogSeam;

// Colours are kept as 0x00BBGGRR: red in the lowest byte.
QColor colorFromBgr(std::uint32_t bgr);
std::uint32_t bgrFromColor(const QColor& color);

class ColorButton : public QToolButton {
    Q_OBJECT

public:
    ColorButton(DialogSeam& dialogs, QWidget* parent = nullptr);

    std::uint32_t colorBgr() const { return m_color; }
    void setColorBgr(std::uint32_t color);

    // What a click does: the dialog, then colorClicked when the colour changed.
    void pickColor();

signals:
    void colorClicked();

private:
    DialogSeam& m_dialogs;
    std::uint32_t m_color = 0;
};

}  // namespace vantoro
