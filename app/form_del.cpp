#include "app/form_del.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/form_main.h"
#include "app/range_dialog.h"
#include "app/window_prompts.h"
#include "edit/delete_entries.h"
#include "edit/edit_messages.h"

namespace vantoro {

TFormDel::TFormDel(TFormMain& main) : QDialog(&main), m_main(main) {
    setObjectName(QStringLiteral("FormDel"));
    setWindowTitle(QStringLiteral("删除数据"));
    auto* column = new QVBoxLayout(this);

    const RangeBoxes range = addRangeGroup(*this, *column);
    edtIndexStart = range.start;
    edtIndexEnd = range.end;

    auto* options = new QGroupBox(QStringLiteral("选项"), this);
    auto* optionRow = new QHBoxLayout(options);
    rbQuiteDel = new QRadioButton(QStringLiteral("彻底删除"), options);
    rbQuiteDel->setObjectName(QStringLiteral("rbQuiteDel"));
    rbQuiteDel->setChecked(true);
    RadioButton2 = new QRadioButton(QStringLiteral("使用空数据替代"), options);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    optionRow->addWidget(rbQuiteDel);
    optionRow->addWidget(RadioButton2);
    column->addWidget(options);

    const GoExitButtons buttons = addGoExitButtons(*this, *column);
    btnGo = buttons.go;
    btnExit = buttons.exit;

    connect(btnGo, &QPushButton::clicked, this, &TFormDel::btnGoClick);
    connect(btnExit, &QPushButton::clicked, this, &TFormDel::reject);
}

void TFormDel::ShowDeleteDialog() {
    const std::int32_t count = m_main.CurrentArchive ? m_main.CurrentArchive->FImageCount : 0;
    limitRangeBoxes({edtIndexStart, edtIndexEnd}, count, m_main.selection.CurrentIndex);
    m_main.dialogs().showModal(*this);
}

void TFormDel::setControlsEnabled(bool enabled) {
    m_busy = !enabled;
    for (QWidget* control : std::initializer_list<QWidget*>{edtIndexStart, edtIndexEnd, rbQuiteDel,
                                                            RadioButton2, btnGo, btnExit}) {
        control->setEnabled(enabled);
    }
}

void TFormDel::btnGoClick() {
    TWMBaseImages* archive = m_main.CurrentArchive.get();
    if (archive == nullptr || m_busy) return;
    const DeleteRequest request{rangeBoxValue(*edtIndexStart), rangeBoxValue(*edtIndexEnd),
                                RadioButton2->isChecked()};
    const Prompt done = editPrompt(EditMessage::DeleteDone);
    WindowPrompts prompts(m_main.dialogs(), this);
    prompts.beforeAsk = [&](const Prompt& prompt) {
        if (prompt != done) return;
        m_main.RefreshGridRows();
        m_main.UpdateStatusBar();
    };
    setControlsEnabled(false);
    EditResult result;
    try {
        result = deleteEntries(*archive, request, prompts);
    } catch (...) {
        setControlsEnabled(true);
        throw;
    }
    setControlsEnabled(true);
    if (result.outcome == EditOutcome::Failed) {
        // The index may have changed before the failure.
        m_main.RefreshGridRows();
        m_main.UpdateStatusBar();
        showEditFailure(m_main.dialogs(), this, result.error);
    }
    if (result.outcome == EditOutcome::Done) accept();
}

void TFormDel::reject() {
    if (!m_busy) QDialog::reject();
}

}  // namespace vantoro
