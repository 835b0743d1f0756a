#include "app/file_browser.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QListView>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <filesystem>
#include <utility>

#include "app/file_name.h"
#include "app/folder_files.h"
#include "app/folder_tree.h"

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

// How often the file list looks whether its folder changed.
constexpr int kRefreshMs = 500;

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
      m_directoryModel(new FolderTree(this)),
      m_fileModel(new FolderFiles(splitFileMask(QString::fromLatin1(kBrowserFileMask)), this)) {
    setObjectName(QStringLiteral("pnl1"));
    m_drives->setObjectName(QStringLiteral("drvcbb1"));
    m_directories->setObjectName(QStringLiteral("dirlst1"));
    m_files->setObjectName(QStringLiteral("fllst1"));
    resize(kPanelWidth, height());

    m_directories->setModel(m_directoryModel);
    m_directories->setHeaderHidden(true);

    m_files->setModel(m_fileModel);
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, m_fileModel, &FolderFiles::refresh);
    connect(refresh, &QTimer::timeout, m_directoryModel, &FolderTree::refresh);
    refresh->start(kRefreshMs);

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
    setDirectory(nameString(std::filesystem::current_path().string()));
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
    const QString directory = absoluteName(path);
    const int drive = driveOf(*m_drives, directory);
    const QString root = drive >= 0 ? m_drives->itemData(drive).toString() : QStringLiteral("/");
    {
        const QSignalBlocker blockDrives(m_drives);
        m_drives->setCurrentIndex(drive);
    }
    m_directoryModel->setRoot(root);
    const QModelIndex current = m_directoryModel->indexOf(directory);
    {
        const QSignalBlocker blockDirectories(m_directories->selectionModel());
        m_directories->setCurrentIndex(current);
    }
    m_directories->scrollTo(current);
    showFilesOf(directory);
}

QString FileBrowser::directory() const {
    return m_fileModel->folder();
}

void FileBrowser::driveChanged(int index) {
    if (index >= 0) setDirectory(m_drives->itemData(index).toString());
}

void FileBrowser::directoryChanged(const QModelIndex& current) {
    if (current.isValid()) showFilesOf(m_directoryModel->filePath(current));
}

void FileBrowser::showFilesOf(const QString& path) {
    m_files->setCurrentIndex(QModelIndex());
    m_fileModel->setFolder(path);
}

bool FileBrowser::selectFile(const QString& fileName) {
    const QModelIndex index = m_fileModel->indexOf(fileName);
    if (!index.isValid()) return false;
    m_files->setCurrentIndex(index);
    return true;
}

QString FileBrowser::currentFilePath() const {
    return m_fileModel->filePath(m_files->currentIndex());
}

// A mouse press selects the entry before the click arrives; the click then
// must not report it a second time.
void FileBrowser::fileChanged(const QModelIndex& current) {
    if (!current.isValid()) return;
    m_changedByPress = QGuiApplication::mouseButtons() != Qt::NoButton;
    emit fileChosen();
}

void FileBrowser::fileClicked(const QModelIndex& index) {
    if (std::exchange(m_changedByPress, false)) return;
    if (index.isValid() && index == m_files->currentIndex()) emit fileChosen();
}

}  // namespace vantoro
