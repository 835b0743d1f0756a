// The recent-file submenu under File: one menu item per entry of a
// RecentFileList, caption "&N entry", the entry itself as the item's hint, or
// the disabled "无" while the list is empty.
#pragma once

#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "shell/recent_files.h"

class QMenu;

namespace vantoro {

class RecentFilesMenu : public QObject {
    Q_OBJECT

public:
    explicit RecentFilesMenu(QMenu* menu, QObject* parent = nullptr);

    // The list as stored, texts for positions 0, 1, ...
    void load(const std::vector<std::string>& stored);
    // A new entry on top (see RecentFileList::add).
    void add(const std::string& entry);
    // The texts to store at positions 0, 1, ...
    std::vector<std::string> storedValues() const { return m_list.storedValues(); }

    const RecentFileList& list() const { return m_list; }
    QMenu* menu() const { return m_menu; }

signals:
    // An item was clicked; `hint` is its entry as a held name
    // (app/file_name.h), empty for the placeholder.
    void entryClicked(const QString& hint);

private:
    void rebuild();

    QMenu* m_menu;
    RecentFileList m_list;
};

}  // namespace vantoro
