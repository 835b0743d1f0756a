// The delete and export dialogs, New and the pack password.
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>

#include "app/draw_grid.h"
#include "app/form_del.h"
#include "app/form_out.h"
#include "app/window_prompts.h"
#include "edit/edit_messages.h"
#include "io/edit_journal.h"
#include "io/file_stream.h"
#include "tests/app/edit_fixture.h"

namespace vantoro::testing {
namespace {

using EditTest = EditFormTest;
namespace fs = std::filesystem;

struct DeleteCase {
    int first;
    int last;
    bool placeholders;
    const char* entries;  // "width:x" afterwards
    const char* message;
};

const DeleteCase kDeleteCases[] = {
    {1, 2, false, "4:0 7:3", "删除数据完成"},
    {1, 2, true, "4:0 0:0 0:0 7:3", "删除数据完成"},
    {3, 3, false, "4:0 5:1 6:2", "删除数据完成"},
    {2, 1, false, "4:0 5:1 6:2 7:3", "数据起始编号设置错误，不能大于结号编号"},
};

TEST_F(EditTest, DeleteDialogCutsTheRange) {
    for (const DeleteCase& row : kDeleteCases) {
        SCOPED_TRACE(row.entries);
        restartForm();
        dialogs.asked.clear();
        const std::string pack = writePackFile("del.pak", 4);
        openPack(pack);
        TFormDel& dialog = *form().FormDel;
        dialog.ShowDeleteDialog();
        dialog.edtIndexStart->setValue(row.first);
        dialog.edtIndexEnd->setValue(row.last);
        dialog.RadioButton2->setChecked(row.placeholders);
        dialog.btnGo->click();
        EXPECT_EQ(entriesOf(pack), row.entries);
        EXPECT_EQ(messages(), std::vector<QString>{QString::fromUtf8(row.message)});
        const bool done = row.first <= row.last;
        EXPECT_EQ(dialog.result(), done ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_TRUE(dialog.btnGo->isEnabled());
        EXPECT_EQ(form().DrawGrid->rowCount(), 1);
        EXPECT_EQ(QString::fromStdString(entriesOf(pack)).count(QLatin1Char(':')),
                  form().CurrentArchive->FImageCount);
    }
}

TEST_F(EditTest, DeleteAndExportRangeBoxesFollowTheArchive) {
    openPack(writePackFile("r.pak", 3));
    dialogs.onModal = [&](QDialog& shown) {
        for (QSpinBox* box : shown.findChildren<QSpinBox*>()) EXPECT_EQ(box->maximum(), 2);
    };
    form().MEMU_WORK_DELIMAGEClick();
    form().MEMU_WORK_PUTIMAGEClick();
    EXPECT_EQ(dialogs.shownDialogs, (std::vector<QString>{"FormDel", "FormOut"}));
    form().FormDel->edtIndexStart->findChild<QLineEdit*>()->setText(QString());
    form().FormDel->btnGoClick();
    EXPECT_EQ(messages(), std::vector<QString>{QStringLiteral("数据起始编号设置错误")});
}

TEST_F(EditTest, ExportDialogWritesNumberedFilesWithOffsets) {
    openPack(writePackFile("e.pak", 3));
    TFormOut& dialog = *form().FormOut;
    dialog.ShowExportDialog();
    dialogs.fileAnswers = {QString::fromStdString(dir.file("out"))};
    dialog.Button1->click();
    EXPECT_EQ(dialogs.askedOf("chooseFolder").at(0).caption, QStringLiteral("请选择保存文件夹"));
    EXPECT_EQ(dialog.edtSaveDir->text(), QString::fromStdString(dir.file("out")));
    dialog.edtIndexStart->setValue(1);
    dialog.edtIndexEnd->setValue(2);
    bool windowServed = false;  // the window goes on while the export runs
    QList<QCheckBox*> enabledDuringRun;
    QTimer::singleShot(0, [&] {
        windowServed = true;
        for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
            if (box->isEnabled()) enabledDuringRun << box;
        }
    });
    dialog.btnGo->click();
    EXPECT_TRUE(windowServed);
    EXPECT_TRUE(enabledDuringRun.isEmpty()) << enabledDuringRun.size() << " options stayed enabled";
    EXPECT_TRUE(fs::exists(dir.file("out/000001.bmp")));
    EXPECT_TRUE(fs::exists(dir.file("out/000002.bmp")));
    const Bytes offsets = readFile(dir.file("out/Placements/000002.txt"));
    EXPECT_EQ(std::string(offsets.begin(), offsets.end()), "2\r\n-2\r\n1\r\n");
    EXPECT_EQ(dialog.ProgressBar->value(), 100);
    EXPECT_EQ(messages(), std::vector<QString>{QStringLiteral("导出数据完成")});
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.btnGo->isEnabled());

