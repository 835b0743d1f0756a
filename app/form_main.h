// TFormMain: the program's one main window. It owns the one open archive
// (CurrentArchive) and the selection state beside it, lays out the file
// browser, the thumbnail grid, the image view and the status bar, runs the
// 10 ms frame tick, and is the only place where an archive is opened or
// closed.
//
// The window's handlers keep the names of its controls and events
// (MEMU_FILE_OPEN_DIYClick, fllst1Click, ...). Its code is split by job:
//   form_main.cpp         start-up, shutdown, opening and closing, commands
//   form_main_layout.cpp  the widgets
//   form_main_menus.cpp   menus, tool bar, shortcuts and their connections
//   form_main_grid.cpp    grid, selection, navigation, auto play, frame tick
//   form_main_view.cpp    the view's controls and the device hooks
//   form_main_desktop.cpp dropped files, the clipboard, the Open dialog's folder
//   form_main_edit.cpp    the editing dialogs, New and the pack password
//   form_main_disk.cpp    another program's changes to the open archive's files
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "pixels/dx9_textures.h"
#include "pixels/std_palette.h"
#include "render/image_view.h"
#include "shell/archive_disk_state.h"
#include "shell/archive_session.h"
#include "shell/entry_selection.h"
#include "shell/grid_navigation.h"

class QAction;
class QActionGroup;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QPainter;
class QRect;
class QMenu;
class QScrollArea;
class QSlider;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolBar;

namespace vantoro {

class AppSettings;
class ColorButton;
class DrawPanel;
class TDX9Device;
class TWMMyImageImages;
class Status;
class DialogSeam;
class DrawGrid;
class FileBrowser;
class MusicPanel;
class RecentFilesMenu;
class StatusPanels;
class TFormAdd;
class TFormDel;
class TFormOut;
class ThumbnailPainter;

struct FormMainOptions {
    DialogSeam* dialogs = nullptr;  // required; outlives the window
    TickClock clock;                // the auto-play clock; empty: tickCount
    QString settingsFile;           // empty: the user's configuration folder
    QString startDirectory;         // the browser's; empty: the current directory
};

// The picture formats the view's background accepts, as the user reads them.
QStringList backgroundPictureFormats();

// "Vantoro " followed by the program's version, at most 24 characters of it.
QString appTitleFor(const QString& version);

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TFormMain(const FormMainOptions& options, QWidget* parent = nullptr);
    ~TFormMain() override;

    // --- Program-wide state, read by the view, the status bar and the editing
    // dialogs. -------------------------------------------------------------
    // The open archive, its selection, the pack password and the last kind
    // opened, kept outside the window; the names below read them.
    ArchiveSession session;
    std::unique_ptr<TWMBaseImages>& CurrentArchive = session.archive;
    // CurrentIndex, CurrentImageInfo, CurrentPixelFormat, offsets
    SelectionState& selection = session.selection;
    TWMImagesKind& LastOpenKind = session.lastKind;
    std::string& PackPassword = session.password;
    QString AppTitle;
    std::array<std::uint8_t, kStdPaletteBytes> StdPalette{};
    QImage DataFileIcon, WaveFileIcon, Mp3FileIcon;
    int BlendCustomIndex = -1;
    bool FrameTickBusy = false;
    std::optional<std::vector<std::uint8_t>> SoundStream;  // the selected sound entry's bytes

    // The view: BackColor, BlendColor, FBlendCode, FZoom, FUserX, FUserY,
    // the drag state, the selected image's offsets, its three textures
    // (ImageTexture receives the selection) and the drawing of a frame.
    ImageView View;
    // The rendering device, drawing into PanelDraw; made by FormCreate, gone
    // with the window. Declared after View, whose handlers it calls.
    std::unique_ptr<TDX9Device> MyDevice;

    // --- Operations. ------------------------------------------------------
    void warnOfUnfinishedEdit();
    void offerJournalRecovery();
    void OpenArchive(const QString& path, TWMImagesKind kind);
    void OpenWithDialog(TWMImagesKind kind);
    // Opens the archive again when another program has changed its files
    // since it was opened, keeping the selected index where it still
    // exists; waits while another program edits the pack. Asked every
    // second.
    void checkArchiveOnDisk();
    void UpdateCommandState();
    void UpdateStatusBar();
    bool SelectImage(std::int32_t index);
    void RefreshGridRows();
    void LoadRecentFiles();
    void AddRecentFile(const std::string& entry);
    void SaveRecentFiles();
    // Opens `path` as the kind its extension gives, as a pick in the file
    // browser does (also for a file named on the command line); false for an
    // extension without a kind.
    bool openPicked(const QString& path);
    bool autoPlayOn() const { return m_autoPlay.isOn(); }
    std::uint32_t nextAutoTick() const { return m_autoPlay.FNextAutoTick; }
    DialogSeam& dialogs() const { return *m_dialogs; }
    StatusPanels& statusPanels() const { return *m_statusPanels; }
    RecentFilesMenu& recentFiles() const { return *m_recentFiles; }

