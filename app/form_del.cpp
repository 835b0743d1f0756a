#include "app/form_del.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "app/form_main.h"
#include "app/window_prompts.h"
#include "edit/delete_entries.h"
#include "edit/edit_messages.h"
#include "edit/import_text.h"

namespace vantoro {
namespace {

constexpr int kMaxIndex = 10'000'000;

QSpinBox* rangeBox(QWidget* parent, const char* name) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(0, kMaxIndex);
    return box;
}

}  // namespace

std::int32_t rangeBoxValue(const QSpinBox& box) {
    return parseIntegerText(box.cleanText().toStdString()).value_or(-1);
}

void limitRangeBox(QSpinBox& box, std::int32_t count, std::int32_t selected) {
    box.setRange(0, std::max(count - 1, 0));
    box.setValue(selected);
}

TFormDel::TFormDel(TFormMain& main) : QDialog(&main), m_main(main) {
    setObjectName(QStringLiteral("FormDel"));
    setWindowTitle(QStringLiteral("删除数据"));
    auto* column = new QVBoxLayout(this);

    auto* numbers = new QGroupBox(QStringLiteral("编号"), this);
    auto* grid = new QGridLayout(numbers);
    edtIndexStart = rangeBox(numbers, "edtIndexStart");
    edtIndexEnd = rangeBox(numbers, "edtIndexEnd");
    grid->addWidget(new QLabel(QStringLiteral("起始编号:"), numbers), 0, 0);
    grid->addWidget(edtIndexStart, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("结束编号:"), numbers), 1, 0);
    grid->addWidget(edtIndexEnd, 1, 1);
    column->addWidget(numbers);

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

    auto* buttons = new QHBoxLayout;
    btnGo = new QPushButton(QStringLiteral("执行(&G)"), this);
    btnGo->setObjectName(QStringLiteral("btnGo"));
    btnExit = new QPushButton(QStringLiteral("退出(&E)"), this);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    buttons->addStretch();
    buttons->addWidget(btnGo);
    buttons->addWidget(btnExit);
    column->addLayout(buttons);

    connect(btnGo, &QPushButton::clicked, this, &TFormDel::btnGoClick);
    connect(btnExit, &QPushButton::clicked, this, &TFormDel::reject);
}

void TFormDel::ShowDeleteDialog() {
    const std::int32_t count = m_main.CurrentArchive ? m_main.CurrentArchive->FImageCount : 0;
    for (QSpinBox* box : {edtIndexStart, edtIndexEnd}) {
        limitRangeBox(*box, count, m_main.selection.CurrentIndex);
    }
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
