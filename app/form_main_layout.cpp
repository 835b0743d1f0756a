// The main window's widgets, left to right under the tool bar: the file
// browser, the thumbnail grid, a splitter, and the panel holding the sound
// panel over the scroll box with the view surface; the status bar below.
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/app_settings.h"
#include "app/draw_grid.h"
#include "app/draw_panel.h"
#include "app/file_browser.h"
#include "app/form_main.h"
#include "app/music_panel.h"
#include "app/status_bar.h"
#include "app/thumbnail_painter.h"

namespace vantoro {
namespace {

constexpr int kClientWidth = 1165;
constexpr int kClientHeight = 685;
constexpr int kBrowserWidth = 167;
constexpr int kGridWidth = 411;
constexpr int kFrameTickMs = 10;
constexpr int kSoundTickMs = 26;

}  // namespace

void TFormMain::createLayout() {
    setObjectName(QStringLiteral("FormMain"));
    resize(kClientWidth, kClientHeight);
    auto* client = new QWidget(this);
    auto* row = new QHBoxLayout(client);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    pnl1 = new FileBrowser(client);
    pnl1->setFixedWidth(kBrowserWidth);
    if (!m_startDirectory.isEmpty()) pnl1->setDirectory(m_startDirectory);
    GridSplitter = new QSplitter(Qt::Horizontal, client);
    GridSplitter->setObjectName(QStringLiteral("Splitter1"));
    GridSplitter->setChildrenCollapsible(false);
    createGrid();

    Panel1 = new QWidget(GridSplitter);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* column = new QVBoxLayout(Panel1);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    PanelMusic = new QWidget(Panel1);
    PanelMusic->setObjectName(QStringLiteral("PanelMusic"));
    PanelMusic->hide();
    ScrollBox = new QScrollArea(Panel1);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    ScrollBox->setAutoFillBackground(true);
    ScrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PanelDraw = new DrawPanel(ScrollBox);
    PanelDraw->setGeometry(0, 0, kViewWidth, kViewHeight);
    ScrollBox->setWidget(PanelDraw);
    column->addWidget(PanelMusic);
    column->addWidget(ScrollBox, 1);

    GridSplitter->addWidget(DrawGrid);
    GridSplitter->addWidget(Panel1);
    GridSplitter->setStretchFactor(1, 1);
    GridSplitter->setSizes({kGridWidth, kClientWidth - kBrowserWidth - kGridWidth});
    row->addWidget(pnl1);
    row->addWidget(GridSplitter, 1);
    setCentralWidget(client);

    StatusBar = statusBar();
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    m_statusPanels = std::make_unique<StatusPanels>(StatusBar);
    Timer = new QTimer(this);
    Timer->setInterval(kFrameTickMs);
    TimerMusic = new QTimer(this);
    TimerMusic->setInterval(kSoundTickMs);
    Music = new MusicPanel(PanelMusic, TimerMusic, this);
}

void TFormMain::createGrid() {
    DrawGrid = new vantoro::DrawGrid(GridSplitter);
    DrawGrid->setObjectName(QStringLiteral("DrawGrid"));
    DrawGrid->setSelectCellHandler(
        [this](int column, int row) { DrawGridSelectCell(column, row); });
    DrawGrid->setDrawCellHandler(
        [this](int column, int row, const QRect& rect, bool selected, QPainter& painter) {
            DrawGridDrawCell(column, row, rect, selected, painter);
        });
}

// The size, the splitters and the two bars as the user left them.
void TFormMain::restoreLayout() {
    const WindowLayout layout = m_settings->windowLayout();
    if (!layout.geometry.isEmpty()) restoreGeometry(layout.geometry);
    if (!layout.browserSplitter.isEmpty()) pnl1->splitter()->restoreState(layout.browserSplitter);
    if (!layout.gridSplitter.isEmpty()) GridSplitter->restoreState(layout.gridSplitter);
    MENU_VIER_TOOLBAR->setChecked(layout.toolBarVisible);
    MENU_VIER_TOOLBARClick();
    MENU_VIER_STATUSBAR->setChecked(layout.statusBarVisible);
    MENU_VIER_STATUSBARClick();
}

void TFormMain::storeLayout() {
    WindowLayout layout;
    layout.geometry = saveGeometry();
    layout.browserSplitter = pnl1->splitter()->saveState();
    layout.gridSplitter = GridSplitter->saveState();
    layout.toolBarVisible = MENU_VIER_TOOLBAR->isChecked();
    layout.statusBarVisible = MENU_VIER_STATUSBAR->isChecked();
    m_settings->storeWindowLayout(layout);
    m_settings->sync();
}

}  // namespace vantoro
