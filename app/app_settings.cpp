#include "app/app_settings.h"

#include <QSettings>

#include "io/name_encoding.h"
#include "shell/recent_files.h"

namespace vantoro {
namespace {

// Every key and its default in one place.
const QString kRecentGroup = QStringLiteral("Path");
const QString kWindowGroup = QStringLiteral("Window");
const QString kGeometryKey = QStringLiteral("Geometry");
const QString kBrowserSplitterKey = QStringLiteral("BrowserSplitter");
const QString kGridSplitterKey = QStringLiteral("GridSplitter");
const QString kToolBarKey = QStringLiteral("ToolBar");
const QString kStatusBarKey = QStringLiteral("StatusBar");

std::unique_ptr<QSettings> openSettings(const QString& filePath) {
    if (filePath.isEmpty()) {
        return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                           QStringLiteral("Dovik"), QStringLiteral("Vantoro"));
    }
    return std::make_unique<QSettings>(filePath, QSettings::IniFormat);
}

}  // namespace

AppSettings::AppSettings(const QString& filePath) : m_settings(openSettings(filePath)) {}

AppSettings::~AppSettings() = default;

std::vector<std::string> AppSettings::recentFileValues() const {
    std::vector<std::string> values;
    m_settings->beginGroup(kRecentGroup);
    for (std::size_t n = 0; n < kMaxRecentFiles; ++n) {
        const QString key = QString::number(n);
        // A text as earlier versions wrote every entry, or the bytes of a
        // name that is not UTF-8; either reads as the entry's bytes.
        values.push_back(m_settings->value(key).toByteArray().toStdString());
    }
    m_settings->endGroup();
    return values;
}

void AppSettings::storeRecentFileValues(const std::vector<std::string>& values) {
    m_settings->beginGroup(kRecentGroup);
    for (std::size_t n = 0; n < values.size(); ++n) {
        const std::string& value = values[n];
        // Text where it is UTF-8, so earlier versions read the file as
        // before; bytes otherwise, which a text would turn into U+FFFD.
        if (isValidUtf8(value)) {
            m_settings->setValue(QString::number(n), QString::fromStdString(value));
        } else {
            m_settings->setValue(QString::number(n), QByteArray::fromStdString(value));
        }
    }
    m_settings->endGroup();
}

WindowLayout AppSettings::windowLayout() const {
    WindowLayout layout;
    m_settings->beginGroup(kWindowGroup);
    layout.geometry = m_settings->value(kGeometryKey).toByteArray();
    layout.browserSplitter = m_settings->value(kBrowserSplitterKey).toByteArray();
    layout.gridSplitter = m_settings->value(kGridSplitterKey).toByteArray();
    layout.toolBarVisible = m_settings->value(kToolBarKey, true).toBool();
    layout.statusBarVisible = m_settings->value(kStatusBarKey, true).toBool();
    m_settings->endGroup();
    return layout;
}

void AppSettings::storeWindowLayout(const WindowLayout& layout) {
    m_settings->beginGroup(kWindowGroup);
    m_settings->setValue(kGeometryKey, layout.geometry);
    m_settings->setValue(kBrowserSplitterKey, layout.browserSplitter);
    m_settings->setValue(kGridSplitterKey, layout.gridSplitter);
    m_settings->setValue(kToolBarKey, layout.toolBarVisible);
    m_settings->setValue(kStatusBarKey, layout.statusBarVisible);
    m_settings->endGroup();
}

void AppSettings::sync() {
    m_settings->sync();
}

QString AppSettings::fileName() const {
    return m_settings->fileName();
}

}  // namespace vantoro
