// Another program and the archive the window has open: its edits of the
// pack and an archive copied over the open one make the window open the
// file again, keeping the selected index where it still exists; the
// window's own edits and another program's edit in progress do not.
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <chrono>
#include <filesystem>
#include <functional>

#include "app/form_del.h"
#include "io/file_stream.h"
#include "tests/app/edit_fixture.h"

namespace vantoro::testing {
namespace {

class DiskTest : public EditFormTest {
public:
    using EditFormTest::reopen;
    using EditFormTest::writePackFile;
    using FormTest::dir;
    using FormTest::form;
    using FormTest::openArchive;
    using FormTest::writeMir2;

    // Whether a check opens the archive again: the new reader does not
    // carry the mark put on the old one.
    bool checkReopens() {
        constexpr std::uint32_t kMark = 4242;
        form().CurrentArchive->FCacheLifetime = kMark;
        form().checkArchiveOnDisk();
        return form().CurrentArchive->FCacheLifetime != kMark;
    }
};

struct ChangeCase {
    const char* name;
    // Writes and opens the archive, selects an entry; answers its path.
    std::function<std::string(DiskTest&)> open;
    std::function<void(DiskTest&, const std::string&)> change;
    bool reopened;
    std::int32_t count;  // entries after the check
    std::int32_t index;  // the selection after the check
    std::uint16_t width;
};

std::string openPackAt(DiskTest& t, int count, std::int32_t select) {
    const std::string path = t.writePackFile("p" + std::to_string(count) + ".pak", count);
    t.openArchive(path, TWMImagesKind::MyImage);
    t.form().SelectImage(select);
    return path;
}

std::string openMir2At(DiskTest& t, int count, std::int32_t select) {
    const std::string path = t.writeMir2("a.wil", count);
    t.openArchive(path, TWMImagesKind::M2Def);
    t.form().SelectImage(select);
    return path;
}

void deleteElsewhere(DiskTest& t, const std::string& path, std::int32_t first, std::int32_t last) {
    const auto other = t.reopen(path);
    ASSERT_TRUE(other->removeEntries(first, last, true).ok());
}

TEST_F(DiskTest, ChangesOfAnotherProgramReopenTheArchiveKeepingTheSelection) {
    // Pack image i and Mir2 image i are 4 + i pixels wide.
    const ChangeCase cases[] = {
        {"a delete in front of the selection", [](DiskTest& t) { return openPackAt(t, 5, 3); },
         [](DiskTest& t, const std::string& path) { deleteElsewhere(t, path, 0, 0); }, true, 4, 3,
         8},
        {"a delete of the selected index", [](DiskTest& t) { return openPackAt(t, 3, 2); },
         [](DiskTest& t, const std::string& path) { deleteElsewhere(t, path, 1, 2); }, true, 1, -1,
         0},
        {"an archive written over the open one", [](DiskTest& t) { return openMir2At(t, 3, 1); },
         [](DiskTest& t, const std::string&) { t.writeMir2("a.wil", 6); }, true, 6, 1, 5},
        {"an archive moved in under the name", [](DiskTest& t) { return openMir2At(t, 3, 2); },
         [](DiskTest& t, const std::string& path) {
             const std::string copy = t.writeMir2("b.wil", 2);
             std::filesystem::rename(copy, path);
             std::filesystem::rename(t.dir.file("b.WIX"), t.dir.file("a.WIX"));
         },
         true, 2, -1, 0},
        {"the window's own delete", [](DiskTest& t) { return openPackAt(t, 4, 2); },
         [](DiskTest& t, const std::string&) {
             TFormDel& dialog = *t.form().FormDel;
             dialog.ShowDeleteDialog();
             dialog.edtIndexStart->setValue(0);
             dialog.edtIndexEnd->setValue(0);
             dialog.btnGo->click();
         },
         false, 3, 2, 7},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.open(*this);
        c.change(*this, path);
        EXPECT_EQ(checkReopens(), c.reopened);
        ASSERT_TRUE(form().CurrentArchive);
        EXPECT_EQ(form().CurrentArchive->FImageCount, c.count);
        EXPECT_EQ(form().selection.CurrentIndex, c.index);
        EXPECT_EQ(form().selection.CurrentImageInfo.Width, c.width);
        // Nothing more to notice once reopened.
        EXPECT_FALSE(checkReopens());
    }
}

TEST_F(DiskTest, AnEditInProgressIsWaitedOutThenTheChangedPackReopens) {
    const std::string path = openPackAt(*this, 3, 1);
    {
        const auto editor = reopen(path);
        ASSERT_TRUE(editor->FFileStream->tryLockForEditing());
        EXPECT_FALSE(checkReopens());
        EXPECT_FALSE(form().StatusBar->currentMessage().isEmpty());
        // A read while the editor moves bytes waits, and says so first.
        form().StatusBar->clearMessage();
        ASSERT_TRUE(editor->FFileStream->closeToReaders());
        const FileStream::ReadWaits windows = FileStream::readWaits();
        FileStream::ReadWaits quick = windows;
        quick.notifyAfter = std::chrono::milliseconds(5);
        quick.giveUpAfter = std::chrono::milliseconds(50);
        FileStream::setReadWaits(quick);
        form().SelectImage(1);
        FileStream::setReadWaits(windows);
        EXPECT_FALSE(form().StatusBar->currentMessage().isEmpty());
    }
    deleteElsewhere(*this, path, 0, 0);
    EXPECT_TRUE(checkReopens());
    EXPECT_EQ(form().CurrentArchive->FImageCount, 2);
    EXPECT_EQ(form().selection.CurrentIndex, 1);
}

}  // namespace
}  // namespace vantoro::testing
