#include "app/status_bar.h"

#include <QLabel>
#include <QStatusBar>

namespace vantoro {

StatusPanels::StatusPanels(QStatusBar* bar) {
    for (std::size_t i = 0; i < kStatusPanelCount; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        // The last panel reaches to the bar's right end, as status bars
        // draw their last part; the others keep their widths.
        const bool last = i + 1 == kStatusPanelCount;
        if (last) {
            panel->setMinimumWidth(kStatusPanelWidths[i]);
        } else {
            panel->setFixedWidth(kStatusPanelWidths[i]);
        }
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        bar->addWidget(panel, last ? 1 : 0);
        m_panels[i] = panel;
    }
}

void StatusPanels::setTexts(const StatusBarTexts& texts) {
    for (std::size_t i = 0; i < kStatusPanelCount; ++i) {
        m_panels[i]->setText(QString::fromStdString(texts[i]));
    }
}

QString StatusPanels::text(std::size_t panel) const {
    return panel < kStatusPanelCount ? m_panels[panel]->text() : QString();
}

}  // namespace vantoro
