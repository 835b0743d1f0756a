#include "shell/recent_files.h"

#include <gtest/gtest.h>

#include "archive/archive_kind.h"
#include "archive/archive_reader.h"

namespace vantoro {
namespace {

using Texts = std::vector<std::string>;

Texts captionsOf(const RecentFileList& list) {
    Texts captions;
    for (const RecentMenuItem& item : list.menuItems()) captions.push_back(item.caption);
    return captions;
}

TEST(RecentFiles, PlaceholderUntilTheFirstAdd) {
    const RecentFileList fresh;
    ASSERT_EQ(fresh.menuItems().size(), 1u);
    EXPECT_EQ(fresh.menuItems()[0].caption, "无");
    EXPECT_FALSE(fresh.menuItems()[0].enabled);
    EXPECT_EQ(fresh.storedValues(), Texts{""});  // the placeholder writes an empty "0"

    RecentFileList list = RecentFileList::fromStored(Texts{"", "/a.wil [0]"});
    EXPECT_TRUE(list.entries().empty());  // reading stops at the first empty text
    list.add("");
    EXPECT_TRUE(list.entries().empty());
    list.add("/a.wil [0]");
    EXPECT_EQ(captionsOf(list), Texts{"&0 /a.wil [0]"});
    EXPECT_TRUE(list.menuItems()[0].enabled);
    EXPECT_EQ(list.menuItems()[0].hint, "/a.wil [0]");
}

TEST(RecentFiles, LoadTrimsBothEndsAndStopsAtTheFirstEmptyText) {
    const Texts stored = {" \t/数据/my maps.wil [0]\r\n", "\x01/b.wis [2]\x7f", "  ", "/c [3]"};
    const RecentFileList list = RecentFileList::fromStored(stored);
    EXPECT_EQ(list.entries(), (Texts{"/数据/my maps.wil [0]", "/b.wis [2]"}));
    EXPECT_EQ(captionsOf(list), (Texts{"&0 /数据/my maps.wil [0]", "&1 /b.wis [2]"}));

    Texts twelve;
    for (int n = 0; n < 12; ++n) twelve.push_back("/f" + std::to_string(n) + " [0]");
    EXPECT_EQ(RecentFileList::fromStored(twelve).entries().size(), kMaxRecentFiles);
}

TEST(RecentFiles, AddMovesAReopenedEntryToTheTopAndKeepsTen) {
    RecentFileList list;
    for (const char* entry : {"/a.wil [0]", "/b.wil [0]", "/c.wil [0]", "/a.wil [0]"}) {
        list.add(entry);
    }
    EXPECT_EQ(captionsOf(list), (Texts{"&0 /a.wil [0]", "&1 /c.wil [0]", "&2 /b.wil [0]"}));

    // Another kind, or another letter case, is another entry.
    list.add("/a.wil [1]");
    list.add("/A.wil [0]");
    EXPECT_EQ(list.entries().size(), 5u);

    for (int n = 0; n < 6; ++n) list.add("/new" + std::to_string(n) + " [7]");
    EXPECT_EQ(list.entries().size(), 10u);
    EXPECT_EQ(list.entries().back(), "/c.wil [0]");  // "/b.wil [0]", the oldest, is gone
    list.add("/c.wil [0]");                          // a re-open in a full list drops nothing
    EXPECT_EQ(list.entries().front(), "/c.wil [0]");
    EXPECT_EQ(list.entries().back(), "/a.wil [0]");
    EXPECT_EQ(list.menuItems()[9].caption, "&9 /a.wil [0]");

    EXPECT_EQ(RecentFileList::fromStored(list.storedValues()).entries(), list.entries());
}

TEST(RecentFiles, ParsingAnEntry) {
    const auto spaced = parseRecentFileEntry(
        recentFileEntry("/my games/map [v2]/Tiles [1].wil", TWMImagesKind::M3Def));
    ASSERT_TRUE(spaced);
    EXPECT_EQ(spaced->path, "/my games/map [v2]/Tiles [1].wil");
    EXPECT_EQ(spaced->kind, TWMImagesKind::M3Def);

    EXPECT_EQ(kindNumber(parseRecentFileEntry("/a.wil [abc]")->kind), 0);
    EXPECT_EQ(kindNumber(parseRecentFileEntry("/a.wil [12]tail")->kind), 12);
    EXPECT_EQ(kindNumber(parseRecentFileEntry("/a.wil [1000]")->kind), 1000 & 0xFF);
    EXPECT_EQ(kindNumber(parseRecentFileEntry("/a.wil [99999999999]")->kind),
              0);  // not a 32-bit number

    // Kind 130 keeps its number; the factory then looks at its low 7 bits only.
    const auto kind130 = parseRecentFileEntry("/a.wis [130]");
    ASSERT_TRUE(kind130);
    EXPECT_EQ(kindNumber(kind130->kind), 130);
    EXPECT_EQ(CreateWMImages(kind130->kind)->className(), "TWMM2WisImages");
    EXPECT_EQ(CreateWMImages(parseRecentFileEntry("/a [9]")->kind), nullptr);
    EXPECT_EQ(CreateWMImages(parseRecentFileEntry("/a [-1]")->kind), nullptr);  // 255

    for (const char* bad :
         {"", "/a.wil", "/a.wil[3]", "/a.wil [", "/a.wil []", " [3]", "/a.wil [3"}) {
        EXPECT_FALSE(parseRecentFileEntry(bad)) << bad;
    }
}

}  // namespace
}  // namespace vantoro
