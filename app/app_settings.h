// What the window keeps from one run to the next, in one INI file: the
// recent-file list (group "Path", one entry per position "0" to "9": a text,
// or its bytes where the name is not UTF-8) and the
// window's own layout (group "Window"). Everything else lasts until the
// program ends.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class QSettings;

namespace vantoro {

// The window's size and splitters, and whether the tool bar and the status
// bar show. Empty byte arrays mean "as designed".
struct WindowLayout {
    QByteArray geometry;
    QByteArray browserSplitter;  // drive box and directory list over the file list
    QByteArray gridSplitter;     // browser, grid, view
    bool toolBarVisible = true;
    bool statusBarVisible = true;
};

class AppSettings {
public:
    // `filePath` empty: the user's configuration folder, organisation
    // "Dovik", application "Vantoro". Otherwise the INI file at `filePath`.
    explicit AppSettings(const QString& filePath = QString());
    ~AppSettings();
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    // The texts at positions "0" to "9" of group "Path", a missing value as
    // an empty text.
    std::vector<std::string> recentFileValues() const;
    // Writes values[n] at position n; positions past the end keep what they
    // hold from earlier runs.
    void storeRecentFileValues(const std::vector<std::string>& values);

    WindowLayout windowLayout() const;
    void storeWindowLayout(const WindowLayout& layout);

    // Writes pending changes to the file now; a file that cannot be written
    // loses them without a message.
    void sync();

    QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};

}  // namespace vantoro
