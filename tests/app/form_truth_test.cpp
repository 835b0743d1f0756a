// What the window shows after the archive changed under the selection (a
// delete, an import, another file opened) and when a file opens without its
// entries: the view, the status bar and the grid's highlight agree with
// CurrentIndex and the entry there, or show nothing; a failure says why.
#include <QAbstractButton>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <filesystem>
#include <functional>

#include "app/draw_grid.h"
#include "app/form_add.h"
#include "app/form_del.h"
#include "app/open_failure_text.h"
#include "archive/entry_errors.h"
#include "image_io/texel_rgba.h"
#include "tests/app/edit_fixture.h"

namespace vantoro::testing {
namespace {

class TruthTest : public EditFormTest {
public:
    // The case tables below drive the fixture.
    using EditFormTest::openPack;
    using EditFormTest::writePackFile;
    using FormTest::dir;
    using FormTest::form;
    using FormTest::openArchive;
    using FormTest::writeMir2;
    using FormTest::writeMir2Zip;

    void deleteRange(int first, int last, bool placeholders) {
        TFormDel& dialog = *form().FormDel;
        dialog.ShowDeleteDialog();
        dialog.edtIndexStart->setValue(first);
        dialog.edtIndexEnd->setValue(last);
        dialog.RadioButton2->setChecked(placeholders);
        dialog.btnGo->click();
    }

    // Pictures 4, 5, ... pixels wide put in front of entry 0.
    void importInFront(int count) {
        TFormAdd& dialog = *form().FormAdd;
        dialog.ShowImportDialog();
        dialog.findChild<QAbstractButton*>(QStringLiteral("Mode_Insert"))->click();
        dialog.Index_Start->setValue(0);
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths << QString::fromStdString(
                writePicture("in/p" + std::to_string(i) + ".png", 4 + i, 2));
        }
        dialog.addDroppedPaths(paths);
        dialog.File_BeginClick();
    }

    void newPackOpened() {
        dialogs.fileAnswers = {QString::fromStdString(dir.file("new.pak"))};
        dialogs.messageAnswers = {MessageAnswer::Yes};
        form().Tool_NewClick();
    }

    // Whether the view's image texture holds anything but zeros.
    bool viewShowsAPicture() {
        const auto rgba = textureRgba(*form().View.ImageTexture);
        return rgba && std::any_of(rgba->begin(), rgba->end(), [](auto byte) { return byte; });
    }

