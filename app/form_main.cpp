#include "app/form_main.h"

#include <QAction>
#include <QDateTime>
#include <QLocale>
#include <QScrollArea>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <cmath>

#include "app/app_settings.h"
#include "app/color_button.h"
#include "app/dialog_seam.h"
#include "app/draw_grid.h"
#include "app/draw_panel.h"
#include "app/file_browser.h"
#include "app/file_name.h"
#include "app/music_panel.h"
#include "app/open_failure_text.h"
#include "app/program_resources.h"
#include "app/recent_files_menu.h"
#include "app/status_bar.h"
#include "app/thumbnail_painter.h"
#include "archive/archive_kind.h"
#include "archive/my_image_images.h"
#include "archive/open_archive.h"
#include "io/file_names.h"
#include "render/dx9_device.h"
#include "shell/recent_files.h"
#include "shell/status_bar_text.h"

#ifndef VANTORO_VERSION
#define VANTORO_VERSION "1.0.0.0"
#endif

namespace vantoro {
namespace {

constexpr qsizetype kMaxVersionLength = 24;
const char kAboutLine[] = "游戏图像资源浏览与打包工具";
const char kMessageCaption[] = "提示信息";
// How long a line of the sound panel stays in the status bar.
constexpr int kSoundMessageMs = 5000;

// The own pack is the only archive that records when it was made (a file
// of another kind opened as a pack has no such record): days since
// 30 December 1899, the fraction being the time of day, shown in the
// system's short date-and-time format. A time outside the years 1..9999
// shows nothing.
std::optional<QString> packCreationTime(const TWMBaseImages& archive) {
    const auto* pack = dynamic_cast<const TWMMyImageImages*>(&archive);
    if (!pack || !hasPackHeader(*pack)) return std::nullopt;
    constexpr double kDaysLimit = 3'000'000;
    const double days = pack->CreationTime();
    if (!(days > -kDaysLimit && days < kDaysLimit)) return std::nullopt;
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0));
    const QDateTime created =
        epoch.addMSecs(static_cast<qint64>(std::llround(days * 86'400'000.0)));
    if (!created.isValid()) return std::nullopt;
    return QLocale::system().toString(created, QLocale::ShortFormat);
}

}  // namespace

QString appTitleFor(const QString& version) {
    return QStringLiteral("Vantoro ") + version.left(kMaxVersionLength);
}

TFormMain::TFormMain(const FormMainOptions& options, QWidget* parent)
    : QMainWindow(parent),
      m_dialogs(options.dialogs),
      m_settings(std::make_unique<AppSettings>(options.settingsFile)),
      m_startDirectory(options.startDirectory),
      m_autoPlay(options.clock ? options.clock : TickClock(tickCount)),
      m_thumbnails(std::make_unique<ThumbnailPainter>()) {
    initProgramResources();
    createLayout();
    createMenus();
    createToolBar();
    connectHandlers();
    FormCreate();
    createEditDialogs();
    restoreLayout();
    setUpDesktop();
}

TFormMain::~TFormMain() {
    FormDestroy();
    // The device and the view's textures go with the window; the device's
    // finalise event stops the frame timer. PanelDraw, the device's window,
    // is still there.
    MyDevice.reset();
    // The children go after this object's own part; none of them may reach
    // a handler of it on the way.
    for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
    DrawGrid->setSelectCellHandler({});
    DrawGrid->setDrawCellHandler({});
    PanelDraw->onMouseDown = PanelDraw->onMouseMove = PanelDraw->onMouseUp = {};
    PanelDraw->onExposed = {};
}

void TFormMain::FormCreate() {
    AppTitle = appTitleFor(QStringLiteral(VANTORO_VERSION));
    LoadRecentFiles();
    selection.FImageOffsetX = selection.FImageOffsetY = 0;
    View.FImageOffsetX = View.FImageOffsetY = 0;
    View.FUserX = View.FUserY = 0;
    View.FZoom = 1.0;
    View.FDragging = false;
    StdPalette = loadPaletteResource().value_or(vantoro::StdPalette);
    DataFileIcon = loadEntryIcon(EntryIcon::DataFile);
    WaveFileIcon = loadEntryIcon(EntryIcon::WaveFile);
    Mp3FileIcon = loadEntryIcon(EntryIcon::Mp3File);
    m_thumbnails->setIcons({DataFileIcon, WaveFileIcon, Mp3FileIcon});
    OpenButton->setEnabled(false);
    setCaption(QStringLiteral(" []"));
    Tool_BackColor->setColorBgr(View.BackColor);
    Tool_BlendColor->setColorBgr(View.BlendColor);
    Tool_BackColorClick();
    UpdateCommandState();
    View.FBlendCode = 0x0504;
    fillBlendModes();
    setUpDiskCheck();
    connect(Music, &MusicPanel::statusMessage, this,
            [this](const QString& text) { StatusBar->showMessage(text, kSoundMessageMs); });
    if (initializeDevice() && !initializeAudio()) {
        // Asked once the event loop runs, so the message stands over the
        // window that is by then on screen rather than alone before it.
        QTimer::singleShot(0, this, [this] {
            m_dialogs->message(this, {QString::fromUtf8(kMessageCaption),
                                      QStringLiteral("音频设备初始化错误"), MessageIcon::Error});
        });
    }
}

