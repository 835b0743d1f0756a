// Showing the import dialog and its Execute button.
#include <QCoreApplication>
#include <QProgressBar>
#include <QSpinBox>
#include <algorithm>
#include <chrono>
#include <future>

#include "app/dialog_seam.h"
#include "app/form_add.h"
#include "app/form_main.h"
#include "app/window_prompts.h"
#include "archive/my_image_images.h"
#include "edit/edit_messages.h"

namespace vantoro {
namespace {

// Whether the run goes through the files of the list, the long part that
// keeps the dialog busy: not so for empty entries and fixed offsets.
bool runsThroughFiles(const ImportRequest& request) {
    if (request.content == ImportContent::Empty) return false;
    return !(request.content == ImportContent::Image &&
             request.part == ImageImportPart::OffsetsOnly &&
             request.offsetsFrom == OffsetsSource::Fixed);
}

// How long the window waits on a worker before it looks at its events again.
constexpr std::chrono::milliseconds kEventTurn{10};

// Decoding and converting a large picture takes longer than a frame: it runs
// on a thread of its own while the window goes on painting and taking clicks.
void runWhileTheWindowTurns(const std::function<void()>& work) {
    std::future<void> done = std::async(std::launch::async, work);
    while (done.wait_for(kEventTurn) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    done.get();  // an exception of the work is thrown here
}

}  // namespace

void TFormAdd::ShowImportDialog() {
    const std::int32_t count = m_main.CurrentArchive ? m_main.CurrentArchive->FImageCount : 0;
    for (QSpinBox* index : {Index_Start, Index_End}) {
        index->setRange(0, std::max(count - 1, 0));
        index->setValue(m_main.selection.CurrentIndex);
    }
    UpdateControls(false);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    m_main.dialogs().showModal(*this);
}

void TFormAdd::File_BeginClick() {
    TWMBaseImages* archive = m_main.CurrentArchive.get();
    if (archive == nullptr || m_busy) return;
    // A pack that may not be changed says why, as delete does; any other
    // archive, or a pack not open for writing, is left alone without a word.
    if (const auto* pack = dynamic_cast<const TWMMyImageImages*>(archive)) {
        const PackEditBlock block = pack->editBlock();
        if (block != PackEditBlock::None && block != PackEditBlock::NotOpen) {
            WindowPrompts(m_main.dialogs(), this).ask(packLockedPrompt(block));
            return;
        }
    }
    const ImportRequest request = importRequest();
    std::vector<TImportFileItem> files;
    files.reserve(m_files.size());
    for (const ImportListLine& line : m_files.lines()) files.push_back(line.item);

    const Prompt closing = editPrompt(EditMessage::ImportDoneLeave);
    const bool longRun = runsThroughFiles(request);
    WindowPrompts prompts(m_main.dialogs(), this);
    // The grid shows the new entries and the dialog is free again before
    // the closing question, or the message of a run that stopped.
    prompts.beforeAsk = [&](const Prompt& prompt) {
        if (!endsImportRun(prompt)) return;
        m_main.RefreshGridRows();
        m_main.UpdateStatusBar();  // its entry count
        if (longRun) UpdateControls(false);
    };
    // The file run reports 0 when it starts, after every check that may
    // refuse it: from then on the dialog is busy.
    const ProgressSink progress = [this, longRun](int percent) {
        if (longRun && !m_busy) {
            m_running = true;
            m_stopRequested = false;
            UpdateControls(true);
            ProgressBar->setRange(0, 100);
        }
        ProgressBar->setValue(percent);
    };
    // After every file the window repaints and stays responsive, and "停止"
    // can be pressed; the controls that could start other work are disabled.
    const StopCheck stop = [this] {
        QCoreApplication::processEvents();
        return m_stopRequested;
    };
    const EditResult result =
        importEntries(*archive, request, files, prompts, progress, stop, runWhileTheWindowTurns);
    m_running = false;
    if (m_busy) UpdateControls(false);
    if (result.outcome == EditOutcome::Ignored) return;
    m_main.RefreshGridRows();
    m_main.UpdateStatusBar();
    if (result.outcome == EditOutcome::Failed) {
        showEditFailure(m_main.dialogs(), this, result.error);
    }
    if (prompts.answerTo(closing) == PromptAnswer::Ok) accept();
}

void TFormAdd::File_StopClick() {
    if (m_running) m_stopRequested = true;
}

}  // namespace vantoro
