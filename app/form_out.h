// TFormOut, the export dialog "导出数据": a range of the open archive's
// entries written to numbered files in a folder (edit/export_entries.h).
#pragma once

#include <QDialog>
#include <QString>
#include <string>

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace vantoro {

class TFormMain;

class TFormOut : public QDialog {
    Q_OBJECT

public:
    explicit TFormOut(TFormMain& main);

    void ShowExportDialog();

    QSpinBox *edtIndexStart = nullptr, *edtIndexEnd = nullptr;
    QLineEdit* edtSaveDir = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox *Out_Alpha = nullptr, *Out_Offset = nullptr, *Out_Format = nullptr;
    QPushButton *btnGo = nullptr, *btnExit = nullptr;
    // "停止": enabled while an export runs; it ends after the entry it is on.
    QPushButton* btnStop = nullptr;
    QProgressBar* ProgressBar = nullptr;

public slots:
    void Button1Click();
    void Out_OffsetClick();
    void btnGoClick();
    void btnStopClick();

protected:
    void reject() override;

private:
    void setControlsEnabled(bool enabled);
    std::string saveFolder() const;

    TFormMain& m_main;
    bool m_busy = false;
    bool m_stopRequested = false;
    QString m_pickedFolder;  // the folder picker's answer, as a held name
};

}  // namespace vantoro
