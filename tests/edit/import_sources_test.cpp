#include "edit/import_sources.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "edit/staging_batch.h"
#include "tests/edit/scripted_prompts.h"
#include "tests/support/child_process.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

void writeText(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    testing::writeFile(path, Bytes(text.begin(), text.end()));
}

std::vector<std::string> namesOf(const ImportFileList& list) {
    std::vector<std::string> names;
    for (const ImportListLine& line : list.lines()) names.push_back(line.displayName);
    return names;
}

class ImportSourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeText(root + "9.bmp", "");
        writeText(root + "10.bmp", "");
        writeText(root + ".hidden.bmp", "");
        writeText(root + "Placements/9.txt", "1\r\n2\r\n3\r\n");
        writeText(root + "a/b/x.bmp", "");
        writeText(root + "a/b/placements/x.txt", "-5\n6\n");  // the folder in another case
        writeText(root + ".git/y.bmp", "");
        fs::create_directory_symlink(root, root + "a/loop");    // not followed
        ASSERT_EQ(::mkfifo((root + "pipe").c_str(), 0600), 0);  // would block a read
    }
    const TImportFileItem& item(const ImportFileList& list, const std::string& name) {
        for (const ImportListLine& line : list.lines()) {
            if (line.displayName == name) return line.item;
        }
        ADD_FAILURE() << name;
        return list.lines().front().item;
    }

    testing::TempDir dir;
    std::string root = dir.file("src") + "/";
};

TEST_F(ImportSourcesTest, TreeListsFilesByDisplayNameWithTheirOffsets) {
    ImportFileList list;
    list.add(listFolderTree(dir.file("src")).value());
    // Placements folders, in any letter case, hold offsets, not sources.
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"10.bmp", "9.bmp", "a_b_x.bmp"}));
    const TImportFileItem& nine = item(list, "9.bmp");
    EXPECT_EQ(nine.FileName, root + "9.bmp");
    EXPECT_EQ(std::tuple(nine.X, nine.Y, nine.Format), std::tuple(1, 2, 3));
    const TImportFileItem& x = item(list, "a_b_x.bmp");
    EXPECT_EQ(std::tuple(x.X, x.Y, x.Format), std::tuple(-5, 6, 0));
    EXPECT_EQ(item(list, "10.bmp").X, 0);
}

// A sub-folder the walk may not read is skipped with a message, the rest
// listed. Root reads every folder, so the walk then runs as nobody.
TEST_F(ImportSourcesTest, TreeSkipsAFolderItCannotReadWithAMessage) {
    writeText(root + "a/locked/z.bmp", "");
    fs::permissions(root + "a/locked", fs::perms::none);
    const testing::ChildEnd end = testing::runInChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return std::string();
        testing::ScriptedPrompts prompts;
        ImportFileList list;
        list.add(listFolderTree(root, &prompts).value());
        std::string seen;
        for (const std::string& name : namesOf(list)) seen += name + "|";
        for (const Prompt& prompt : prompts.shown) seen += prompt.text;
        return seen;
    });
    fs::permissions(root + "a/locked", fs::perms::owner_all);
    ASSERT_EQ(end.code, 0) << end.text;
    EXPECT_EQ(
        end.text.find("10.bmp|9.bmp|a_b_x.bmp|" + root + "a/locked/\r\n无法读取该文件夹，已跳过"),
        0u)
        << end.text;
}

TEST_F(ImportSourcesTest, FolderAndChosenFilesAndListEditing) {
    ImportFileList list;
    list.add(listFolder(root).value());
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"10.bmp", "9.bmp"}));
    writeText(dir.file("9.bmp"), "");
    const std::string chosen[] = {root + "a/b/x.bmp", dir.file("9.bmp")};
    list.add(listChosenFiles(chosen));
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"10.bmp", "9.bmp", "9.bmp", "x.bmp"}));
    EXPECT_EQ(list.lines()[2].item.FileName, dir.file("9.bmp"));  // equal names: as they came
    EXPECT_EQ(list.lines()[3].item.X, -5);

    const std::size_t gone[] = {0, 2, 99};
    list.remove(gone);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"9.bmp", "x.bmp"}));
    EXPECT_FALSE(listFolder(dir.file("none")));
    EXPECT_FALSE(listFolderTree(dir.file("none")));
}

TEST(StagingBatchTest, FiftyMebibyteBatchesAndPlaceholders) {
    const Bytes mebibyte(1 << 20, 7);
    const PackEntryHeaderBytes header{};
    StagingBatch batch;
    batch.addPlaceholder();
    for (int i = 0; i < 49; ++i) {
        ASSERT_EQ(batch.fit(1 << 20), StagingBatch::Fit::Fits) << i;
        batch.add(header, mebibyte);
    }
    EXPECT_EQ(batch.fit(1 << 20), StagingBatch::Fit::FlushFirst);
    EXPECT_EQ(batch.count(), 50);
    EXPECT_EQ(batch.offsets()[0], -1);
    EXPECT_EQ(batch.offsets()[2], (1 << 20) + 23);
    EXPECT_EQ(batch.bytes().size(), 49u * ((1 << 20) + 23));

    batch.clear();
    EXPECT_TRUE(batch.empty());
    const auto largest = static_cast<std::int64_t>(kStagingCapacity) - 23;
    EXPECT_EQ(batch.fit(largest), StagingBatch::Fit::Fits);
    EXPECT_EQ(batch.fit(largest + 1), StagingBatch::Fit::TooLarge);
    EXPECT_EQ(batch.fit(-1), StagingBatch::Fit::TooLarge);
}

}  // namespace
}  // namespace vantoro
