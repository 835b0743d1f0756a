#include "app/range_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "edit/import_text.h"

namespace vantoro {
namespace {

// What a box takes before an archive limits it.
constexpr int kMaxIndex = 10'000'000;

QSpinBox* rangeBox(QWidget* parent, const char* name) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(0, kMaxIndex);
    return box;
}

QPushButton* button(QWidget& dialog, const QString& caption, const char* name) {
    auto* made = new QPushButton(caption, &dialog);
    made->setObjectName(QString::fromLatin1(name));
    return made;
}

}  // namespace

RangeBoxes addRangeGroup(QWidget& dialog, QVBoxLayout& column) {
    auto* numbers = new QGroupBox(QStringLiteral("编号"), &dialog);
    auto* grid = new QGridLayout(numbers);
    const RangeBoxes boxes{rangeBox(numbers, "edtIndexStart"), rangeBox(numbers, "edtIndexEnd")};
    grid->addWidget(new QLabel(QStringLiteral("起始编号:"), numbers), 0, 0);
    grid->addWidget(boxes.start, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("结束编号:"), numbers), 1, 0);
    grid->addWidget(boxes.end, 1, 1);
    column.addWidget(numbers);
    return boxes;
}

void limitRangeBoxes(const RangeBoxes& boxes, std::int32_t count, std::int32_t selected) {
    for (QSpinBox* box : {boxes.start, boxes.end}) {
        // A Qt spin box cannot have a maximum below its minimum: an empty
        // archive gives 0..0.
        box->setRange(0, std::max(count - 1, 0));
        box->setValue(selected);
    }
}

std::int32_t rangeBoxValue(const QSpinBox& box) {
    return parseIntegerText(box.cleanText().toStdString()).value_or(-1);
}

GoExitButtons addGoExitButtons(QWidget& dialog, QVBoxLayout& column) {
    const GoExitButtons buttons{button(dialog, QStringLiteral("执行(&G)"), "btnGo"),
                                button(dialog, QStringLiteral("退出(&E)"), "btnExit")};
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(buttons.go);
    row->addWidget(buttons.exit);
    column.addLayout(row);
    return buttons;
}

}  // namespace vantoro
