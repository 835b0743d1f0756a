// TFormAdd, the import dialog "导入数据": which files go into the open pack
// and how. It lives as long as the main window and keeps its list and
// options between openings; the import itself is edit/import_entries.h.
//
// Its code is split by job:
//   form_add.cpp       the controls and UpdateControls
//   form_add_list.cpp  the file list: its buttons and dropped files
//   form_add_run.cpp   showing the dialog and Execute
#pragma once

#include <QDialog>
#include <QListWidget>
#include <cstdint>
#include <vector>

#include "edit/import_entries.h"
#include "edit/import_sources.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vantoro {

class ColorButton;
class TFormMain;

// The file list: files and folders dropped onto it are added as "文件" and
// "目录" add them.
class ImportListWidget : public QListWidget {
    Q_OBJECT

public:
    explicit ImportListWidget(QWidget* parent = nullptr);

signals:
    void pathsDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class TFormAdd : public QDialog {
    Q_OBJECT

public:
    explicit TFormAdd(TFormMain& main);
    ~TFormAdd() override;

    void ShowImportDialog();
    void UpdateControls(bool busy);
    bool busy() const { return m_busy; }
    // The list's records in the order of its lines.
    const ImportFileList& fileList() const { return m_files; }
    // The request the controls describe, before normalizedImport.
    ImportRequest importRequest() const;

    // "导入内容"
    QRadioButton *ImageStream = nullptr, *WavaStream = nullptr, *DataStream = nullptr,
                 *NoneStream = nullptr;
    // "文件列表"
    QGroupBox* GroupBox2 = nullptr;
    ImportListWidget* File_List = nullptr;
    QPushButton *File_Add = nullptr, *File_AddDIR = nullptr, *File_AddDIRALL = nullptr,
                *File_Begin = nullptr, *File_Del = nullptr, *File_Clear = nullptr,
                *File_Stop = nullptr;
    // "导入方式" and "编号"
    QRadioButton *Mode_after = nullptr, *Mode_Insert = nullptr, *Mode_Bestrow = nullptr;
    QSpinBox *Index_Start = nullptr, *Index_End = nullptr;
    QLabel *Index_StartLabel = nullptr, *Index_EndLabel = nullptr;
    // The four option groups in one place.
    QGroupBox *NoneOption = nullptr, *WavaOption = nullptr, *DataOption = nullptr,
              *ImageOption = nullptr;
    QSpinBox* None_Count = nullptr;
    QCheckBox* Wava_ZIP = nullptr;
    QSpinBox* Wava_ZIP_Level = nullptr;
    QLabel* Wava_ZIP_LevelLabel = nullptr;
    QCheckBox* Data_ZIP = nullptr;
    QSpinBox* Data_ZIP_Level = nullptr;
    QLabel* Data_ZIP_LevelLabel = nullptr;
    QRadioButton *Image_ImgAndOffset = nullptr, *Image_Img = nullptr, *Image_Offset = nullptr;
    QCheckBox *Image_Alpha = nullptr, *Image_RLE = nullptr, *Image_Cut = nullptr,
              *Image_Window = nullptr, *Image_Format_byFile = nullptr;
    ColorButton* Image_TColor = nullptr;
    QLabel* Image_TColorLabel = nullptr;
    QComboBox *Image_Blend = nullptr, *Image_Format = nullptr;
    QLabel *Image_BlendLabel = nullptr, *Image_FormatLabel = nullptr;
    // "坐标获得方式"
    QRadioButton *Image_Offset_File = nullptr, *Image_Offset_App = nullptr;
    QLineEdit* Image_Offset_AppData = nullptr;
    QProgressBar* ProgressBar = nullptr;

public slots:
    void ImageStreamClick();
    void Image_BlendChange();
    void File_AddClick();
    void File_AddDIRClick();
    void File_AddDIRALLClick();
    void File_DelClick();
    void File_ClearClick();
    void File_BeginClick();
    // "停止": the run ends after the file it is working on.
    void File_StopClick();
    // Dropped files join as chosen files, dropped folders as "目录" adds them.
    void addDroppedPaths(const QStringList& paths);

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    QWidget* createContentGroup();
    QWidget* createListGroup();
    QWidget* createModeGroups();
    QWidget* createOptionGroups();
    QGroupBox* createImageOption();
    void connectControls();
    void FormCreate();

    void updateImageOptions(bool busy);
    void addLines(std::vector<ImportListLine> lines);
    void showList();
    template <typename Listing>
    void buildList(Listing&& listing);
    int pixelFormatIndex() const;

    TFormMain& m_main;
    ImportFileList m_files;
    bool m_busy = false;
    bool m_running = false;        // a run through the files goes on
    bool m_stopRequested = false;  // "停止" was pressed during it
};

}  // namespace vantoro