    // --- Controls. ---------------------------------------------------------
    QToolBar* StandardToolBar = nullptr;
    FileBrowser* pnl1 = nullptr;
    vantoro::DrawGrid* DrawGrid = nullptr;
    QSplitter* GridSplitter = nullptr;
    QWidget* Panel1 = nullptr;
    QWidget* PanelMusic = nullptr;
    MusicPanel* Music = nullptr;  // PanelMusic's controls and the sound they play
    QScrollArea* ScrollBox = nullptr;
    DrawPanel* PanelDraw = nullptr;  // the device's window
    QStatusBar* StatusBar = nullptr;
    QTimer* Timer = nullptr;
    QTimer* TimerMusic = nullptr;

    // The Open menu holds one command per kind of the kind table, named as
    // the table names it (MEMU_FILE_OPEN_MIR3 in its submenu N3M1 ...).
    QMenu *MEMU_FILE = nullptr, *MEMU_FILE_OPEN = nullptr, *MEMU_FILE_AGOFILE = nullptr,
          *MEMU_WORK_ = nullptr, *MENU_VIER_ = nullptr, *MENU_OPTION = nullptr,
          *MENU_HELP = nullptr;
    QAction *MEMU_FILE_NEW = nullptr, *MEMU_FILE_CLOSE = nullptr, *MEMU_FILE_EXIT = nullptr;
    QAction *MEMU_WORK_IMAGE_GOTO = nullptr, *MEMU_WORK_AUTOIMAGE = nullptr,
            *MEMU_WORK_FRONT = nullptr, *MEMU_WORK_NEXT = nullptr, *MEMU_WORK_ADDIMAGE = nullptr,
            *MEMU_WORK_PUTIMAGE = nullptr, *MEMU_WORK_DELIMAGE = nullptr,
            *MEMU_WORK_PROTECT = nullptr, *MEMU_WORK_REKEY = nullptr,
            *MEMU_WORK_UNPROTECT = nullptr;
    QAction *MENU_VIER_TOOLBAR = nullptr, *MENU_VIER_STATUSBAR = nullptr;
    QAction *MENU_OPTION_BACKCOLOR = nullptr, *MENU_OPTION_BLENDCOLOR = nullptr,
            *MENU_OPTION_LEVEL = nullptr, *MENU_OPTION_UPRIGHTNESS = nullptr,
            *MENU_OPTION_BACKIMAGE = nullptr, *pak1 = nullptr, *MENU_HELP_ABOUT = nullptr;
    QAction *Tool_New = nullptr, *OpenButton = nullptr, *CloseButton = nullptr,
            *Tool_Image_Add = nullptr, *Tool_Image_Put = nullptr, *Tool_Image_Del = nullptr,
            *Tool_Image_Goto = nullptr, *Tool_AUTOIMAGE = nullptr, *Tool_Front = nullptr,
            *Tool_Next = nullptr, *Tool_Random = nullptr, *Tool_Middle = nullptr,
            *Tool_Position = nullptr, *Tool_BackImage = nullptr;
    QComboBox *Tool_BlendMode = nullptr, *Tool_Zoom = nullptr, *Tool_SrcBlend = nullptr,
              *Tool_DestBlend = nullptr;
    QSlider* Tool_Alpha = nullptr;
    ColorButton *Tool_BlendColor = nullptr, *Tool_BackColor = nullptr;

