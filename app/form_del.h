// TFormDel, the delete dialog "删除数据": a range of the open pack's entries
// removed, or replaced by empty entries (edit/delete_entries.h).
#pragma once

#include <QDialog>
#include <cstdint>

class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vantoro {

class TFormMain;

class TFormDel : public QDialog {
    Q_OBJECT

public:
    explicit TFormDel(TFormMain& main);

    void ShowDeleteDialog();

    QSpinBox *edtIndexStart = nullptr, *edtIndexEnd = nullptr;
    QRadioButton *rbQuiteDel = nullptr, *RadioButton2 = nullptr;
    QPushButton *btnGo = nullptr, *btnExit = nullptr;

public slots:
    void btnGoClick();

protected:
    void reject() override;

private:
    void setControlsEnabled(bool enabled);

    TFormMain& m_main;
    bool m_busy = false;
};

}  // namespace vantoro
