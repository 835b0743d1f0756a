// vantoro-cli protect and unprotect through the built program: the exit
// status of each outcome and the pack it leaves.
#include <gtest/gtest.h>

#include "archive/my_image_images.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/pack_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;

const std::vector<testing::PackEntry> kEntries = {
    testing::packFile(47, 100, false, 1), testing::packFile(47, 200, false, 2),
    testing::packEmpty(), testing::packFile(63, 5000, true, 3)};

// The stored files a pack shows when opened with `password`.
std::vector<Bytes> filesShown(const std::string& path, const std::string& password) {
    const auto pack = testing::openPack(path, password);
    std::vector<Bytes> files;
    for (std::int32_t i = 0; i < pack->FImageCount; ++i) {
        const auto data = pack->GetDataStream(i, 0);
        files.push_back(data ? Bytes(data->begin(), data->end()) : Bytes{});
    }
    return files;
}

struct Row {
    const char* packPassword;  // the pack before; empty: plain
    const char* arguments;     // after "COMMAND PACK"
    int exitCode;
    const char* opensWith;  // the password the pack shows its entries with afterwards
};

void runRows(const char* command, std::initializer_list<Row> rows) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writePack(path, kEntries);
    const std::vector<Bytes> files = filesShown(path, "");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        testing::writePack(path, kEntries, {row.packPassword});
        EXPECT_EQ(testing::runBinary(std::string(command) + " " + path + " " + row.arguments),
                  row.exitCode);
        EXPECT_EQ(filesShown(path, row.opensWith), files);
    }
}

TEST(ProtectCommandTest, ProtectsAPlainPackOrChangesTheKeyOfAProtectedOne) {
    runRows("protect", {
                           {"", "--password key", 0, "key"},
                           {"key", "--password key", 1, "key"},
                           {"", "", 2, ""},
                           {"old", "--password old --new-password new", 0, "new"},
                           {"old", "--password wrong --new-password new", 1, "old"},
                           {"", "--password old --new-password new", 1, ""},
                           {"old", "--password old --new-password=", 2, "old"},
                       });
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writePack(path, kEntries);
    const auto run = testing::runWith({"protect", path, "--password", "longer than 8"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err,
              "vantoro-cli: warning: only the first 8 bytes of --password count (a single DES "
              "key); the rest is ignored\n");
    EXPECT_EQ(filesShown(path, "longer t").size(), kEntries.size());
}

TEST(UnprotectCommandTest, MakesAProtectedPackPlainWithItsPasswordOnly) {
    runRows("unprotect", {
                             {"key", "--password key", 0, ""},
                             {"key", "--password wrong", 1, "key"},
                             {"", "--password key", 1, ""},
                             {"key", "", 2, "key"},
                         });
    const auto help = testing::runWith({"unprotect", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Only its first 8 bytes count"), std::string::npos);
}

}  // namespace
}  // namespace vantoro
