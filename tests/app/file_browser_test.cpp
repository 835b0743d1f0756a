// The file browser: its mask, and opening what is picked in it.
#include "app/file_browser.h"

#include <QListView>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <functional>

#include "app/folder_tree.h"
#include "tests/app/form_fixture.h"

namespace vantoro::testing {
namespace {

// The file system model fills itself in the background.
bool waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) QTest::qWait(10);
    return done();
}

class BrowserTest : public FormTest {
protected:
    FileBrowser& browser() { return *form().pnl1; }
    QStringList listed() {
        QStringList names;
        const QAbstractItemModel* shown = browser().fileList()->model();
        const QModelIndex root = browser().fileList()->rootIndex();
        for (int row = 0; row < shown->rowCount(root); ++row) {
            names << shown->index(row, 0, root).data().toString();
        }
        names.sort();
        return names;
    }
    bool pick(const QString& name) {
        return waitFor([&] { return listed().contains(name); }) && browser().selectFile(name);
    }
};

TEST_F(BrowserTest, StartsInTheGivenFolderAndListsArchivesWhateverTheirCase) {
    for (const char* name : {"a.WIL", "b.wil", "c.Wzl", "d.miz", "e.PAK", "f.wis", "g.txt"}) {
        writeFile(dir.file(name), Bytes(4, 0));
    }
    EXPECT_EQ(browser().directory(), QString::fromStdString(dir.path().string()));
    ASSERT_TRUE(waitFor([&] { return listed().size() == 5; })) << listed().join(' ').toStdString();
    EXPECT_EQ(listed(), QStringList({"a.WIL", "b.wil", "c.Wzl", "d.miz", "e.PAK"}));
}

// A folder once shown stays known to the file system model; the file list
// must still show files only, however the folder was left.
TEST_F(BrowserTest, FileListNeverShowsFolders) {
    writeFile(dir.file("a.wil"), Bytes(4, 0));
    const QString top = QString::fromStdString(dir.path().string());
    for (const char* name : {"sub", "folder.wil"}) {
        std::filesystem::create_directory(dir.path() / name);
        QTreeView* folders = browser().directoryList();
        FolderTree* model = browser().directoryModel();
        ASSERT_TRUE(waitFor([&] { return model->indexOf(top + "/" + name).isValid(); }));
        folders->setCurrentIndex(model->indexOf(top + "/" + name));  // as a click does
        ASSERT_EQ(browser().directory(), top + "/" + name);
        browser().setDirectory(top);  // as the drive box does
        ASSERT_TRUE(waitFor([&] { return listed().contains("a.wil"); }));
        QTest::qWait(50);
        EXPECT_EQ(listed(), QStringList({"a.wil"})) << name;
    }
    EXPECT_FALSE(browser().selectFile(QStringLiteral("sub")));
}

TEST_F(BrowserTest, PickedWilOpensAsMir3OnlyWhenItsFirstWordIsOne) {
    const std::string mir3 = writeMir3("three.WIL", 2);
    const std::string mir2 = writeMir2("two.wil", 2);
    ASSERT_TRUE(pick(QStringLiteral("three.WIL")));
    EXPECT_EQ(className(), "TWMM3DefImages");
    EXPECT_TRUE(form().OpenButton->isEnabled());
    ASSERT_TRUE(pick(QStringLiteral("two.wil")));
    EXPECT_EQ(className(), "TWMM2DefImages");
    EXPECT_EQ(form().recentFiles().list().entries(),
              std::vector<std::string>({mir2 + " [0]", mir3 + " [4]"}));
}

TEST_F(BrowserTest, ArrowKeysOpenEveryFilePassedOver) {
    writeMir2("a.wil", 1);
    const std::string second = writeMir2Zip("b.wzl", 2);
    ASSERT_TRUE(pick(QStringLiteral("a.wil")));
    const QModelIndex root = browser().fileList()->rootIndex();
    ASSERT_TRUE(waitFor([&] {  // sorted by name once the folder is read
        return browser().fileList()->model()->index(0, 0, root).data().toString() == "a.wil";
    }));
    QTest::keyClick(browser().fileList(), Qt::Key_Down);
    EXPECT_EQ(className(), "TWMM2ZipImages");
    EXPECT_EQ(form().CurrentArchive->FFileName, second);
}

}  // namespace
}  // namespace vantoro::testing
