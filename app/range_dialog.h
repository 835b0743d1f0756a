// What the delete and export dialogs share: the "编号" group with the first
// and last entry of a range, and the row of their Go and Exit buttons.
#pragma once

#include <cstdint>

class QPushButton;
class QSpinBox;
class QVBoxLayout;
class QWidget;

namespace vantoro {

struct RangeBoxes {
    QSpinBox* start = nullptr;
    QSpinBox* end = nullptr;
};

// The group, added to `column` of `dialog`; its boxes are named
// edtIndexStart and edtIndexEnd.
RangeBoxes addRangeGroup(QWidget& dialog, QVBoxLayout& column);

// Both boxes limited to the entries of an archive of `count` entries,
// showing `selected`.
void limitRangeBoxes(const RangeBoxes& boxes, std::int32_t count, std::int32_t selected);

// The number a range box holds; -1 when its text is not a number.
std::int32_t rangeBoxValue(const QSpinBox& box);

struct GoExitButtons {
    QPushButton* go = nullptr;
    QPushButton* exit = nullptr;
};

// "执行(&G)" and "退出(&E)", right-aligned, added to `column` of `dialog`.
GoExitButtons addGoExitButtons(QWidget& dialog, QVBoxLayout& column);

}  // namespace vantoro
