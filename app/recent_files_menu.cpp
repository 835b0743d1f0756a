#include "app/recent_files_menu.h"

#include <QAction>
#include <QMenu>

#include "app/file_name.h"
#include "io/name_encoding.h"

namespace vantoro {
namespace {

// "&N entry": the first "&" makes N the item's accelerator; any "&" in the
// entry itself is doubled so that the path shows as it is spelled. A name
// that is not UTF-8 shows as GBK.
QString menuText(const RecentMenuItem& item) {
    const QString caption = QString::fromStdString(nameDisplayText(item.caption));
    if (item.hint.empty()) return caption;
    const qsizetype entryStart = caption.indexOf(QLatin1Char(' ')) + 1;
    QString entry = caption.mid(entryStart);
    entry.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return caption.left(entryStart) + entry;
}

}  // namespace

RecentFilesMenu::RecentFilesMenu(QMenu* menu, QObject* parent) : QObject(parent), m_menu(menu) {
    rebuild();
}

void RecentFilesMenu::load(const std::vector<std::string>& stored) {
    m_list = RecentFileList::fromStored(stored);
    rebuild();
}

void RecentFilesMenu::add(const std::string& entry) {
    m_list.add(entry);
    rebuild();
}

// The items are few and change only on open, so the submenu is simply made
// again from the list.
void RecentFilesMenu::rebuild() {
    for (QAction* old : m_menu->actions()) {
        m_menu->removeAction(old);
        old->deleteLater();  // it may be the item whose click is running
    }
    const std::vector<RecentMenuItem> items = m_list.menuItems();
    for (std::size_t position = 0; position < items.size(); ++position) {
        const RecentMenuItem& item = items[position];
        const QString hint = nameString(item.hint);
        auto* action = new QAction(menuText(item), m_menu);
        action->setObjectName(position == 0
                                  ? QStringLiteral("MEMU_FILE_AGOFILE_PATHS")
                                  : QStringLiteral("MEMU_FILE_AGOFILE_PATHS%1").arg(position));
        action->setEnabled(item.enabled);
        action->setData(hint);
        action->setStatusTip(displayName(hint));
        action->setToolTip(displayName(hint));
        connect(action, &QAction::triggered, this, [this, hint] { emit entryClicked(hint); });
        m_menu->addAction(action);
    }
}

}  // namespace vantoro