    // The selection is `index` with an image `width` pixels wide (0: none),
    // and every part of the window says so.
    void expectShown(std::int32_t index, int width) {
        const TWMBaseImages& archive = *form().CurrentArchive;
        EXPECT_EQ(form().selection.CurrentIndex, index);
        EXPECT_EQ(form().selection.CurrentImageInfo.Width, width);
        EXPECT_EQ(panel(0), QStringLiteral("编号: %1/%2").arg(index).arg(archive.FImageCount - 1));
        EXPECT_TRUE(panel(2).startsWith(QStringLiteral("规格: %1 * ").arg(width)));
        EXPECT_EQ(viewShowsAPicture(), width > 0);
        EXPECT_EQ(form().DrawGrid->selectionShown(), index >= 0);
        if (index >= 0) {
            EXPECT_EQ(form().DrawGrid->currentRow() * 6 + form().DrawGrid->currentColumn(), index);
        }
    }
};

struct ChangeCase {
    const char* what;
    std::function<void(TruthTest&)> steps;
    std::int32_t index;  // the selection afterwards
    int width;           // of its image; 0: nothing in view
    const char* notice;  // the last panel; empty: the dragged position
};

// Pack images are 4 + i pixels wide, Mir2 images too.
const ChangeCase kChangeCases[] = {
    {"delete: the selected entry is now the one after the range",
     [](TruthTest& t) {
         t.openPack(t.writePackFile("p.pak", 4));
         t.form().SelectImage(1);
         t.deleteRange(1, 2, false);
     },
     1, 7, ""},
    {"delete: the selected entry is now an empty placeholder",
     [](TruthTest& t) {
         t.openPack(t.writePackFile("p.pak", 4));
         t.form().SelectImage(1);
         t.deleteRange(1, 2, true);
     },
     1, 0, ""},
    {"delete: the selected entry is gone",
     [](TruthTest& t) {
         t.openPack(t.writePackFile("p.pak", 4));
         t.form().SelectImage(3);
         t.deleteRange(2, 3, false);
     },
     -1, 0, ""},
    {"import: another entry now stands at the selection",
     [](TruthTest& t) {
         t.openPack(t.writePackFile("p.pak", 3));
         t.form().SelectImage(2);
         t.importInFront(2);
     },
     2, 4, ""},
    {"a new empty pack opened after a selection",
     [](TruthTest& t) {
         t.openArchive(t.writeMir2("a.wil", 6), TWMImagesKind::M2Def);
         t.form().SelectImage(2);
         t.newPackOpened();
     },
     -1, 0, ""},
    {"an import into that new pack",
     [](TruthTest& t) {
         t.openArchive(t.writeMir2("a.wil", 6), TWMImagesKind::M2Def);
         t.form().SelectImage(2);
         t.newPackOpened();
         t.importInFront(2);
     },
     -1, 0, ""},
    {"a protected pack opened without its password",
     [](TruthTest& t) {
         t.openArchive(t.writeMir2("a.wil", 3), TWMImagesKind::M2Def);
         t.form().SelectImage(1);
         t.openPack(t.writePackFile("locked.pak", 3, "secret"));
     },
     -1, 0, "数据文件已加密，需要正确的密码（选项 > pak包密码）"},
};

TEST_F(TruthTest, AfterAChangeTheWindowShowsTheEntryAtTheSelectionOrNothing) {
    for (const ChangeCase& row : kChangeCases) {
        SCOPED_TRACE(row.what);
        restartForm();
        std::filesystem::remove_all(dir.file("in"));
        std::filesystem::remove(dir.file("new.pak"));
        row.steps(*this);
        expectShown(row.index, row.width);
        EXPECT_EQ(panel(7), *row.notice ? QString::fromUtf8(row.notice) : "测试: (0,0)");
    }
}

struct FailureCase {
    const char* what;
    std::function<std::string(TruthTest&)> write;  // answers the file to open
    TWMImagesKind kind;
    std::int32_t select;  // an entry to select afterwards, or -1
    const char* notice;   // the last panel
    const char* gridText;
};

const FailureCase kFailureCases[] = {
    {"a text file named .pak",
     [](TruthTest& t) {
         const std::string path = t.dir.file("notes.pak");
         const std::string text(200, 'x');
         writeFile(path, Bytes(text.begin(), text.end()));
         return path;
     },
     TWMImagesKind::MyImage, -1, "不是自定义图像文件（文件头不符）",
     "不是自定义图像文件（文件头不符）"},
    {"a .wzl without its index",
     [](TruthTest& t) {
         const std::string path = t.dir.file("random.wzl");
         writeFile(path, Bytes(3000, 0x5A));
         return path;
     },
     TWMImagesKind::M2Zip, -1, "找不到索引文件，或索引文件无法打开",
     "找不到索引文件，或索引文件无法打开"},
    {"a Mir3 .wil without its index",
     [](TruthTest& t) {
         const std::string path = t.dir.file("short.wil");
         writeFile(path, Bytes(10, 0));
         return path;
     },
     TWMImagesKind::M3Def, -1, "找不到索引文件，或索引文件无法打开",
     "找不到索引文件，或索引文件无法打开"},
    {"a .wzl whose index counts more offsets than it holds",
     [](TruthTest& t) {
         const std::string path = t.writeMir2Zip("cut.wzl", 3);
         const std::string index = t.dir.file("cut.WZX");
         std::filesystem::resize_file(index, std::filesystem::file_size(index) - 4);
         return path;
     },
     TWMImagesKind::M2Zip, -1, "索引文件不完整", "索引文件不完整"},
    {"a .wil cut short: its last entry says so when selected",
     [](TruthTest& t) {
         const std::string path = t.writeMir2("items.wil", 5);
         std::filesystem::resize_file(path, std::filesystem::file_size(path) - 1);
         return path;
     },
     TWMImagesKind::M2Def, 4, "编号 4: 图像数据不完整，文件可能被截断", ""},
};

TEST_F(TruthTest, AFileThatOpensWithoutItsEntriesSaysWhy) {
    for (const FailureCase& row : kFailureCases) {
        SCOPED_TRACE(row.what);
        restartForm();
        const std::string path = row.write(*this);
        openArchive(path, row.kind);
        if (row.select >= 0) form().SelectImage(row.select);
        EXPECT_EQ(panel(7), *row.notice ? QString::fromUtf8(row.notice) : "测试: (0,0)");
        EXPECT_EQ(form().DrawGrid->emptyText(), QString::fromUtf8(row.gridText));
        // No creation time: none of them is a pack.
        EXPECT_EQ(caption(),
                  QStringLiteral("Vantoro 1.0.0.0 [%1]").arg(QString::fromStdString(path)));
        EXPECT_TRUE(dialogs.askedOf(QStringLiteral("message")).empty());
    }
    openArchive(writeMir2("good.wil", 2), TWMImagesKind::M2Def);
    EXPECT_EQ(panel(7), QStringLiteral("测试: (0,0)"));
    EXPECT_TRUE(form().DrawGrid->emptyText().isEmpty());
}

// Nothing is highlighted before anything is selected; the first selection
// shows its cell.
TEST_F(TruthTest, TheHighlightFollowsTheSelectionFromTheStart) {
    EXPECT_FALSE(form().DrawGrid->selectionShown());
    openArchive(writeMir2("a.wil", 3), TWMImagesKind::M2Def);
    EXPECT_FALSE(form().DrawGrid->selectionShown());
    form().SelectImage(2);
    expectShown(2, 6);
}

// Every reason the readers share has the window's own words.
TEST(OpenFailureTextTest, EveryCommonEntryReasonHasItsOwnText) {
    const QString unknown = entryFailureText(3, "a reason no reader gives");
    EXPECT_EQ(unknown, QStringLiteral("编号 3: 数据无法读取"));
    for (const char* reason :
         {entry_error::kOutsideIndex, entry_error::kHoldsNoImage, entry_error::kHeaderCutShort,
          entry_error::kPixelsCutShort, entry_error::kNotZlib, entry_error::kInflatesToNothing,
          entry_error::kTextureRefused, entry_error::kNoTexture, entry_error::kCannotDraw,
          entry_error::kNotOpen, entry_error::kNoMemory, entry_error::kFileShrank}) {
        EXPECT_NE(entryFailureText(3, entry_error::about(3, reason)), unknown) << reason;
    }
    EXPECT_NE(entryFailureText(3, entry_error::cannotSeek(99)), unknown);
    EXPECT_NE(entryFailureText(3, entry_error::imageSize({5000, 2, 0, 0})), unknown);
}

}  // namespace
}  // namespace vantoro::testing
