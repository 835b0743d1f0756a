#include "app/folder_files.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>
#include <system_error>

#include "app/file_name.h"

namespace vantoro {
namespace {

namespace fs = std::filesystem;

fs::file_time_type changedAt(const QString& folder) {
    std::error_code error;
    const auto at = fs::last_write_time(fs::path(nameBytes(folder)), error);
    return error ? fs::file_time_type{} : at;
}

}  // namespace

FolderFiles::FolderFiles(const QStringList& masks, QObject* parent) : QAbstractListModel(parent) {
    for (const QString& mask : masks) {
        m_masks.emplace_back(QRegularExpression::wildcardToRegularExpression(mask),
                             QRegularExpression::CaseInsensitiveOption);
    }
}

bool FolderFiles::matches(const QString& shown) const {
    return std::ranges::any_of(
        m_masks, [&](const QRegularExpression& mask) { return mask.match(shown).hasMatch(); });
}

// The names are matched and ordered as they read: ASCII extensions read the
// same in every encoding, and the order is the one a person sees.
std::vector<FolderFiles::Entry> FolderFiles::readFolder() const {
    std::vector<Entry> entries;
    std::error_code error;
    const fs::path folder(nameBytes(m_folder));
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code kindError;
        if (name.starts_with('.') || !it->is_regular_file(kindError)) continue;
        QString shown = displayName(nameString(name));
        if (matches(shown)) entries.push_back({std::move(name), std::move(shown)});
    }
    std::ranges::sort(entries, [](const Entry& a, const Entry& b) {
        const int order = a.shown.compare(b.shown, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return entries;
}

void FolderFiles::setFolder(const QString& folder) {
    beginResetModel();
    m_folder = folder;
    m_listedAt = changedAt(m_folder);
    m_entries = readFolder();
    endResetModel();
}

void FolderFiles::refresh() {
    const auto at = changedAt(m_folder);
    if (at == m_listedAt) return;
    m_listedAt = at;
    std::vector<Entry> entries = readFolder();
    const auto sameNames = [](const Entry& a, const Entry& b) { return a.name == b.name; };
    if (std::ranges::equal(entries, m_entries, sameNames)) return;
    // A new layout rather than a reset, so the list keeps its selected file
    // (and does not open it again) when other files come or go.
    emit layoutAboutToBeChanged();
    for (const QModelIndex& kept : persistentIndexList()) {
        const std::string& name = m_entries[static_cast<std::size_t>(kept.row())].name;
        const auto found = std::ranges::find(entries, name, &Entry::name);
        changePersistentIndex(kept, found == entries.end()
                                        ? QModelIndex()
                                        : index(static_cast<int>(found - entries.begin())));
    }
    m_entries = std::move(entries);
    emit layoutChanged();
}

QModelIndex FolderFiles::indexOf(const QString& fileName) const {
    const std::string name = nameBytes(fileName);
    const auto found = std::ranges::find(m_entries, name, &Entry::name);
    if (found == m_entries.end()) return QModelIndex();
    return index(static_cast<int>(found - m_entries.begin()));
}

QString FolderFiles::filePath(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= rowCount()) return QString();
    const fs::path path =
        fs::path(nameBytes(m_folder)) / m_entries[static_cast<std::size_t>(index.row())].name;
    return nameString(path.string());
}

int FolderFiles::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant FolderFiles::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return QVariant();
    const Entry& entry = m_entries[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return entry.shown;
        case Qt::DecorationRole:
            return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
        default:
            return QVariant();
    }
}

}  // namespace vantoro
