// The main window's status bar: eight panels in a QStatusBar, filled with the
// texts worked out in shell/status_bar_text.h. Each keeps its width while the
// window has room for all of them; in a narrower window they shrink and elide
// their texts, showing the whole text as a tooltip.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

#include "shell/status_bar_text.h"

class QStatusBar;

namespace vantoro {

class StatusPanel;

// The widest texts each panel can show (longest format names, the widest
// numbers their fields hold), in panel order. Where the window has room, a
// panel is never narrower than its design width, nor than any of these in
// its current font.
std::array<QStringList, kStatusPanelCount> widestStatusTexts();

class StatusPanels {
public:
    // Adds the eight panels to `bar`, left to right, at their widths.
    explicit StatusPanels(QStatusBar* bar);

    void setTexts(const StatusBarTexts& texts);
    // The panel's whole text, also while it shows it elided.
    QString text(std::size_t panel) const;

private:
    std::array<StatusPanel*, kStatusPanelCount> m_panels{};
};

}  // namespace vantoro
