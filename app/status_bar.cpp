#include "app/status_bar.h"

#include <QEvent>
#include <QLabel>
#include <QStatusBar>
#include <algorithm>

#include "archive/archive_kind.h"

namespace vantoro {
namespace {

// Room beside the text inside the sunken frame.
constexpr int kTextPadding = 6;

// A panel that refits its width whenever its font changes.
class StatusPanel final : public QLabel {
public:
    StatusPanel(QWidget* parent, int designWidth, QStringList widest, bool stretches)
        : QLabel(parent),
          m_designWidth(designWidth),
          m_widest(std::move(widest)),
          m_stretches(stretches) {
        setFrameShape(QFrame::Panel);
        setFrameShadow(QFrame::Sunken);
        fit();
    }

protected:
    void changeEvent(QEvent* event) override {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange) fit();
    }

private:
    // The last panel reaches to the bar's right end, as status bars draw
    // their last part; the others keep their widths.
    void fit() {
        int width = m_designWidth;
        for (const QString& text : m_widest) {
            width = std::max(width, fontMetrics().horizontalAdvance(text) + 2 * frameWidth() +
                                        2 * margin() + kTextPadding);
        }
        if (m_stretches) {
            setMinimumWidth(width);
        } else {
            setFixedWidth(width);
        }
    }

    int m_designWidth;
    QStringList m_widest;
    bool m_stretches;
};

}  // namespace

std::array<QStringList, kStatusPanelCount> widestStatusTexts() {
    QStringList formats;
    for (const ArchiveKindInfo& kind : archiveKinds()) {
        // Every name with the longest of the version suffixes some names carry.
        formats << QStringLiteral("格式: %1(16位)")
                       .arg(QString::fromUtf8(kind.formatName.data(),
                                              static_cast<qsizetype>(kind.formatName.size())));
    }
    formats << QString::fromStdString(archiveFormatText(nullptr));
    QStringList pixelFormats;
    for (std::int16_t format = -1; format <= 4; ++format) {
        pixelFormats << QString::fromStdString(pixelFormatText(format));
    }
    // Indexes of up to ten million entries; sizes up to the largest image
    // an archive gives (4095); offsets as their 16-bit fields hold them;
    // alpha 0..255; the dragged position as far as dragging takes it.
    return {QStringList{QStringLiteral("编号: 8888888/8888888")},
            formats,
            QStringList{QStringLiteral("规格: 8888 * 8888")},
            QStringList{QStringLiteral("坐标X: -88888")},
            QStringList{QStringLiteral("坐标Y: -88888")},
            pixelFormats,
            QStringList{QStringLiteral("透明度: 888")},
            QStringList{QStringLiteral("测试: (-888,-888)")}};
}

StatusPanels::StatusPanels(QStatusBar* bar) {
    const auto widest = widestStatusTexts();
    for (std::size_t i = 0; i < kStatusPanelCount; ++i) {
        const bool last = i + 1 == kStatusPanelCount;
        auto* panel = new StatusPanel(bar, kStatusPanelWidths[i], widest[i], last);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
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
