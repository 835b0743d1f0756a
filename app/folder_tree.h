// The browser's folder list: the folders below one root (a mounted volume),
// listed by their bytes as the file list is (app/folder_files.h), since
// QFileSystemModel leaves out a folder whose name is not UTF-8. A folder's
// sub-folders are read when the list first needs them and read again when
// the folder changes (refresh()). Names beginning with "." are left out.
#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vantoro {

class FolderTree final : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit FolderTree(QObject* parent = nullptr);
    ~FolderTree() override;

    // Shows the folders below `root` (a held name, app/file_name.h); the
    // same root again changes nothing.
    void setRoot(const QString& root);
    // The row of the folder `path` (a held name), its folders above read as
    // needed; invalid when it is not below the root or not there.
    QModelIndex indexOf(const QString& path);
    // The held name of a row's folder.
    QString filePath(const QModelIndex& index) const;
    // Reads again every folder already read whose contents changed.
    void refresh();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOfNode(Node* node) const;
    void readChildren(Node& node);

    std::unique_ptr<Node> m_root;
};

}  // namespace vantoro
