// The browser's masked file list: the files of one folder whose names match
// the masks, listed by their bytes. QFileSystemModel cannot list a name that
// is not UTF-8 (it decodes it with U+FFFD and then finds no such file), so
// the list reads the folder itself and shows each name as it reads
// (app/file_name.h). Names beginning with "." are left out; the list
// follows the folder's changes when refresh() sees them.
#pragma once

#include <QAbstractListModel>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <string>
#include <vector>

namespace vantoro {

class FolderFiles final : public QAbstractListModel {
    Q_OBJECT

public:
    // `masks` such as "*.WIL", compared without case.
    FolderFiles(const QStringList& masks, QObject* parent = nullptr);

    // Lists `folder` (a held name).
    void setFolder(const QString& folder);
    QString folder() const { return m_folder; }
    // Lists the folder again when it changed since it was last listed.
    void refresh();

    // The row of `fileName` (a held name, without folder); invalid when the
    // list does not show it.
    QModelIndex indexOf(const QString& fileName) const;
    // The held full name of a row; empty for an invalid index.
    QString filePath(const QModelIndex& index) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    struct Entry {
        std::string name;  // the bytes
        QString shown;
    };
    std::vector<Entry> readFolder() const;
    bool matches(const QString& shown) const;

    QString m_folder;
    std::vector<QRegularExpression> m_masks;
    std::vector<Entry> m_entries;
    std::filesystem::file_time_type m_listedAt{};
};

}  // namespace vantoro