void TFormMain::FormDestroy() {
    SaveRecentFiles();
    storeLayout();
    TimerMusic->stop();
    stopDiskCheck();
    CurrentArchive.reset();
    DataFileIcon = WaveFileIcon = Mp3FileIcon = QImage();
    releaseSound();
    Music->shutdown();
}

void TFormMain::setCaption(const QString& suffix) {
    setWindowTitle(AppTitle + suffix);
}

void TFormMain::showException(const std::exception& error) {
    m_dialogs->message(this, {QStringLiteral("Vantoro"), QString::fromStdString(error.what()),
                              MessageIcon::Error});
}

// --- Opening and closing -------------------------------------------------------

// A pack whose interrupted edit could not be completed cannot be edited.
void TFormMain::warnOfUnfinishedEdit() {
    // Asked again: offerJournalRecovery may have set a journal aside.
    if (!CurrentArchive || !journalReport(*CurrentArchive).unfinishedEdit) return;
    m_dialogs->message(
        this, {QString::fromUtf8(kMessageCaption),
               QStringLiteral("数据文件上次的修改未能完成，无法修改！"), MessageIcon::Warning});
}

void TFormMain::OpenArchive(const QString& path, TWMImagesKind kind) {
    const std::string file = nameBytes(path);
    if (!fileExists(file)) return;
    m_lastArchivePath = path;
    OpenButton->setEnabled(true);
    setCaption(QStringLiteral(" [") + displayName(path) + QLatin1Char(']'));
    const std::int32_t remembered = selection.CurrentIndex;
    const OpenedArchive opening = session.open(kind, file);
    // Nothing of the previous file stays in view, whatever this one gives.
    m_openFailure.clear();
    showNoSelection();
    if (CurrentArchive) {
        // A failure leaves an empty archive open, and says why.
        if (opening.raised) {
            try {
                std::rethrow_exception(opening.raised);
            } catch (const ArchiveError& error) {
                // A named failure ends the command with its message in a box;
                // the status bar and the grid say it too, as the box goes.
                m_openFailure = QString::fromStdString(error.what());
                showArchiveRows();
                UpdateStatusBar();
                throw;
            }
        }
        offerJournalRecovery();
        m_openFailure = openFailureText(*CurrentArchive, opening.opened);
        warnOfUnfinishedEdit();
        showArchiveRows();
        const auto created = packCreationTime(*CurrentArchive);
        if (kind == TWMImagesKind::MyImage && CurrentArchive->FInitialized && created) {
            setCaption(QStringLiteral(" [") + displayName(path) + QStringLiteral("] ") + *created);
        }
    }
    UpdateCommandState();
    if (CurrentArchive) showArchiveRows();
    // The entry selected before, when this archive has one there; else the
    // one the grid's shrinking moved the selection to, or none.
    reloadSelection(acceptsSelection(CurrentArchive.get(), remembered) ? remembered
                                                                       : selection.CurrentIndex);
    rememberArchiveOnDisk();
}

void TFormMain::OpenWithDialog(TWMImagesKind kind) {
    const auto chosen =
        m_dialogs->openFile(this, {m_openDialogFilter, QString(), QString(), openDialogFolder()});
    if (!chosen || chosen->isEmpty()) return;
    OpenButton->setEnabled(true);
    OpenArchive(*chosen, kind);
    AddRecentFile(recentFileEntry(nameBytes(*chosen), kind));
}

// An Open command: the dialog filter of its kind, then the dialog.
void TFormMain::openWithKindFilter(TWMImagesKind kind) {
    const std::string_view filter = findArchiveKind(kind)->openFilter;
    m_openDialogFilter = QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size()));
    guarded([&] { OpenWithDialog(kind); });
}

// The Open commands under their own names; the menu reaches the same
// handler through the kind table.
void TFormMain::MEMU_FILE_OPEN_DIYClick() {
    openWithKindFilter(TWMImagesKind::MyImage);
}
void TFormMain::MEMU_FILE_OPEN_MIR2_OLDClick() {
    openWithKindFilter(TWMImagesKind::M2Def);
}
void TFormMain::MEMU_FILE_OPEN_MIR2_16Click() {
    openWithKindFilter(TWMImagesKind::M2DefBit16);
}
void TFormMain::MEMU_FILE_OPEN_MIR2_WISClick() {
    openWithKindFilter(TWMImagesKind::M2Wis);
}
void TFormMain::MEMU_FILE_OPEN_MIR2_ZIPClick() {
    openWithKindFilter(TWMImagesKind::M2Zip);
}
void TFormMain::MEMU_FILE_OPEN_MIR3Click() {
    openWithKindFilter(TWMImagesKind::M3Def);
}
void TFormMain::MEMU_FILE_OPEN_MIR3ZipClick() {
    openWithKindFilter(TWMImagesKind::M3Zip);
}
void TFormMain::MEMU_FILE_OPEN_WOOOLClick() {
    openWithKindFilter(TWMImagesKind::WoolDef);
}
void TFormMain::MEMU_FILE_OPEN_WYClick() {
    openWithKindFilter(TWMImagesKind::W521gDef);
}

