// Commands that must fail, or say why they show nothing, without changing a
// file: files that are not packs, a pack opened without its password,
// pictures a pack cannot store, an overwrite whose range disagrees with the
// files, archives that opened empty, and malformed arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "image_io/png_file.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/pack_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::CliRun;
using testing::runWith;

class CliRefusalsTest : public ::testing::Test {
protected:
    CliRefusalsTest() { writeFiles(); }

    // Written again before each case, so that one case's damage cannot
    // decide the next.
    void writeFiles() {
        std::vector<testing::PackEntry> images;
        for (std::uint32_t i = 0; i < 10; ++i) {
            images.push_back(testing::packImage(4, 2, 0, true, i));
        }
        testing::writePack(file("q.pak"), images);
        // A compressed Mir2 archive without its Items.wzx.
        std::filesystem::copy_file(file("q.pak"), file("Items.wil"),
                                   std::filesystem::copy_options::overwrite_existing);
        testing::writePack(file("s.pak"), {testing::packFile(47, 200, false)}, {.password = "key"});
        testing::writeFile(file("zero.pak"), Bytes(5000, 0));
        // A tar header: a name, then zeros where a pack keeps its index.
        Bytes tar(1024, 0);
        std::copy_n("notes.txt", 9, tar.begin());
        testing::writeFile(file("backup.tar"), tar);
        png("good.png", 4);
        png("wide.png", 4096);
        Bytes cut = testing::readFile(file("good.png"));
        testing::truncateTo(cut, cut.size() / 2);
        testing::writeFile(file("cut.png"), cut);
    }

    std::string file(const std::string& name) const { return dir.file(name); }
    void png(const std::string& name, std::uint32_t width) {
        const Bytes rgba(std::size_t{width} * 2 * 4, 0x80);
        ASSERT_TRUE(savePng(PngRows{rgba, width, 2, PngLayout::Rgba8, 0}, file(name)));
    }
    // What a command could change: the entries of the packs, the bytes of
    // the files that are not packs.
    std::map<std::string, std::string> contents() const {
        std::map<std::string, std::string> seen;
        for (const char* pack : {"q.pak", "s.pak"}) {
            seen[pack] = runWith({"list", "--password", "key", file(pack)}).out;
        }
        for (const char* other : {"zero.pak", "backup.tar"}) {
            const Bytes bytes = testing::readFile(file(other));
            seen[other] = std::string(bytes.begin(), bytes.end());
        }
        return seen;
    }

    testing::TempDir dir;
};

TEST_F(CliRefusalsTest, EachCaseExitsAsItShouldSaysWhyOnceAndChangesNothing) {
    const std::string locked = "the pack is protected; its password is missing or wrong";
    const std::string unsupported = "未支持该文件类型或格式不正确，是否继续？";
    const std::string noIndex = "Items.WZX is missing";
    struct Case {
        std::vector<std::string> args;  // "@name" is the test folder's file
        int code;
        std::string said;  // once on standard error
    };
    const Case cases[] = {
        // Only packs are edited, found by the kind rule of every command.
        {{"import", "@backup.tar", "@good.png"}, 2, "pass --kind N"},
        {{"import", "--kind", "3", "@backup.tar", "@good.png"}, 1, "not a pack"},
        {{"import", "@zero.pak", "@good.png"}, 1, "not a pack"},
        {{"import", "@zero.pak", "--what", "offsets", "--offsets-from", "fixed", "--offsets", "1,1",
          "--end", "0"},
         1,
         "not a pack"},
        {{"delete", "@zero.pak", "0", "0"}, 1, "not a pack"},
        {{"protect", "@zero.pak", "--password", "key"}, 1, "not a pack"},
        {{"import", "@missing.pak", "@good.png"}, 2, "`vantoro-cli new"},
        // A protected pack without its password.
        {{"info", "@s.pak"}, 0, locked},
        {{"list", "@s.pak"}, 0, locked},
        {{"data", "@s.pak", "0", "@out.dat"}, 1, locked},
        {{"export", "@s.pak", "0", "0", "@out"}, 1, locked},
        {{"delete", "@s.pak", "0", "0"}, 1, locked},
        // Pictures a pack cannot store are asked about.
        {{"import", "@q.pak", "@cut.png"}, 1, unsupported},
        {{"import", "@q.pak", "@wide.png"}, 1, unsupported},
        // An overwrite range that disagrees with the files.
        {{"import", "@q.pak", "--mode", "overwrite", "--start", "5", "--end", "8", "@good.png",
          "@good.png", "@good.png"},
         1,
         "文件数量与编号设置不相同，无法完成覆盖！"},
        // An archive that opened empty says why.
        {{"bitmap", "--kind", "7", "@Items.wil", "0", "@out.bmp"}, 1, noIndex},
        {{"export", "--kind", "7", "@Items.wil", "0", "0", "@out"}, 1, noIndex},
        // Malformed arguments are usage errors.
        {{"export", "@q.pak", "a", "b", "@out"}, 2, "bad FIRST 'a'"},
        {{"delete", "@q.pak", "0", "x"}, 2, "bad LAST 'x'"},
        {{"info", "--kind", "9", "@q.pak"}, 2, "bad archive kind '9'"},
        {{"import", "@q.pak", "--from", "@q.pak", "@s.pak"}, 2, "its own --from"},
    };
    for (const Case& c : cases) {
        writeFiles();
        const auto before = contents();
        std::vector<std::string> args;
        std::string shown;
        for (const std::string& word : c.args) {
            args.push_back(word.starts_with('@') ? file(word.substr(1)) : word);
            shown += word + ' ';
        }
        SCOPED_TRACE(shown);
        const CliRun run = runWith(args);
        EXPECT_EQ(run.code, c.code) << run.err;
        const std::size_t at = run.err.find(c.said);
        EXPECT_NE(at, std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(c.said, at + 1), std::string::npos) << run.err;
        const auto after = contents();
        for (const auto& [name, content] : before) {
            EXPECT_TRUE(after.at(name) == content) << name << " changed";
        }
    }
}

TEST_F(CliRefusalsTest, SeveralFromArchivesGiveTheirEntriesInOrder) {
    testing::writePack(file("b.pak"), {testing::packImage(6, 3, 2, false)});
    ASSERT_EQ(runWith({"new", file("a.pak")}).code, 0);
    const CliRun run = runWith({"import", file("a.pak"), "--from", file("b.pak"), "--from",
                                file("q.pak"), "--format-from-file"});
    EXPECT_EQ(run.code, 0) << run.err;
    // The lines without their numbers.
    const auto entries = [&](const std::string& pack) {
        std::istringstream lines(runWith({"list", file(pack)}).out);
        std::string entries;
        for (std::string line; std::getline(lines, line);) entries += line.substr(line.find(' '));
        return entries;
    };
    EXPECT_EQ(entries("a.pak"), entries("b.pak") + entries("q.pak"));
}

}  // namespace
}  // namespace vantoro
