// The main window's status bar: eight fixed-width panels in a QStatusBar,
// filled with the texts worked out in shell/status_bar_text.h.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

#include "shell/status_bar_text.h"

class QLabel;
class QStatusBar;

namespace vantoro {

// The widest texts each panel can show (longest format names, the widest
// numbers their fields hold), in panel order. A panel is never narrower than
// its design width, nor than any of these in its current font.
std::array<QStringList, kStatusPanelCount> widestStatusTexts();

class StatusPanels {
public:
    // Adds the eight panels to `bar`, left to right, at their widths.
    explicit StatusPanels(QStatusBar* bar);

    void setTexts(const StatusBarTexts& texts);
    QString text(std::size_t panel) const;

private:
    std::array<QLabel*, kStatusPanelCount> m_panels{};
};

}  // namespace vantoro