    // The editing dialogs, hidden until their commands show them
    // (form_main_edit.cpp).
    TFormAdd* FormAdd = nullptr;
    TFormDel* FormDel = nullptr;
    TFormOut* FormOut = nullptr;

public slots:
    // File.
    void Tool_NewClick();
    void MEMU_FILE_OPEN_DIYClick();
    void MEMU_FILE_OPEN_MIR2_OLDClick();
    void MEMU_FILE_OPEN_MIR2_16Click();
    void MEMU_FILE_OPEN_MIR2_WISClick();
    void MEMU_FILE_OPEN_MIR2_ZIPClick();
    void MEMU_FILE_OPEN_MIR3Click();
    void MEMU_FILE_OPEN_MIR3ZipClick();
    void MEMU_FILE_OPEN_WOOOLClick();
    void MEMU_FILE_OPEN_WYClick();
    void OpenButtonClick();
    void fllst1Click();
    void MEMU_FILE_CLOSEClick();
    void MEMU_FILE_EXITClick();
    void MEMU_FILE_AGOFILE_PATHSClick(const QString& hint);
    // Work.
    void Tool_Image_GotoClick();
    void MEMU_WORK_AUTOIMAGEClick();
    void Tool_NextClick();
    void MEMU_WORK_ADDIMAGEClick();
    void MEMU_WORK_PUTIMAGEClick();
    void MEMU_WORK_DELIMAGEClick();
    // Password protection of the open pack (form_main_password.cpp).
    void MEMU_WORK_PROTECTClick();
    void MEMU_WORK_REKEYClick();
    void MEMU_WORK_UNPROTECTClick();
    // View, options, help.
    void MENU_VIER_TOOLBARClick();
    void MENU_VIER_STATUSBARClick();
    void MENU_OPTION_BLENDCOLORClick();
    void MENU_OPTION_LEVELClick();
    void MENU_OPTION_UPRIGHTNESSClick();
    void MENU_OPTION_BACKIMAGEClick();
    void pak1Click();
    void MENU_HELP_ABOUTClick();
    // The view's controls.
    void Tool_BlendModeChange();
    void Tool_DestBlendChange();
    void Tool_ZoomChange();
    void Tool_AlphaChange();
    void Tool_BackColorClick();
    void Tool_BlendColorClick();
    void PanelDrawMouseDown(const QPoint& point);
    void PanelDrawMouseMove(const QPoint& point);
    void PanelDrawMouseUp(const QPoint& point);
    // Grid and timers.
    void DrawGridSelectCell(int column, int row);
    void TimerTimer();

public:
    void DrawGridDrawCell(int column, int row, const QRect& rect, bool selected, QPainter& painter);
    // Puts the selected image, as decoded into the view's texture with its
    // alpha, on the clipboard; false when no image is selected.
    bool copySelectedImage();
    // The folder the Open dialog starts in: that of the open archive, or of
    // the last one opened (in this run or, from the recent list, before).
    QString openDialogFolder() const;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();

    // form_main_layout.cpp
    void createLayout();
    void createGrid();
    void restoreLayout();
    void storeLayout();
    // form_main_menus.cpp
    void createMenus();
    void createFileMenu(QMenu* file);
    void createOpenCommands(QMenu* open);
    void createWorkMenu(QMenu* work);
    void createOptionMenus();
    void createToolBar();
    void createViewControls();
    void fillBlendModes();
    void connectHandlers();
    void connectViewControls();
    QAction* hiddenShortcut(QAction* item);
    // form_main_grid.cpp
    void setGridRowCount(int rows);
    GridCell gridCurrentCell() const;
    void showArchiveRows();
    void showEmptyGridText();
    void reloadSelection(std::int32_t index);
    void showNoSelection();
    void autoPlayStep();
    void showAutoPlayState();
    // form_main_view.cpp: the device, the view and the sound.
    bool initializeDevice();
    bool initializeAudio();
    void syncViewControls();
    void renderFrame();
    void loadBackImage(const QString& path);
    void stopSound();
    void releaseSound();

    // form_main_edit.cpp
    void createEditDialogs();
    // form_main_password.cpp
    TWMMyImageImages* packToProtect(bool protectedNow);
    void reopenPack(const TWMMyImageImages& pack);
    void finishProtection(TWMMyImageImages& pack, const Status& changed);
    // form_main_desktop.cpp
    void setUpDesktop();
    // form_main_disk.cpp
    void setUpDiskCheck();
    void stopDiskCheck();
    void rememberArchiveOnDisk();

    void openWithKindFilter(TWMImagesKind kind);
    void setCaption(const QString& suffix);
    void showException(const std::exception& error);
    template <typename Command>
    void guarded(Command&& command);

    DialogSeam* m_dialogs;
    std::unique_ptr<AppSettings> m_settings;
    QString m_startDirectory;
    QString m_openDialogFilter;  // the filter the last Open command set
    AutoPlay m_autoPlay;
    std::unique_ptr<StatusPanels> m_statusPanels;
    RecentFilesMenu* m_recentFiles = nullptr;
    std::unique_ptr<ThumbnailPainter> m_thumbnails;
    QActionGroup* m_placementGroup = nullptr;
    QString m_lastArchivePath;      // the last file OpenArchive found
    QString m_openFailure;          // why the open archive shows none or not all of its entries
    QString m_entryFailure;         // why the selected entry shows nothing
    ArchiveDiskState m_diskState;   // the open archive's files as opened
    QTimer* m_diskCheck = nullptr;  // asks checkArchiveOnDisk every second
    bool m_waitingForEdit = false;  // another program's edit is being waited out
};

// Runs one command; an exception that escapes it ends the command and its
// message is shown, as the application's general handler does.
template <typename Command>
void TFormMain::guarded(Command&& command) {
    try {
        command();
    } catch (const std::exception& error) {
        showException(error);
    }
}

}  // namespace vantoro
