#include "app/file_browser.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QListView>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>
#include <utility>

namespace vantoro {
namespace {

constexpr int kPanelWidth = 167;
constexpr int kDirectoryListHeight = 97;

// The mounted volume holding `path`: the longest root that is a prefix of it.
int driveOf(const QComboBox& drives, const QString& path) {
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < drives.count(); ++i) {
        const QString root = drives.itemData(i).toString();
        const bool holds =
            path == root ||
            path.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

// The file system model shows every folder it was once asked for (a folder
// that was the file list's root stays in its parent's rows, whatever the
// filter says). The file list keeps only files, and the folders above the
// one shown, without which the list would have no root.
class FilesOnly final : public QSortFilterProxyModel {
public:
    FilesOnly(QFileSystemModel* files, QObject* parent)
        : QSortFilterProxyModel(parent), m_files(files) {
        setSourceModel(files);
        connect(files, &QFileSystemModel::rootPathChanged, this, [this] { invalidateFilter(); });
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QModelIndex index = m_files->index(row, 0, parent);
        if (!m_files->isDir(index)) return true;
        const QString folder = m_files->filePath(index);
        const QString root = m_files->rootPath();
        return root == folder ||
               root.startsWith(folder.endsWith(QLatin1Char('/')) ? folder
                                                                 : folder + QLatin1Char('/'));
    }

private:
    QFileSystemModel* m_files;
};

}  // namespace

QStringList splitFileMask(const QString& mask) {
    QStringList masks = mask.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& one : masks) one = one.trimmed();
    return masks;
}

FileBrowser::FileBrowser(QWidget* parent)
    : QWidget(parent),
      m_drives(new QComboBox(this)),
      m_directories(new QTreeView(this)),
      m_files(new QListView(this)),
      m_splitter(new QSplitter(Qt::Vertical, this)),
      m_directoryModel(new QFileSystemModel(this)),
      m_fileModel(new QFileSystemModel(this)),
      m_filesOnly(new FilesOnly(m_fileModel, this)) {
    setObjectName(QStringLiteral("pnl1"));
    m_drives->setObjectName(QStringLiteral("drvcbb1"));
    m_directories->setObjectName(QStringLiteral("dirlst1"));
    m_files->setObjectName(QStringLiteral("fllst1"));
    resize(kPanelWidth, height());

    m_directoryModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_directories->setModel(m_directoryModel);
    m_directories->setHeaderHidden(true);
    for (int column = 1; column < m_directoryModel->columnCount(); ++column) {
        m_directories->hideColumn(column);
    }

    // Without QDir::CaseSensitive the model compares masks without case.
    m_fileModel->setFilter(QDir::Files);
    m_fileModel->setNameFilters(splitFileMask(QString::fromLatin1(kBrowserFileMask)));
    m_fileModel->setNameFilterDisables(false);
    m_files->setModel(m_filesOnly);

    m_splitter->addWidget(m_directories);
    m_splitter->addWidget(m_files);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setSizes({kDirectoryListHeight, 4 * kDirectoryListHeight});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_drives);
    layout->addWidget(m_splitter, 1);

    fillDrives();
    connect(m_drives, &QComboBox::activated, this, &FileBrowser::driveChanged);
    connect(m_directories->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FileBrowser::directoryChanged);
    connect(m_files->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FileBrowser::fileChanged);
    connect(m_files, &QListView::clicked, this, &FileBrowser::fileClicked);
    connect(m_directoryModel, &QFileSystemModel::directoryLoaded, this,
            &FileBrowser::keepDirectoryInView);
    setDirectory(QDir::currentPath());
}

void FileBrowser::fillDrives() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady()) roots << volume.rootPath();
    }
    if (!roots.contains(QStringLiteral("/"))) roots.prepend(QStringLiteral("/"));
    roots.sort();
    roots.removeDuplicates();
    for (const QString& root : roots) m_drives->addItem(root, root);
}

void FileBrowser::setDirectory(const QString& path) {
    const QString directory = QDir(path).absolutePath();
    const int drive = driveOf(*m_drives, directory);
    const QString root = drive >= 0 ? m_drives->itemData(drive).toString() : QStringLiteral("/");
    {
        const QSignalBlocker blockDrives(m_drives);
        m_drives->setCurrentIndex(drive);
    }
    m_directories->setRootIndex(m_directoryModel->setRootPath(root));
    const QModelIndex current = m_directoryModel->index(directory);
    {
        const QSignalBlocker blockDirectories(m_directories->selectionModel());
        m_directories->setCurrentIndex(current);
    }
    m_directories->scrollTo(current);
    showFilesOf(directory);
}

// The folders above the current one fill in the background; each that
// arrives moves the current one, so it is scrolled into view again.
void FileBrowser::keepDirectoryInView(const QString& loaded) {
    const QModelIndex current = m_directories->currentIndex();
    if (current.isValid() && directory().startsWith(loaded)) m_directories->scrollTo(current);
}

QString FileBrowser::directory() const {
    return m_fileModel->rootPath();
}

void FileBrowser::driveChanged(int index) {
    if (index >= 0) setDirectory(m_drives->itemData(index).toString());
}

void FileBrowser::directoryChanged(const QModelIndex& current) {
    if (current.isValid()) showFilesOf(m_directoryModel->filePath(current));
}

QModelIndex FileBrowser::shown(const QModelIndex& file) const {
    return m_filesOnly->mapFromSource(file);
}

QModelIndex FileBrowser::fileOf(const QModelIndex& shown) const {
    return m_filesOnly->mapToSource(shown);
}

void FileBrowser::showFilesOf(const QString& path) {
    m_files->setCurrentIndex(QModelIndex());
    const QModelIndex root = m_fileModel->setRootPath(path);
    m_files->setRootIndex(shown(root));
}

bool FileBrowser::selectFile(const QString& fileName) {
    const QModelIndex index = shown(m_fileModel->index(QDir(directory()).filePath(fileName)));
    if (!index.isValid() || index.parent() != m_files->rootIndex()) return false;
    m_files->setCurrentIndex(index);
    return true;
}

QString FileBrowser::currentFilePath() const {
    const QModelIndex current = fileOf(m_files->currentIndex());
    if (!current.isValid() || m_fileModel->isDir(current)) return QString();
    return m_fileModel->filePath(current);
}

// A mouse press selects the entry before the click arrives; the click then
// must not report it a second time.
void FileBrowser::fileChanged(const QModelIndex& current) {
    if (!current.isValid() || m_fileModel->isDir(fileOf(current))) return;
    m_changedByPress = QGuiApplication::mouseButtons() != Qt::NoButton;
    emit fileChosen();
}

void FileBrowser::fileClicked(const QModelIndex& index) {
    if (std::exchange(m_changedByPress, false)) return;
    if (index.isValid() && index == m_files->currentIndex()) emit fileChosen();
}

}  // namespace vantoro
