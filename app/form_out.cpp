#include "app/form_out.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/dialog_seam.h"
#include "app/file_name.h"
#include "app/form_main.h"
#include "app/range_dialog.h"
#include "app/window_prompts.h"
#include "edit/edit_messages.h"
#include "edit/export_entries.h"

namespace vantoro {
namespace {

constexpr int kFolderWidth = 260;

QCheckBox* option(QWidget* parent, const char* name, const QString& caption, bool checked) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    return box;
}

}  // namespace

TFormOut::TFormOut(TFormMain& main) : QDialog(&main), m_main(main) {
    setObjectName(QStringLiteral("FormOut"));
    setWindowTitle(QStringLiteral("导出数据"));
    auto* column = new QVBoxLayout(this);

    const RangeBoxes range = addRangeGroup(*this, *column);
    edtIndexStart = range.start;
    edtIndexEnd = range.end;

    auto* settings = new QGroupBox(QStringLiteral("设置"), this);
    auto* folderRow = new QHBoxLayout(settings);
    edtSaveDir = new QLineEdit(settings);
    edtSaveDir->setObjectName(QStringLiteral("edtSaveDir"));
    edtSaveDir->setMinimumWidth(kFolderWidth);
    Button1 = new QPushButton(QStringLiteral("..."), settings);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFixedWidth(Button1->fontMetrics().horizontalAdvance(QStringLiteral("...")) * 3);
    folderRow->addWidget(new QLabel(QStringLiteral("保存位置:"), settings));
    folderRow->addWidget(edtSaveDir, 1);
    folderRow->addWidget(Button1);
    column->addWidget(settings);

    auto* options = new QGroupBox(QStringLiteral("选项"), this);
    auto* optionRow = new QHBoxLayout(options);
    Out_Alpha = option(options, "Out_Alpha", QStringLiteral("导出Alpha"), false);
    Out_Offset = option(options, "Out_Offset", QStringLiteral("导出坐标"), true);
    Out_Format = option(options, "Out_Format", QStringLiteral("导出格式"), true);
    for (QCheckBox* box : {Out_Alpha, Out_Offset, Out_Format}) optionRow->addWidget(box);
    column->addWidget(options);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    btnStop = new QPushButton(QStringLiteral("停止"), this);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    btnStop->setEnabled(false);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(ProgressBar, 1);
    progressRow->addWidget(btnStop);
    column->addLayout(progressRow);

    const GoExitButtons buttons = addGoExitButtons(*this, *column);
    btnGo = buttons.go;
    btnExit = buttons.exit;

    connect(Button1, &QPushButton::clicked, this, &TFormOut::Button1Click);
    connect(Out_Offset, &QCheckBox::clicked, this, &TFormOut::Out_OffsetClick);
    connect(btnGo, &QPushButton::clicked, this, &TFormOut::btnGoClick);
    connect(btnExit, &QPushButton::clicked, this, &TFormOut::reject);
    connect(btnStop, &QPushButton::clicked, this, &TFormOut::btnStopClick);
}

void TFormOut::ShowExportDialog() {
    const std::int32_t count = m_main.CurrentArchive ? m_main.CurrentArchive->FImageCount : 0;
    limitRangeBoxes({edtIndexStart, edtIndexEnd}, count, m_main.selection.CurrentIndex);
    ProgressBar->setValue(0);
    m_main.dialogs().showModal(*this);
}

void TFormOut::Button1Click() {
    const auto folder = m_main.dialogs().chooseFolder(
        this, QString::fromUtf8(kExportFolderTitle.data(), kExportFolderTitle.size()));
    if (!folder || folder->isEmpty()) return;
    m_pickedFolder = *folder;
    edtSaveDir->setText(displayName(*folder));
}

void TFormOut::Out_OffsetClick() {
    if (!Out_Offset->isChecked()) Out_Format->setChecked(false);
}

void TFormOut::setControlsEnabled(bool enabled) {
    m_busy = !enabled;
    for (QWidget* control :
         std::initializer_list<QWidget*>{edtSaveDir, Button1, edtIndexStart, edtIndexEnd, Out_Alpha,
                                         Out_Offset, Out_Format, btnGo, btnExit}) {
        control->setEnabled(enabled);
    }
    btnStop->setEnabled(!enabled);
    if (!enabled) m_stopRequested = false;
}

void TFormOut::btnGoClick() {
    TWMBaseImages* archive = m_main.CurrentArchive.get();
    if (archive == nullptr || !archive->FInitialized || m_busy) return;
    ExportRequest request;
    request.first = rangeBoxValue(*edtIndexStart);
    request.last = rangeBoxValue(*edtIndexEnd);
    request.folder = saveFolder();
    request.alpha = Out_Alpha->isChecked();
    request.offsets = Out_Offset->isChecked();
    request.format = Out_Format->isChecked();
    // Images taken with their alpha are drawn into a texture of the
    // export's own, so the view keeps showing the selected entry.
    request.texture = nullptr;

    WindowPrompts prompts(m_main.dialogs(), this);
    const ProgressSink progress = [this](int percent) { ProgressBar->setValue(percent); };
    // After every entry the window repaints and "停止" can be pressed.
    const StopCheck stop = [this] {
        QCoreApplication::processEvents();
        return m_stopRequested;
    };
    setControlsEnabled(false);
    EditResult result;
    try {
        result = exportEntries(*archive, request, prompts, progress, stop);
    } catch (...) {
        setControlsEnabled(true);
        throw;
    }
    setControlsEnabled(true);
    if (result.outcome == EditOutcome::Failed) {
        showEditFailure(m_main.dialogs(), this, result.error);
    }
    if (result.outcome == EditOutcome::Done) accept();
}

// The picked folder's own bytes while its name is shown unchanged; else
// the folder the text names (a GBK folder typed as it reads is found).
std::string TFormOut::saveFolder() const {
    const QString text = edtSaveDir->text();
    if (!m_pickedFolder.isEmpty() && text == displayName(m_pickedFolder)) {
        return nameBytes(m_pickedFolder);
    }
    return chosenNameBytes(text);
}

void TFormOut::btnStopClick() {
    if (m_busy) m_stopRequested = true;
}

void TFormOut::reject() {
    if (!m_busy) QDialog::reject();
}

}  // namespace vantoro
