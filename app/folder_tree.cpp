#include "app/folder_tree.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>
#include <system_error>

#include "app/file_name.h"

namespace vantoro {
namespace {

namespace fs = std::filesystem;

fs::file_time_type changedAt(const fs::path& folder) {
    std::error_code error;
    const auto at = fs::last_write_time(folder, error);
    return error ? fs::file_time_type{} : at;
}

}  // namespace

struct FolderTree::Node {
    fs::path path;  // the bytes
    QString shown;
    Node* parent = nullptr;
    int row = 0;
    bool read = false;  // whether `children` holds the sub-folders
    fs::file_time_type readAt{};
    std::vector<std::unique_ptr<Node>> children;

    void renumber() {
        for (std::size_t i = 0; i < children.size(); ++i) children[i]->row = static_cast<int>(i);
    }
};

namespace {

// Sub-folder names of `folder`, ordered as they read.
std::vector<std::pair<std::string, QString>> subFolders(const fs::path& folder) {
    std::vector<std::pair<std::string, QString>> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code kindError;
        if (name.starts_with('.') || !it->is_directory(kindError)) continue;
        QString shown = displayName(nameString(name));
        names.emplace_back(std::move(name), std::move(shown));
    }
    std::ranges::sort(names, [](const auto& a, const auto& b) {
        const int order = a.second.compare(b.second, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.first < b.first;
    });
    return names;
}

}  // namespace

FolderTree::FolderTree(QObject* parent) : QAbstractItemModel(parent), m_root(new Node) {}

FolderTree::~FolderTree() = default;

void FolderTree::setRoot(const QString& root) {
    const fs::path path(nameBytes(root));
    if (m_root->path == path) return;
    beginResetModel();
    m_root = std::make_unique<Node>();
    m_root->path = path;
    endResetModel();
}

FolderTree::Node* FolderTree::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : m_root.get();
}

QModelIndex FolderTree::indexOfNode(Node* node) const {
    return node == m_root.get() ? QModelIndex() : createIndex(node->row, 0, node);
}

// Keeps the nodes of folders still there, with what was read below them:
// the list keeps its selected and expanded folders.
void FolderTree::readChildren(Node& node) {
    const auto names = subFolders(node.path);
    node.readAt = changedAt(node.path);
    const QModelIndex parent = indexOfNode(&node);
    for (std::size_t i = node.children.size(); i-- > 0;) {
        const std::string name = node.children[i]->path.filename().string();
        const bool kept =
            std::ranges::any_of(names, [&](const auto& n) { return n.first == name; });
        if (kept) continue;
        beginRemoveRows(parent, static_cast<int>(i), static_cast<int>(i));
        node.children.erase(node.children.begin() + static_cast<std::ptrdiff_t>(i));
        node.renumber();
        endRemoveRows();
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto& [name, shown] = names[i];
        if (i < node.children.size() && node.children[i]->path.filename().string() == name) {
            continue;
        }
        auto child = std::make_unique<Node>();
        child->path = node.path / name;
        child->shown = shown;
        child->parent = &node;
        beginInsertRows(parent, static_cast<int>(i), static_cast<int>(i));
        node.children.insert(node.children.begin() + static_cast<std::ptrdiff_t>(i),
                             std::move(child));
        node.renumber();
        endInsertRows();
    }
    node.read = true;
}

QModelIndex FolderTree::indexOf(const QString& path) {
    const fs::path wanted(nameBytes(path));
    const fs::path relative = wanted.lexically_relative(m_root->path);
    if (relative.empty() || *relative.begin() == "..") return QModelIndex();
    Node* node = m_root.get();
    for (const fs::path& part : relative) {
        if (part == "." || part.empty()) continue;
        if (!node->read || changedAt(node->path) != node->readAt) readChildren(*node);
        const auto found = std::ranges::find_if(
            node->children, [&](const auto& child) { return child->path.filename() == part; });
        if (found == node->children.end()) return QModelIndex();
        node = found->get();
    }
    return indexOfNode(node);
}

QString FolderTree::filePath(const QModelIndex& index) const {
    return index.isValid() ? nameString(nodeOf(index)->path.string()) : QString();
}

void FolderTree::refresh() {
    std::vector<Node*> pending{m_root.get()};
    while (!pending.empty()) {
        Node* node = pending.back();
        pending.pop_back();
        if (!node->read) continue;
        if (changedAt(node->path) != node->readAt) readChildren(*node);
        for (const auto& child : node->children) pending.push_back(child.get());
    }
}

QModelIndex FolderTree::index(int row, int column, const QModelIndex& parent) const {
    const Node* node = nodeOf(parent);
    if (row < 0 || column != 0 || static_cast<std::size_t>(row) >= node->children.size()) {
        return QModelIndex();
    }
    return createIndex(row, column, node->children[static_cast<std::size_t>(row)].get());
}

QModelIndex FolderTree::parent(const QModelIndex& child) const {
    if (!child.isValid()) return QModelIndex();
    return indexOfNode(nodeOf(child)->parent);
}

int FolderTree::rowCount(const QModelIndex& parent) const {
    return static_cast<int>(nodeOf(parent)->children.size());
}

int FolderTree::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant FolderTree::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return nodeOf(index)->shown;
        case Qt::DecorationRole:
            return QApplication::style()->standardIcon(QStyle::SP_DirIcon);
        default:
            return QVariant();
    }
}

// A folder not yet read shows that it may be opened, as the file manager's
// lists do; reading it settles the question.
bool FolderTree::hasChildren(const QModelIndex& parent) const {
    const Node* node = nodeOf(parent);
    return !node->read || !node->children.empty();
}

bool FolderTree::canFetchMore(const QModelIndex& parent) const {
    return !nodeOf(parent)->read;
}

void FolderTree::fetchMore(const QModelIndex& parent) {
    Node* node = nodeOf(parent);
    if (!node->read) readChildren(*node);
}

}  // namespace vantoro
