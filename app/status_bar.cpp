#include "app/status_bar.h"

#include <QEvent>
#include <QLabel>
#include <QStatusBar>
#include <algorithm>

#include "archive/archive_kind.h"

namespace vantoro {
namespace {

// Room beside the text inside the sunken frame; the text starts after half of it.
constexpr int kTextPadding = 6;
// What a panel keeps when the bar has less room than the panels want: the
// ellipsis of an elided text and its frame.
constexpr int kNarrowestText = 24;

}  // namespace

// A panel as wide as its widest text when the bar has room for it, narrower
// when not: then its text is elided and the whole text is its tooltip. It
// refits whenever its font changes.
class StatusPanel final : public QLabel {
public:
    StatusPanel(QWidget* parent, int designWidth, QStringList widest)
        : QLabel(parent), m_designWidth(designWidth), m_widest(std::move(widest)) {
        setFrameShape(QFrame::Panel);
        setFrameShadow(QFrame::Sunken);
        setIndent(kTextPadding / 2);
        setMinimumWidth(kNarrowestText);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        fit();
    }

    const QString& fullText() const { return m_fullText; }
    void setFullText(const QString& text) {
        m_fullText = text;
        showFitting();
    }

    QSize sizeHint() const override { return {m_fitWidth, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override {
        return {kNarrowestText, QLabel::minimumSizeHint().height()};
    }

protected:
    void changeEvent(QEvent* event) override {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange) fit();
    }
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        showFitting();
    }

private:
    void fit() {
        int width = m_designWidth;
        for (const QString& text : m_widest) {
            width = std::max(width, fontMetrics().horizontalAdvance(text) + 2 * frameWidth() +
                                        2 * margin() + kTextPadding);
        }
        m_fitWidth = width;
        updateGeometry();
        showFitting();
    }

    void showFitting() {
        const int room = contentsRect().width() - 2 * margin() - indent();
        const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideRight, room);
        QLabel::setText(shown);
        setToolTip(shown == m_fullText ? QString() : m_fullText);
    }

    int m_designWidth;
    QStringList m_widest;
    int m_fitWidth = 0;
    QString m_fullText;
};

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
        // The last panel reaches to the bar's right end, as status bars draw
        // their last part; the others keep their widths while there is room.
        const bool last = i + 1 == kStatusPanelCount;
        auto* panel = new StatusPanel(bar, kStatusPanelWidths[i], widest[i]);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        bar->addWidget(panel, last ? 1 : 0);
        m_panels[i] = panel;
    }
}

void StatusPanels::setTexts(const StatusBarTexts& texts) {
    for (std::size_t i = 0; i < kStatusPanelCount; ++i) {
        m_panels[i]->setFullText(QString::fromStdString(texts[i]));
    }
}

QString StatusPanels::text(std::size_t panel) const {
    return panel < kStatusPanelCount ? m_panels[panel]->fullText() : QString();
}

}  // namespace vantoro