    dialog.Out_Offset->click();  // unchecking the offsets unchecks the format
    EXPECT_FALSE(dialog.Out_Format->isChecked());
    dialog.Out_Offset->click();
    EXPECT_FALSE(dialog.Out_Format->isChecked());
    dialog.edtIndexEnd->setValue(0);
    dialog.btnGo->click();
    EXPECT_EQ(messages().back(), QStringLiteral("数据起始编号设置错误，不能大于结号编号"));
}

struct NewCase {
    const char* chosen;
    const char* made;         // the file's name afterwards
    bool existing;            // a file of that name was there
    MessageAnswer overwrite;  // the answer to the overwrite question
    MessageAnswer open;       // the answer to the open question
    bool created;
};

const NewCase kNewCases[] = {
    {"new", "new.pak", false, MessageAnswer::Ok, MessageAnswer::Yes, true},
    {"CAPS.PAK", "CAPS.PAK", false, MessageAnswer::Ok, MessageAnswer::No, true},
    {"old.pak", "old.pak", true, MessageAnswer::Cancel, MessageAnswer::Yes, false},
    {"old.pak", "old.pak", true, MessageAnswer::Ok, MessageAnswer::Yes, true},
};

TEST_F(EditTest, NewMakesAnEmptyPackAndOffersToOpenIt) {
    for (const NewCase& row : kNewCases) {
        SCOPED_TRACE(row.chosen);
        restartForm();
        dialogs.asked.clear();
        const std::string made = dir.file(row.made);
        fs::remove(made);
        if (row.existing) writeFile(made, Bytes(100, 1));
        dialogs.fileAnswers = {QString::fromStdString(dir.file(row.chosen))};
        dialogs.messageAnswers = {row.existing ? row.overwrite : row.open, row.open};
        form().Tool_NewClick();
        EXPECT_EQ(dialogs.askedOf("saveFile").at(0).text,
                  QStringLiteral("自定义数据存储文件(*.pak)|*.pak"));
        EXPECT_EQ(fs::file_size(made), row.created ? 64u : 100u);
        const bool opened = row.created && row.open == MessageAnswer::Yes;
        EXPECT_EQ(className(), opened ? "TWMMyImageImages" : "");
        if (opened) {
            EXPECT_TRUE(caption().contains(QString::fromStdString(made) + "] "));
            const auto& recent = form().recentFiles().list().entries();
            EXPECT_EQ(recent.empty() ? "" : recent.front(), made + " [3]");
        }
        const std::size_t questions = (row.existing ? 1 : 0) + (row.created ? 1 : 0);
        EXPECT_EQ(messages().size(), questions);
    }
}

// New over a pack that another program is editing, or beside the journal of
// an interrupted edit, says why and leaves the pack as it was, though the
// overwrite question would be answered OK.
TEST_F(EditTest, NewDoesNotReplaceAPackBeingEditedOrBesideAJournal) {
    const std::string pack = writePackFile("busy.pak", 2);
    const Bytes before = readFile(pack);
    auto editor = FileStream::open(pack, FileStream::Mode::ReadWrite);
    ASSERT_TRUE(editor->tryLockForEditing());
    for (const char* why : {"另一个程序正在修改", "busy.pak.journal"}) {
        SCOPED_TRACE(why);
        dialogs.asked.clear();
        dialogs.fileAnswers = {QString::fromStdString(pack)};
        dialogs.messageAnswers = {MessageAnswer::Ok, MessageAnswer::Yes};
        form().Tool_NewClick();
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_TRUE(messages().front().contains(QString::fromUtf8(why)))
            << messages().front().toStdString();
        EXPECT_EQ(readFile(pack), before);
        editor.reset();
        writeFile(journalPath(pack), Bytes(100, 9));
    }
}

// A damaged journal beside a pack hides its entries: opening says so once
// and offers to set it aside; No leaves it (and no entries), Yes renames it
// and shows the entries as the file holds them.
TEST_F(EditTest, ADamagedJournalIsToldOnceAndSetAsideOnYes) {
    const std::string pack = writePackFile("j.pak", 2);
    writeFile(journalPath(pack), Bytes(100, 9));
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        dialogs.asked.clear();
        dialogs.messageAnswers = {answer};
        openPack(pack);
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_TRUE(messages().front().contains(QStringLiteral("编辑日志")))
            << messages().front().toStdString();
        EXPECT_EQ(form().CurrentArchive->FImageCount, answer == MessageAnswer::Yes ? 2 : 0);
    }
    EXPECT_EQ(readFile(journalPath(pack) + ".damaged"), Bytes(100, 9));
}

