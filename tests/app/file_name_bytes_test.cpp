// File names that are not UTF-8 (GBK names from Windows archives) reach the
// file system as the same bytes on every path the window takes them by, and
// read as GBK where they are not UTF-8.
#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <functional>
#include <random>

#include "app/command_line.h"
#include "app/file_browser.h"
#include "app/file_name.h"
#include "app/folder_tree.h"
#include "app/form_add.h"
#include "app/form_out.h"
#include "io/file_names.h"
#include "tests/app/edit_fixture.h"

namespace vantoro::testing {
namespace {

namespace fs = std::filesystem;

struct NameCase {
    const char* label;
    std::string bytes;  // a name without extension
    QString shown;      // as the window shows it
};

const NameCase kNames[] = {
    {"Ascii", "hum", QStringLiteral("hum")},
    {"Utf8Chinese", "\xE7\x89\xA9\xE5\x93\x81", QStringLiteral("物品")},
    {"Gbk", "\xCE\xEF\xC6\xB7", QStringLiteral("物品")},
    // The second byte of GBK B0 41 has the value of "A".
    {"GbkWithALetterByte", "\xB0\x41", QStringLiteral("癆")},
    {"Neither", "\xFF\xFE\xFF", QStringLiteral("\uFFFD\uFFFD\uFFFD")},
};

void PrintTo(const NameCase& name, std::ostream* out) {
    *out << name.label;
}

class NameBytesTest : public EditFormTest, public ::testing::WithParamInterface<NameCase> {
protected:
    const std::string& name() const { return GetParam().bytes; }
    QString shown(const char* extension) const { return GetParam().shown + extension; }
    QString top() const { return QString::fromStdString(dir.path().string()); }
    // The title with the archive NAME.wil of the test's folder.
    QString shownTitle() { return form().AppTitle + " [" + top() + "/" + shown(".wil") + "]"; }
    void expectOpened(const std::string& path) {
        ASSERT_NE(form().CurrentArchive, nullptr);
        EXPECT_EQ(form().CurrentArchive->FFileName, path);
        EXPECT_EQ(form().CurrentArchive->FImageCount, 2);  // the index was found beside it
    }
};

TEST_P(NameBytesTest, CommandLineOpensTheFileAndTheTitleShowsItsName) {
    const std::string path = writeMir2(name() + ".wil", 2);
    std::string program = "vantoro";
    std::string argument = path;
    char* argv[] = {program.data(), argument.data(), nullptr};
    const QStringList arguments = commandLineArguments(2, argv);
    ASSERT_EQ(arguments.size(), 2);
    EXPECT_EQ(openCommandLineFile(form(), arguments[1]), QString());
    expectOpened(path);
    EXPECT_EQ(caption(), shownTitle());
    EXPECT_EQ(form().recentFiles().list().entries(), std::vector<std::string>{path + " [0]"});
}

TEST_P(NameBytesTest, DroppedFileOpens) {
    const std::string path = writeMir2(name() + ".wil", 2);
    QMimeData data;  // as a file manager writes the list, each byte escaped
    data.setData(
        QStringLiteral("text/uri-list"),
        QByteArray("file://") + QByteArray::fromStdString(path).toPercentEncoding("/") + "\r\n");
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form(), &dropped);
    expectOpened(path);
}

TEST_P(NameBytesTest, FileListShowsTheNameAndOpensTheFile) {
    const std::string path = writeMir2(name() + ".wil", 2);
    writeMir2("other.wzl", 1);
    FileBrowser& browser = *form().pnl1;
    browser.setDirectory(top());
    const QAbstractItemModel* model = browser.fileList()->model();
    const auto listed = [&] {
        QStringList names;
        const QModelIndex root = browser.fileList()->rootIndex();
        for (int row = 0; row < model->rowCount(root); ++row) {
            names << model->index(row, 0, root).data().toString();
        }
        return names;
    };
    for (int i = 0; i < 300 && listed().size() < 2; ++i) QTest::qWait(10);
    EXPECT_TRUE(listed().contains(shown(".wil"))) << listed().join(' ').toStdString();
    ASSERT_TRUE(browser.selectFile(nameString(name() + ".wil")));
    expectOpened(path);
    EXPECT_EQ(caption(), shownTitle());
}

TEST_P(NameBytesTest, FolderListShowsTheFolderAndPickingItListsItsFiles) {
    fs::create_directory(dir.file(name()));
    const std::string path = writeMir2(name() + "/a.wil", 2);
    FileBrowser& browser = *form().pnl1;
    browser.setDirectory(top());
    const QModelIndex folder = browser.directoryModel()->indexOf(nameString(dir.file(name())));
    ASSERT_TRUE(folder.isValid());
    EXPECT_EQ(folder.data().toString(), GetParam().shown);
    browser.directoryList()->setCurrentIndex(folder);  // as a click does
    EXPECT_EQ(browser.directory(), nameString(dir.file(name())));
    ASSERT_TRUE(browser.selectFile(QStringLiteral("a.wil")));
    expectOpened(path);
}

TEST_P(NameBytesTest, RecentListKeepsTheNameThroughTheSettings) {
    const std::string path = writeMir2(name() + ".wil", 2);
    ASSERT_TRUE(form().openPicked(nameString(path)));
    form().MEMU_FILE_CLOSEClick();
    restartForm();
    ASSERT_EQ(form().recentFiles().list().entries(), std::vector<std::string>{path + " [0]"});
    QAction* item = form().recentFiles().menu()->actions().front();
    EXPECT_EQ(item->text(), "&0 " + top() + "/" + shown(".wil") + " [0]");
    EXPECT_EQ(item->toolTip(), top() + "/" + shown(".wil") + " [0]");
    item->trigger();
    expectOpened(path);
}

TEST_P(NameBytesTest, ImportFromAFolderKeepsTheNamesAndFindsTheirOffsets) {
    openPack(writePackFile("i.pak", 1));
    const std::string picture = writePicture(name() + "/" + name() + ".png", 2, 3, true);
    TFormAdd& dialog = *form().FormAdd;
    dialogs.fileAnswers = {nameString(dir.file(name()))};
    dialog.File_AddDIRClick();
    ASSERT_EQ(dialog.fileList().size(), 1u);
    const TImportFileItem& item = dialog.fileList().lines()[0].item;
    EXPECT_EQ(item.FileName, picture);
    EXPECT_EQ(item.X, 2);
    EXPECT_EQ(item.Y, -3);
    EXPECT_EQ(dialog.File_List->item(0)->text(), shown(".png"));
}

TEST_P(NameBytesTest, ExportToAFolderKeepsItsName) {
    openPack(writePackFile("e.pak", 1));
    TFormOut& dialog = *form().FormOut;
    dialog.ShowExportDialog();
    dialogs.fileAnswers = {nameString(dir.file(name()))};
    dialog.Button1->click();
    EXPECT_EQ(dialog.edtSaveDir->text(), top() + "/" + GetParam().shown);
    dialog.btnGo->click();
    EXPECT_TRUE(fs::exists(dir.file(name() + "/000000.bmp")));
    // The name typed as it reads finds the folder that is there.
    fs::remove_all(dir.file(name() + "/Placements"));
    dialog.edtSaveDir->setText(top() + "/" + GetParam().shown + "/Placements");
    dialog.btnGo->click();
    EXPECT_TRUE(fs::exists(dir.file(name() + "/Placements/000000.bmp")));
}

TEST_P(NameBytesTest, CompanionIndexIsFoundByTheSameBytes) {
    const std::string data = dir.file(name() + ".wil");
    writeFile(data, Bytes{1});
    writeFile(dir.file(name() + ".WIX"), Bytes{2});
    EXPECT_EQ(companionFileName(data, ".wix"), dir.file(name() + ".WIX"));
}

// Any bytes survive the QString the window holds them in; a UTF-8 name is
// held as the ordinary QString.
TEST(HeldNames, EveryByteStringSurvivesTheRoundTrip) {
    std::mt19937 random(22);
    for (int i = 0; i < 2000; ++i) {
        std::string bytes(random() % 9, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random() % 2 ? random() : 0x80 | random());
        ASSERT_EQ(nameBytes(nameString(bytes)), bytes) << i;
    }
    EXPECT_EQ(nameString("/a/\xE7\x89\xA9.wil"), QStringLiteral("/a/物.wil"));
    EXPECT_EQ(nameBytes(QStringLiteral("/a/物.wil")), "/a/\xE7\x89\xA9.wil");
}

INSTANTIATE_TEST_SUITE_P(Names, NameBytesTest, ::testing::ValuesIn(kNames),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace vantoro::testing