// The dialog keeps the filter of the last Open command (none before the first).
void TFormMain::OpenButtonClick() {
    guarded([&] { OpenWithDialog(LastOpenKind); });
}

// A file picked in the browser opens as the kind its extension gives; the
// browser's mask shows no file outside the table.
void TFormMain::fllst1Click() {
    const QString path = pnl1->currentFilePath();
    if (!path.isEmpty()) openPicked(path);
}

bool TFormMain::openPicked(const QString& path) {
    const std::string file = nameBytes(path);
    const auto kind = kindForFile(file);
    if (!kind) return false;
    // A file named on the command line or dropped on the window shows its
    // folder in the browser, as a file picked there does.
    const QString folder = folderOf(path);
    if (folder != pnl1->directory()) pnl1->setDirectory(folder);
    guarded([&] {
        OpenButton->setEnabled(true);
        OpenArchive(path, *kind);
        AddRecentFile(recentFileEntry(file, *kind));
    });
    return true;
}

void TFormMain::MEMU_FILE_CLOSEClick() {
    if (CurrentArchive) {
        CurrentArchive.reset();
        setCaption(QStringLiteral(" []"));
    }
    m_openFailure.clear();
    m_entryFailure.clear();
    UpdateCommandState();
}

void TFormMain::MEMU_FILE_EXITClick() {
    close();
}

// --- Command state and status bar ----------------------------------------------

void TFormMain::UpdateCommandState() {
    m_autoPlay.switchOff();
    showAutoPlayState();
    const bool open = CurrentArchive != nullptr;
    for (QAction* command : {MEMU_FILE_CLOSE, CloseButton, MEMU_WORK_IMAGE_GOTO, MEMU_WORK_FRONT,
                             MEMU_WORK_NEXT, Tool_Image_Goto, Tool_Front, Tool_Next, Tool_AUTOIMAGE,
                             MEMU_WORK_AUTOIMAGE, MEMU_WORK_PUTIMAGE, Tool_Image_Put}) {
        command->setEnabled(open);
    }
    const bool writable = open && !CurrentArchive->FReadOnly;
    for (QAction* command : {MEMU_WORK_ADDIMAGE, MEMU_WORK_DELIMAGE, Tool_Image_Add, Tool_Image_Del,
                             MEMU_WORK_PROTECT, MEMU_WORK_REKEY, MEMU_WORK_UNPROTECT}) {
        command->setEnabled(writable);
    }
    setGridRowCount(1);
    showEmptyGridText();
    UpdateStatusBar();
}

void TFormMain::UpdateStatusBar() {
    StatusBarState state;
    state.archive = CurrentArchive.get();
    state.CurrentIndex = selection.CurrentIndex;
    state.CurrentImageInfo = selection.CurrentImageInfo;
    state.CurrentPixelFormat = selection.CurrentPixelFormat;
    state.alpha = Tool_Alpha->value();
    state.FUserX = View.FUserX;
    state.FUserY = View.FUserY;
    state.notice = (m_entryFailure.isEmpty() ? m_openFailure : m_entryFailure).toStdString();
    m_statusPanels->setTexts(vantoro::UpdateStatusBar(state));
}

// --- Recent files ----------------------------------------------------------------

void TFormMain::LoadRecentFiles() {
    m_recentFiles->load(m_settings->recentFileValues());
}

void TFormMain::AddRecentFile(const std::string& entry) {
    m_recentFiles->add(entry);
}

void TFormMain::SaveRecentFiles() {
    m_settings->storeRecentFileValues(m_recentFiles->storedValues());
    m_settings->sync();
}

// Opening from the list neither moves the entry nor adds one.
void TFormMain::MEMU_FILE_AGOFILE_PATHSClick(const QString& hint) {
    const auto target = parseRecentFileEntry(nameBytes(hint));
    if (!target) return;
    guarded([&] { OpenArchive(nameString(target->path), target->kind); });
}

// --- View and help commands ---------------------------------------------

void TFormMain::MENU_VIER_TOOLBARClick() {
    StandardToolBar->setVisible(MENU_VIER_TOOLBAR->isChecked());
}

void TFormMain::MENU_VIER_STATUSBARClick() {
    StatusBar->setVisible(MENU_VIER_STATUSBAR->isChecked());
}

void TFormMain::MENU_HELP_ABOUTClick() {
    m_dialogs->about(nullptr, AppTitle,
                     AppTitle + QLatin1Char('\n') + QString::fromUtf8(kAboutLine));
}

}  // namespace vantoro