TEST_F(EditTest, PackPasswordTakesEffectAtTheNextOpening) {
    const std::string pack = writePackFile("p.pak", 2, "secret");
    openPack(pack);
    EXPECT_EQ(form().CurrentArchive->FImageCount, 0);
    dialogs.inputAnswers = {QStringLiteral("secret"), std::nullopt, QStringLiteral("")};
    form().pak1Click();
    EXPECT_EQ(form().CurrentArchive->FImageCount, 0);  // the open pack stays as it was
    openPack(pack);
    EXPECT_EQ(form().CurrentArchive->FImageCount, 2);
    form().pak1Click();  // Cancel keeps it
    EXPECT_EQ(form().PackPassword, "secret");
    const auto asked = dialogs.askedOf("inputText");
    EXPECT_EQ(asked.at(1).caption + asked.at(1).text.section(QLatin1Char('\n'), 0, 0) +
                  asked.at(1).initial,
              QStringLiteral("请输入解包PAK文件的密码：secret"));
    form().pak1Click();
    openPack(pack);
    EXPECT_EQ(form().CurrentArchive->FImageCount, 0);
}

// The editing messages keep their buttons, icon and default button in the
// window's boxes.
TEST(EditMessageBoxTest, PromptsBecomeBoxesWithTheirButtons) {
    struct Row {
        Prompt prompt;
        MessageIcon icon;
        MessageButtons buttons;
        MessageAnswer byDefault;
    };
    const Row rows[] = {
        {unsupportedFilePrompt("/a.bmp"), MessageIcon::Warning, MessageButtons::OkCancel,
         MessageAnswer::Cancel},
        {editPrompt(EditMessage::NewPackOpen), MessageIcon::Question, MessageButtons::YesNo,
         MessageAnswer::Yes},
        {editPrompt(EditMessage::ImportIndexBroken), MessageIcon::Error, MessageButtons::Ok,
         MessageAnswer::Ok},
        {editPrompt(EditMessage::ImportStartIndexWrong), MessageIcon::Information,
         MessageButtons::Ok, MessageAnswer::Ok},
    };
    for (const Row& row : rows) {
        const MessageRequest box = messageRequestOf(row.prompt);
        EXPECT_EQ(box.text.toStdString(), row.prompt.text);
        EXPECT_EQ(box.caption.toStdString(), row.prompt.caption);
        EXPECT_EQ(box.icon, row.icon);
        EXPECT_EQ(box.buttons, row.buttons);
        EXPECT_EQ(box.defaultAnswer, row.byDefault);
    }
}

}  // namespace
}  // namespace vantoro::testing
