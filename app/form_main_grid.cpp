// The thumbnail grid's side of the main window: selecting an entry, moving
// the selection (previous, next, go-to, auto play) and the frame tick.
#include <QAction>
#include <QPainter>

#include "app/dialog_seam.h"
#include "app/draw_grid.h"
#include "app/form_main.h"
#include "app/music_panel.h"
#include "app/open_failure_text.h"
#include "app/program_resources.h"
#include "app/thumbnail_painter.h"

namespace vantoro {

void TFormMain::setGridRowCount(int rows) {
    DrawGrid->setRowCount(rows);
}

GridCell TFormMain::gridCurrentCell() const {
    return {DrawGrid->currentRow(), DrawGrid->currentColumn()};
}

// Each of the two settings that changes the current cell runs the selection
// handler, so a move to another row passes the new row's cell in the old
// column first. The current cell may already be the entry's while nothing
// is selected (after its entry went away): the entry is selected all the
// same.
bool TFormMain::SelectImage(std::int32_t index) {
    if (!acceptsSelection(CurrentArchive.get(), index)) return false;
    reloadSelection(index);
    return true;
}

// The rows of the open archive, repainted.
void TFormMain::showArchiveRows() {
    setGridRowCount(gridRowCount(CurrentArchive.get()));
    DrawGrid->invalidateGrid();
    showEmptyGridText();
}

// An archive without entries says why under its one empty row.
void TFormMain::showEmptyGridText() {
    QString text;
    if (CurrentArchive && CurrentArchive->FImageCount <= 0) {
        text = m_openFailure.isEmpty() ? QStringLiteral("没有数据") : m_openFailure;
    }
    DrawGrid->setEmptyText(text);
}

// The archive's entries changed (an import, a delete): the rows follow, and
// the view, the status bar and the highlighted cell show the entry now at
// CurrentIndex, or nothing when there is none.
void TFormMain::RefreshGridRows() {
    if (!CurrentArchive) return;
    showArchiveRows();
    reloadSelection(selection.CurrentIndex);
}

// Entry `index` is loaded again from the open archive and its cell made
// current (when it already is, the selection runs for it directly); where
// the archive holds no such entry, nothing is selected.
void TFormMain::reloadSelection(std::int32_t index) {
    if (!acceptsSelection(CurrentArchive.get(), index)) {
        showNoSelection();
        return;
    }
    const GridCell cell = cellOf(index);
    if (gridCurrentCell() == cell) {
        DrawGridSelectCell(cell.column, cell.row);
    } else {
        DrawGrid->setCurrentRow(cell.row);
        DrawGrid->setCurrentColumn(cell.column);
    }
}

// Nothing of an entry stays in the view, the status bar or the grid; the
// grid's current cell stays where it is, for the keys to go on from.
void TFormMain::showNoSelection() {
    stopSound();
    releaseSound();
    PanelMusic->hide();
    clearSelection(selection, View.ImageTexture.get());
    View.FImageOffsetX = View.FImageOffsetY = 0;
    m_entryFailure.clear();
    DrawGrid->setSelectionShown(false);
    UpdateStatusBar();
}

void TFormMain::DrawGridDrawCell(int column, int row, const QRect& rect, bool selected,
                                 QPainter& painter) {
    m_thumbnails->paintCell(painter, CurrentArchive.get(), column, row, rect, selected,
                            painter.brush().color());
}

void TFormMain::DrawGridSelectCell(int column, int row) {
    stopSound();
    releaseSound();
    guarded([&] {
        const std::int32_t index = cellIndex({row, column});
        auto chosen = selectEntry(CurrentArchive.get(), index, View.ImageTexture.get(), selection);
        DrawGrid->setSelectionShown(chosen.has_value());
        if (!chosen) return;
        // The cells after the last entry are empty: nothing to explain there.
        m_entryFailure = index < CurrentArchive->FImageCount
                             ? entryFailureText(index, chosen->failure)
                             : QString();
        View.FImageOffsetX = selection.FImageOffsetX;
        View.FImageOffsetY = selection.FImageOffsetY;
        if (chosen->soundPanel != SoundPanel::Unchanged) {
            PanelMusic->setVisible(chosen->soundPanel == SoundPanel::Shown);
        }
        SoundStream = std::move(chosen->soundStream);
        if (SoundStream) Music->createChannel(*SoundStream);
        UpdateStatusBar();
    });
}

// Previous and next step from the grid's current cell, not from CurrentIndex.
void TFormMain::Tool_NextClick() {
    const QObject* from = sender();
    const NavigationStep step = (from == Tool_Next || from == MEMU_WORK_NEXT)
                                    ? NavigationStep::Next
                                    : NavigationStep::Previous;
    const auto target = stepTarget(CurrentArchive.get(), gridCurrentCell(), step);
    if (target) SelectImage(*target);
}

// Cancel answers the initial text, which selects CurrentIndex again.
void TFormMain::Tool_Image_GotoClick() {
    if (!isArchiveReady(CurrentArchive.get())) return;
    const QString initial = QString::fromStdString(gotoInitialText(selection.CurrentIndex));
    const QString text =
        m_dialogs
            ->inputText(this, QStringLiteral("跳转"), QStringLiteral("请输入图片索引号"), initial)
            .value_or(initial);
    if (const auto target = gotoTarget(CurrentArchive.get(), text.toStdString())) {
        SelectImage(*target);
    }
}

void TFormMain::MEMU_WORK_AUTOIMAGEClick() {
    m_autoPlay.toggle();
    showAutoPlayState();
}

void TFormMain::showAutoPlayState() {
    MEMU_WORK_AUTOIMAGE->setChecked(m_autoPlay.isOn());
    Tool_AUTOIMAGE->setIcon(toolBarImage(m_autoPlay.toolImage()));
    Tool_AUTOIMAGE->setProperty("ImageIndex", m_autoPlay.toolImage());
}

void TFormMain::autoPlayStep() {
    const AutoPlayHooks hooks{[this](std::int32_t index) { return SelectImage(index); },
                              [this] { return selection.CurrentImageInfo; }};
    if (m_autoPlay.step(cellIndex(gridCurrentCell()), hooks) == AutoPlayStep::Finished) {
        showAutoPlayState();
    }
}

// Ticks never nest: a message box shown during one lets the timer fire
// again, and those ticks return at once.
void TFormMain::TimerTimer() {
    if (FrameTickBusy) return;
    FrameTickBusy = true;
    guarded([this] {
        autoPlayStep();
        renderFrame();
    });
    FrameTickBusy = false;
}

}  // namespace vantoro
