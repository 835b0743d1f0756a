// The file-browser panel `pnl1`: the drive box `drvcbb1` (mounted volumes)
// drives the directory list `dirlst1`, which drives the masked file list
// `fllst1`; a splitter moves the border between the two lists. All three
// start at the process's current directory. Masks compare without case.
// Folders and files are held names (app/file_name.h): a name that is not
// UTF-8 keeps its bytes, and both lists show it as it reads.
#pragma once

#include <QModelIndex>
#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QListView;
class QSplitter;
class QTreeView;

namespace vantoro {

class FolderFiles;
class FolderTree;

// The archive files the browser lists.
inline constexpr char kBrowserFileMask[] = "*.WIL;*.WZL;*.MIZ;*.PAK";

class FileBrowser : public QWidget {
    Q_OBJECT

public:
    explicit FileBrowser(QWidget* parent = nullptr);

    // Shows `path` in all three controls.
    void setDirectory(const QString& path);
    QString directory() const;

    // Makes `fileName` (in the current directory) the file list's selected
    // entry, as a click would; false when the list does not show it.
    bool selectFile(const QString& fileName);
    // Full path of the file list's selected entry, or empty.
    QString currentFilePath() const;

    QComboBox* driveBox() const { return m_drives; }
    QTreeView* directoryList() const { return m_directories; }
    QListView* fileList() const { return m_files; }
    QSplitter* splitter() const { return m_splitter; }
    // The folders and the files the lists show.
    FolderTree* directoryModel() const { return m_directoryModel; }
    FolderFiles* fileModel() const { return m_fileModel; }

signals:
    // The file list's selected entry changed to a valid one, or the selected
    // entry was clicked again.
    void fileChosen();

private:
    void fillDrives();
    void driveChanged(int index);
    void directoryChanged(const QModelIndex& current);
    void fileChanged(const QModelIndex& current);
    void fileClicked(const QModelIndex& index);
    void showFilesOf(const QString& path);

    QComboBox* m_drives;
    QTreeView* m_directories;
    QListView* m_files;
    QSplitter* m_splitter;
    FolderTree* m_directoryModel;
    FolderFiles* m_fileModel;
    bool m_changedByPress = false;
};

// "*.A;*.B" as a list of masks.
QStringList splitFileMask(const QString& mask);

}  // namespace vantoro
