// The main menu, the tool bar and their connections. Captions carry their
// "&" accelerators by hand; the menu assigns none by itself.
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

#include "app/color_button.h"
#include "app/draw_panel.h"
#include "app/file_browser.h"
#include "app/form_main.h"
#include "app/program_resources.h"
#include "app/recent_files_menu.h"
#include "archive/archive_kind.h"

namespace vantoro {
namespace {

constexpr int kToolBarIconSize = 20;
constexpr int kAlphaWidth = 100;

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QAction* addItem(QMenu* menu, std::string_view name, std::string_view caption,
                 const QKeySequence& shortcut = QKeySequence()) {
    QAction* action = menu->addAction(fromUtf8(caption));
    action->setObjectName(fromUtf8(name));
    action->setShortcut(shortcut);
    return action;
}

QMenu* addSubmenu(QMenu* menu, std::string_view name, std::string_view caption) {
    QMenu* submenu = menu->addMenu(fromUtf8(caption));
    submenu->setObjectName(fromUtf8(name));
    submenu->menuAction()->setObjectName(fromUtf8(name));
    return submenu;
}

QMenu* addTopMenu(QMenuBar* bar, const char* name, const char* caption) {
    QMenu* menu = bar->addMenu(QString::fromUtf8(caption));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* addButton(QToolBar* bar, const char* name, const char* hint, int image) {
    QAction* action = bar->addAction(toolBarImage(image), QString::fromUtf8(hint));
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(QString::fromUtf8(hint));
    return action;
}

QComboBox* addList(QWidget* panel, const char* name, const char* hint, const QStringList& items) {
    auto* list = new QComboBox(panel);
    list->setObjectName(QString::fromLatin1(name));
    list->setToolTip(QString::fromUtf8(hint));
    list->addItems(items);
    panel->layout()->addWidget(list);
    return list;
}

QKeySequence ctrl(Qt::Key key) {
    return QKeySequence(Qt::CTRL | key);
}

// The view's lists, in the order their indices carry meaning.
template <std::size_t N>
QStringList listItems(const std::array<std::string_view, N>& items) {
    QStringList list;
    for (const std::string_view item : items) {
        list << fromUtf8(item);
    }
    return list;
}

}  // namespace

void TFormMain::createMenus() {
    QMenuBar* bar = menuBar();
    MEMU_FILE = addTopMenu(bar, "MEMU_FILE", "文件(&F)");
    createFileMenu(MEMU_FILE);
    MEMU_WORK_ = addTopMenu(bar, "MEMU_WORK_", "操作(&W)");
    createWorkMenu(MEMU_WORK_);
    MENU_VIER_ = addTopMenu(bar, "MENU_VIER_", "视图(&V)");
    MENU_VIER_TOOLBAR = addItem(MENU_VIER_, "MENU_VIER_TOOLBAR", "工具栏(&T)");
    MENU_VIER_STATUSBAR = addItem(MENU_VIER_, "MENU_VIER_STATUSBAR", "状态栏(&S)");
    for (QAction* toggle : {MENU_VIER_TOOLBAR, MENU_VIER_STATUSBAR}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
    createOptionMenus();
}

void TFormMain::createFileMenu(QMenu* file) {
    MEMU_FILE_NEW = addItem(file, "MEMU_FILE_NEW", "新建(&N)", ctrl(Qt::Key_N));
    MEMU_FILE_OPEN = addSubmenu(file, "MEMU_FILE_OPEN", "打开(&O)");
    createOpenCommands(MEMU_FILE_OPEN);
    MEMU_FILE_CLOSE = addItem(file, "MEMU_FILE_CLOSE", "关闭(&Q)", ctrl(Qt::Key_Q));
    MEMU_FILE_CLOSE->setEnabled(false);
    file->addSeparator();
    MEMU_FILE_AGOFILE = addSubmenu(file, "MEMU_FILE_AGOFILE", "最近打开的文件(&B)");
    m_recentFiles = new RecentFilesMenu(MEMU_FILE_AGOFILE, this);
    file->addSeparator();
    MEMU_FILE_EXIT = addItem(file, "MEMU_FILE_EXIT", "退出(&X)", ctrl(Qt::Key_E));
}

// One command per kind of the kind table, in the table's menu order; each
// opens the dialog with its kind's filter. A submenu is made where its first
// command goes.
void TFormMain::createOpenCommands(QMenu* open) {
    std::vector<const ArchiveKindInfo*> kinds;
    for (const ArchiveKindInfo& info : archiveKinds()) kinds.push_back(&info);
    std::ranges::stable_sort(
        kinds, {}, [](const ArchiveKindInfo* info) { return info->openCommand.menuPosition; });
    std::map<const OpenSubmenu*, QMenu*> submenus;
    for (const ArchiveKindInfo* info : kinds) {
        const OpenCommand& command = info->openCommand;
        QMenu* menu = open;
        if (command.submenu) {
            QMenu*& submenu = submenus[command.submenu];
            if (!submenu) {
                submenu = addSubmenu(open, command.submenu->name, command.submenu->caption);
            }
            menu = submenu;
        }
        const QKeySequence shortcut = command.ctrlFunctionKey > 0
                                          ? ctrl(Qt::Key(Qt::Key_F1 + command.ctrlFunctionKey - 1))
                                          : QKeySequence();
        QAction* item = addItem(menu, command.name, command.caption, shortcut);
        const TWMImagesKind kind = info->kind;
        const auto openKind = [this, kind] { openWithKindFilter(kind); };
        connect(item, &QAction::triggered, this, openKind);
        if (command.hidden) connect(hiddenShortcut(item), &QAction::triggered, this, openKind);
    }
}

void TFormMain::createWorkMenu(QMenu* work) {
    MEMU_WORK_IMAGE_GOTO = addItem(work, "MEMU_WORK_IMAGE_GOTO", "跳转(&G)", Qt::Key_F3);
    work->addSeparator();
    MEMU_WORK_AUTOIMAGE = addItem(work, "MEMU_WORK_AUTOIMAGE", "自动播放(&A)", Qt::Key_F5);
    MEMU_WORK_AUTOIMAGE->setCheckable(true);
    MEMU_WORK_FRONT = addItem(work, "MEMU_WORK_FRONT", "上一张(&F)", Qt::Key_F7);
    MEMU_WORK_NEXT = addItem(work, "MEMU_WORK_NEXT", "下一张(&N)", Qt::Key_F8);
    work->addSeparator();
    MEMU_WORK_ADDIMAGE = addItem(work, "MEMU_WORK_ADDIMAGE", "导入数据(&A)", ctrl(Qt::Key_A));
    MEMU_WORK_PUTIMAGE = addItem(work, "MEMU_WORK_PUTIMAGE", "导出数据(&P)", ctrl(Qt::Key_S));
    MEMU_WORK_DELIMAGE = addItem(work, "MEMU_WORK_DELIMAGE", "删除数据(&D)", ctrl(Qt::Key_D));
    work->addSeparator();
    MEMU_WORK_PROTECT = addItem(work, "MEMU_WORK_PROTECT", "保护pak包(&K)...");
    MEMU_WORK_REKEY = addItem(work, "MEMU_WORK_REKEY", "修改pak包密码(&M)...");
    MEMU_WORK_UNPROTECT = addItem(work, "MEMU_WORK_UNPROTECT", "取消pak包保护(&U)...");
}

void TFormMain::createOptionMenus() {
    MENU_OPTION = addTopMenu(menuBar(), "MENU_OPTION", "选项(&O)");
    MENU_OPTION_BACKCOLOR = addItem(MENU_OPTION, "MENU_OPTION_BACKCOLOR", "背景颜色(&C)");
    MENU_OPTION_BLENDCOLOR = addItem(MENU_OPTION, "MENU_OPTION_BLENDCOLOR", "混合颜色(&B)");
    MENU_OPTION_LEVEL = addItem(MENU_OPTION, "MENU_OPTION_LEVEL", "水平翻转(&L)");
    MENU_OPTION_UPRIGHTNESS = addItem(MENU_OPTION, "MENU_OPTION_UPRIGHTNESS", "垂直倒转(&R)");
    MENU_OPTION_LEVEL->setCheckable(true);
    MENU_OPTION_UPRIGHTNESS->setCheckable(true);
    MENU_OPTION->addSeparator();
    MENU_OPTION_BACKIMAGE = addItem(MENU_OPTION, "MENU_OPTION_BACKIMAGE", "背景图片(&I)");
    MENU_OPTION->addSeparator();
    pak1 = addItem(MENU_OPTION, "pak1", "pak包密码");
    MENU_HELP = addTopMenu(menuBar(), "MENU_HELP", "帮助(&H)");
    MENU_HELP_ABOUT = addItem(MENU_HELP, "MENU_HELP_ABOUT", "关于 Vantoro(&A)");
}

void TFormMain::createToolBar() {
    StandardToolBar = addToolBar(QStringLiteral("StandardToolBar"));
    StandardToolBar->setObjectName(QStringLiteral("StandardToolBar"));
    StandardToolBar->setMovable(false);
    StandardToolBar->setIconSize(QSize(kToolBarIconSize, kToolBarIconSize));
    QToolBar* bar = StandardToolBar;
    Tool_New = addButton(bar, "Tool_New", "新建 (Ctrl + N)", 0);
    OpenButton = addButton(bar, "OpenButton", "打开 (Ctrl + F1..F6)", 1);
    CloseButton = addButton(bar, "CloseButton", "关闭 (Ctrl + Q) ", 2);
    bar->addSeparator();
    Tool_Image_Add = addButton(bar, "Tool_Image_Add", "导入数据 (Ctrl + A)", 26);
    Tool_Image_Put = addButton(bar, "Tool_Image_Put", "导出数据 (Ctrl + S)", 6);
    Tool_Image_Del = addButton(bar, "Tool_Image_Del", "删除数据 (Ctrl + D)", 19);
    bar->addSeparator();
    Tool_Image_Goto = addButton(bar, "Tool_Image_Goto", "跳转 (F3)", 18);
    bar->addSeparator();
    Tool_AUTOIMAGE = addButton(bar, "Tool_AUTOIMAGE", "自动播放 (F5)", kAutoPlayImageOff);
    Tool_Front = addButton(bar, "Tool_Front", "上一张 (F7)", 27);
    Tool_Next = addButton(bar, "Tool_Next", "下一张 (F8)", 15);
    bar->addSeparator();
    Tool_Random = addButton(bar, "Tool_Random", "自定义位置", 11);
    Tool_Middle = addButton(bar, "Tool_Middle", "居中显示", 12);
    Tool_Position = addButton(bar, "Tool_Position", "对齐坐标", 14);
    m_placementGroup = new QActionGroup(this);  // Tool_Random and Tool_Middle: one is down
    for (QAction* button : {Tool_Random, Tool_Middle, Tool_Position}) button->setCheckable(true);
    m_placementGroup->addAction(Tool_Random);
    m_placementGroup->addAction(Tool_Middle);
    Tool_Random->setChecked(true);
    bar->addSeparator();
    Tool_BackImage = addButton(bar, "Tool_BackImage", "背景图片", 23);
    bar->addSeparator();
    createViewControls();
}

void TFormMain::createViewControls() {
    auto* panel = new QWidget(StandardToolBar);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    Tool_BlendMode = addList(panel, "Tool_BlendMode", "混合模式", {});
    Tool_Zoom = addList(panel, "Tool_Zoom", "缩放比例", listItems(kZoomItems));
    Tool_Zoom->setCurrentIndex(kZoomStartIndex);
    Tool_Alpha = new QSlider(Qt::Horizontal, panel);
    Tool_Alpha->setObjectName(QStringLiteral("Tool_Alpha"));
    Tool_Alpha->setRange(0, 255);
    Tool_Alpha->setValue(255);
    Tool_Alpha->setFixedWidth(kAlphaWidth);
    layout->addWidget(Tool_Alpha);
    Tool_BlendColor = new ColorButton(*m_dialogs, panel);
    Tool_BlendColor->setObjectName(QStringLiteral("Tool_BlendColor"));
    Tool_BlendColor->setToolTip(QStringLiteral("混合颜色"));
    Tool_BackColor = new ColorButton(*m_dialogs, panel);
    Tool_BackColor->setObjectName(QStringLiteral("Tool_BackColor"));
    Tool_BackColor->setToolTip(QStringLiteral("背景颜色"));
    layout->addWidget(Tool_BlendColor);
    layout->addWidget(Tool_BackColor);
    Tool_SrcBlend = addList(panel, "Tool_SrcBlend", "D3DRS_SRCBLEND", listItems(kBlendFactorNames));
    Tool_DestBlend =
        addList(panel, "Tool_DestBlend", "D3DRS_DESTBLEND", listItems(kBlendFactorNames));
    Tool_SrcBlend->setEnabled(false);
    Tool_DestBlend->setEnabled(false);
    StandardToolBar->addWidget(panel);
}

// Filling and preselecting the lists is not a change by the user: no
// handler runs.
void TFormMain::fillBlendModes() {
    const QSignalBlocker blockModes(Tool_BlendMode);
    const QSignalBlocker blockSource(Tool_SrcBlend);
    const QSignalBlocker blockDestination(Tool_DestBlend);
    Tool_BlendMode->clear();
    for (const BlendMode& mode : kBlendModes) {
        Tool_BlendMode->addItem(QString::fromLatin1(mode.name.data(), mode.name.size()),
                                QVariant::fromValue(mode.code));
    }
    BlendCustomIndex = Tool_BlendMode->findText(QStringLiteral("Blend_Custom"));
    Tool_SrcBlend->setCurrentIndex(kSrcFactorStartIndex);
    Tool_DestBlend->setCurrentIndex(kDestFactorStartIndex);
    Tool_BlendMode->setCurrentIndex(kBlendDefaultIndex);
}

// A hidden menu item keeps a working shortcut: Qt switches off the shortcut
// of an invisible action, so a second action on the window carries it.
QAction* TFormMain::hiddenShortcut(QAction* item) {
    item->setVisible(false);
    auto* shortcut = new QAction(this);
    shortcut->setObjectName(item->objectName() + QStringLiteral("Shortcut"));
    shortcut->setShortcut(item->shortcut());
    addAction(shortcut);
    return shortcut;
}

void TFormMain::connectHandlers() {
    auto on = [this](QAction* action, void (TFormMain::*handler)()) {
        connect(action, &QAction::triggered, this, handler);
    };
    on(MEMU_FILE_NEW, &TFormMain::Tool_NewClick);
    on(Tool_New, &TFormMain::Tool_NewClick);
    on(OpenButton, &TFormMain::OpenButtonClick);
    on(MEMU_FILE_CLOSE, &TFormMain::MEMU_FILE_CLOSEClick);
    on(CloseButton, &TFormMain::MEMU_FILE_CLOSEClick);
    on(MEMU_FILE_EXIT, &TFormMain::MEMU_FILE_EXITClick);
    connect(m_recentFiles, &RecentFilesMenu::entryClicked, this,
            &TFormMain::MEMU_FILE_AGOFILE_PATHSClick);
    connect(pnl1, &FileBrowser::fileChosen, this, &TFormMain::fllst1Click);
    for (QAction* action : {MEMU_WORK_IMAGE_GOTO, Tool_Image_Goto}) {
        on(action, &TFormMain::Tool_Image_GotoClick);
    }
    for (QAction* action : {MEMU_WORK_AUTOIMAGE, Tool_AUTOIMAGE}) {
        on(action, &TFormMain::MEMU_WORK_AUTOIMAGEClick);
    }
    for (QAction* action : {MEMU_WORK_FRONT, MEMU_WORK_NEXT, Tool_Front, Tool_Next}) {
        on(action, &TFormMain::Tool_NextClick);
    }
    for (QAction* action : {MEMU_WORK_ADDIMAGE, Tool_Image_Add}) {
        on(action, &TFormMain::MEMU_WORK_ADDIMAGEClick);
    }
    for (QAction* action : {MEMU_WORK_PUTIMAGE, Tool_Image_Put}) {
        on(action, &TFormMain::MEMU_WORK_PUTIMAGEClick);
    }
    for (QAction* action : {MEMU_WORK_DELIMAGE, Tool_Image_Del}) {
        on(action, &TFormMain::MEMU_WORK_DELIMAGEClick);
    }
    on(MENU_VIER_TOOLBAR, &TFormMain::MENU_VIER_TOOLBARClick);
    on(MENU_VIER_STATUSBAR, &TFormMain::MENU_VIER_STATUSBARClick);
    on(pak1, &TFormMain::pak1Click);
    on(MEMU_WORK_PROTECT, &TFormMain::MEMU_WORK_PROTECTClick);
    on(MEMU_WORK_REKEY, &TFormMain::MEMU_WORK_REKEYClick);
    on(MEMU_WORK_UNPROTECT, &TFormMain::MEMU_WORK_UNPROTECTClick);
    on(MENU_HELP_ABOUT, &TFormMain::MENU_HELP_ABOUTClick);
    connect(Timer, &QTimer::timeout, this, &TFormMain::TimerTimer);
    connectViewControls();
}

// The lists answer the user's choices only (`activated`), not the window's
// own preselection; the track bar answers every change of its position.
void TFormMain::connectViewControls() {
    connect(Tool_BlendMode, &QComboBox::activated, this, &TFormMain::Tool_BlendModeChange);
    connect(Tool_SrcBlend, &QComboBox::activated, this, &TFormMain::Tool_DestBlendChange);
    connect(Tool_DestBlend, &QComboBox::activated, this, &TFormMain::Tool_DestBlendChange);
    connect(Tool_Zoom, &QComboBox::activated, this, &TFormMain::Tool_ZoomChange);
    connect(Tool_Alpha, &QSlider::valueChanged, this, &TFormMain::Tool_AlphaChange);
    connect(Tool_BlendColor, &ColorButton::colorClicked, this, &TFormMain::Tool_BlendColorClick);
    connect(Tool_BackColor, &ColorButton::colorClicked, this, &TFormMain::Tool_BackColorClick);
    for (QAction* item : {MENU_OPTION_BACKCOLOR, MENU_OPTION_BLENDCOLOR}) {
        connect(item, &QAction::triggered, this, &TFormMain::MENU_OPTION_BLENDCOLORClick);
    }
    connect(MENU_OPTION_LEVEL, &QAction::triggered, this, &TFormMain::MENU_OPTION_LEVELClick);
    connect(MENU_OPTION_UPRIGHTNESS, &QAction::triggered, this,
            &TFormMain::MENU_OPTION_UPRIGHTNESSClick);
    for (QAction* item : {MENU_OPTION_BACKIMAGE, Tool_BackImage}) {
        connect(item, &QAction::triggered, this, &TFormMain::MENU_OPTION_BACKIMAGEClick);
    }
    PanelDraw->onMouseDown = [this](const QPoint& point) { PanelDrawMouseDown(point); };
    PanelDraw->onMouseMove = [this](const QPoint& point) { PanelDrawMouseMove(point); };
    PanelDraw->onMouseUp = [this](const QPoint& point) { PanelDrawMouseUp(point); };
}

}  // namespace vantoro
