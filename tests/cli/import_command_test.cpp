#include "cli/import_command.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <tuple>

#include "archive/open_archive.h"
#include "image_io/png_file.h"
#include "image_io/texel_rgba.h"
#include "pixels/pixel_format.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/format_fixtures.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/pack_writer.h"

namespace vantoro {
namespace {

using testing::CliRun;
using testing::runWith;

// Whether process `pid` has a handler of its own for SIGINT.
bool catchesInterrupt(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigCgt:")) {
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1) & 1) != 0;
        }
    }
    return false;
}

// The built vantoro-cli run with `args`, sent SIGINT (Ctrl-C) as soon as it
// catches it: its exit code, -1 when a signal ended it, and its error stream.
CliRun interruptBinary(const std::vector<std::string>& args, const std::string& errFile) {
    std::vector<std::string> words{VANTORO_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t streams;
    posix_spawn_file_actions_init(&streams);
    posix_spawn_file_actions_addopen(&streams, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&streams, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    CliRun run;
    const int spawned = posix_spawn(&pid, argv[0], &streams, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&streams);
    if (spawned != 0) return run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!catchesInterrupt(pid) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const testing::Bytes err = testing::readFile(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

// An entry as `vantoro-cli texture` shows it: drawn into a texture, as
// RGBA, with its size and offsets; nothing when it draws nothing.
struct Drawn {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int16_t px = 0;
    std::int16_t py = 0;
    testing::Bytes rgba;
    bool operator==(const Drawn&) const = default;
};

std::optional<Drawn> drawn(TWMBaseImages& archive, std::int32_t n) {
    TDXImageTexture texture;
    if (!archive.DrawToTexture(n, &texture)) return std::nullopt;
    Result<std::vector<std::uint8_t>> rgba = textureRgba(texture);
    if (!rgba) return std::nullopt;
    return Drawn{texture.GetWidth(), texture.GetHeight(), archive.FLastImageInfo.PX,
                 archive.FLastImageInfo.PY, std::move(*rgba)};
}

// An entry of a format that draws no textures (Wuyi) as drawing would show
// its bitmap: R5G6B5 words as A1R5G5B5.
std::optional<Drawn> drawnFromBitmap(TWMBaseImages& archive, std::int32_t n) {
    const std::optional<DibBitmap> bitmap = archive.GetBitmap(n);
    if (!bitmap || bitmap->bitCount() != 16) return std::nullopt;
    Drawn d{bitmap->width(),
            bitmap->height(),
            archive.FLastImageInfo.PX,
            archive.FLastImageInfo.PY,
            {}};
    for (std::int32_t y = 0; y < bitmap->height(); ++y) {
        for (std::int32_t x = 0; x < bitmap->width(); ++x) {
            const Rgba8 p = rgbaFromA1R5G5B5(R5G6B5ToA1R5G5B5[bitmap->row16(y)[x]]);
            d.rgba.insert(d.rgba.end(), {p.r, p.g, p.b, p.a});
        }
    }
    return d;
}

std::unique_ptr<TWMBaseImages> openAs(TWMImagesKind kind, const std::string& path,
                                      const std::string& password = "") {
    OpenedArchive opened = openArchive(kind, path, password);
    EXPECT_TRUE(opened.opened);
    return std::move(opened.archive);
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class ImportCommandTest : public ::testing::Test {
protected:
    ImportCommandTest() {
        testing::writePack(pack, {});
        std::filesystem::create_directories(dir.file("in/Placements"));
    }
    void png(const std::string& name, std::uint32_t width) {
        const testing::Bytes rgba(width * 2 * 4, 0x80);
        ASSERT_TRUE(savePng(PngRows{rgba, width, 2, PngLayout::Rgba8, 0}, dir.file(name)));
    }
    std::string list(const std::string& path) { return runWith({"list", path}).out; }

    testing::TempDir dir;
    std::string pack = dir.file("a.pak");
};

TEST_F(ImportCommandTest, FolderFilesGoInDisplayNameOrderWithTheirOffsets) {
    png("in/10.png", 4);
    png("in/9.png", 6);
    testing::writeFile(dir.file("in/Placements/10.txt"), {'7', '\r', '\n', '-', '8', '\r', '\n'});
    const CliRun run = runWith({"import", pack, "--format", "3", dir.file("in")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "vantoro-cli: 执行完成，是否退出导入界面？\n");
    EXPECT_EQ(list(pack), "0 31 4 2 7 -8 3\n1 31 6 2 0 0 3\n");
}

TEST_F(ImportCommandTest, QuestionsStopTheRunUnlessYesAndRefusalsExitOne) {
    png("in/a.png", 4);
    testing::writeFile(dir.file("in/b.txt"), {'x'});
    png("in/c.png", 4);
    const std::string unsupported =
        "vantoro-cli: " + dir.file("in/b.txt") + "\n未支持该文件类型或格式不正确，是否继续？\n";
    CliRun run = runWith({"import", pack, dir.file("in")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, unsupported + "vantoro-cli: 导入已停止，已存入 1 个文件\n");
    EXPECT_EQ(list(pack), "0 31 4 2 0 0 0\n");

    run = runWith({"import", pack, "--yes", "--mode", "insert", dir.file("in")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(list(pack), "0 31 4 2 0 0 0\n1 0 0 0 0 0 -1\n2 31 4 2 0 0 0\n3 31 4 2 0 0 0\n");

    EXPECT_EQ(runWith({"import", pack, "--content", "pictures", dir.file("in")}).code, 2);
    testing::writePack(pack, {testing::packFile(47, 200, false)}, {.password = "secret"});
    run = runWith({"import", pack, "--content", "empty"});
    testing::expectOneLineError(run, 1, "protected");
    EXPECT_EQ(runWith({"import", pack, "--password", "secret", "--content", "empty", "--count", "2",
                       "--mode", "insert"})
                  .code,
              0);
    EXPECT_EQ(runWith({"list", "--password", "secret", pack}).out,
              "0 0 0 0 0 0 -1\n1 0 0 0 0 0 -1\n2 47 0 0 0 0 -1\n");
}

// Ctrl-C ends the run after the file it is on: exit 130, the files stored
// so far counted and kept in a pack that reopens whole.
TEST_F(ImportCommandTest, InterruptStopsAfterTheCurrentFileAndKeepsWhatWasStored) {
    constexpr int kFiles = 300;
    for (int i = 0; i < kFiles; ++i) {
        testing::writeFile(dir.file("in/" + std::to_string(1000 + i) + ".dat"),
                           testing::Bytes(2048, static_cast<std::uint8_t>(i)));
    }
    const CliRun run =
        interruptBinary({"import", pack, "--content", "data", dir.file("in")}, dir.file("err"));
    ASSERT_EQ(run.code, 130) << run.err;
    const std::string prefix = "vantoro-cli: 导入已停止，已存入 ";
    ASSERT_TRUE(run.err.starts_with(prefix)) << run.err;
    const int stored = std::stoi(run.err.substr(prefix.size()));
    EXPECT_EQ(run.err, prefix + std::to_string(stored) + " 个文件\n");
    EXPECT_GE(stored, 1);
    EXPECT_LT(stored, kFiles);
    const std::string listing = list(pack);
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), stored) << listing;
    EXPECT_FALSE(std::filesystem::exists(pack + ".journal"));
    EXPECT_EQ(runWith({"data", pack, std::to_string(stored - 1), dir.file("last.dat")}).code, 0);
    EXPECT_EQ(testing::readFile(dir.file("last.dat")),
              testing::Bytes(2048, static_cast<std::uint8_t>(stored - 1)));
}

TEST_F(ImportCommandTest, FromAnotherArchiveKeepsOffsetsAndFormats) {
    const std::string source = dir.file("b.pak");
    testing::writePack(source,
                       {testing::packImage(6, 3, 2, true), testing::packImage(4, 2, 3, false)});
    const std::string wil = dir.file("Hum.wil");
    testing::writeM2Def(wil, {{2, 2, -3, 7, {1, 2, 3, 4}}});
    CliRun run = runWith({"import", pack, "--from", source, "--format-from-file"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(list(pack), list(source));
    // Several archives go in the order given.
    run = runWith({"import", pack, "--from", wil, "--from", source, "--mode", "insert"});
    EXPECT_EQ(run.code, 0) << run.err;
    const std::string listed = list(pack);
    EXPECT_EQ(listed.substr(0, 16), "0 31 2 2 -3 7 1\n");
    EXPECT_TRUE(listed.substr(16).starts_with("1 31 6 3 ")) << listed;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 5);
}

// Without a format option every entry of every kind comes into the pack as
// it was: drawn the same (size, offsets, every pixel and its alpha), a
// sound or data entry with its type and bytes, an empty entry empty. The
// entries that hold no image are counted as left empty.
TEST_F(ImportCommandTest, FromEveryKindDrawsEveryEntryAsTheSourceDoes) {
    for (const testing::FormatFixture& fixture : testing::formatFixtures()) {
        SCOPED_TRACE(fixture.name);
        const testing::TempDir here;
        for (const auto& [name, bytes] : fixture.files) testing::writeFile(here.file(name), bytes);
        const std::string source = here.file(fixture.dataFile);
        const std::string target = here.file("out.pak");
        testing::writePack(target, {});
        std::vector<std::string> args = {"import", target,
                                         "--from", source,
                                         "--kind", std::to_string(static_cast<int>(fixture.kind))};
        if (!fixture.password.empty()) args.insert(args.end(), {"--password", fixture.password});
        const CliRun run = runWith(args);
        ASSERT_EQ(run.code, 0) << run.err;
        const bool fromPack = fixture.kind == TWMImagesKind::MyImage;
        const int unstorable = fromPack ? 0 : fixture.entries - fixture.imageEntries;
        EXPECT_NE(run.err.find(" " + std::to_string(unstorable) + " could not be stored"),
                  std::string::npos)
            << run.err;
        const auto from = openAs(fixture.kind, source, fixture.password);
        const auto into = testing::openPack(target);
        ASSERT_EQ(into->FImageCount, fixture.entries);
        for (std::int32_t n = 0; n < fixture.entries; ++n) {
            SCOPED_TRACE(n);
            const std::optional<Drawn> want = drawn(*from, n);
            EXPECT_EQ(drawn(*into, n), want ? want : drawnFromBitmap(*from, n));
            const std::uint8_t type = from->GetDataType(n);
            if (type == kDataTypeImage) continue;
            EXPECT_EQ(into->GetDataType(n), type);
            EXPECT_EQ(into->GetDataStream(n, 0), from->GetDataStream(n, 0));
        }
    }
}

// With a format option each image is converted as asked; the transparent
// colour keeps its transparency in format 3 as in formats 0 and 1.
TEST_F(ImportCommandTest, FromWithAFormatConvertsAsAskedAndKeepsTheColourKey) {
    const std::string wil16 = dir.file("h16.wil");
    testing::writeM2Def(wil16, {{2, 2, 4, 5, {0x0000, 0xFFFF, 0xF800, 0x001F}}},
                        {.sixteenBit = true});
    const std::string wil8 = dir.file("h8.wil");
    testing::writeM2Def(wil8, {{2, 2, 4, 5, {0, 0, 0, 0}}});
    using Rgba = std::array<std::uint8_t, 4>;
    constexpr Rgba kClear = {0, 0, 0, 0};
    constexpr Rgba kBlack = {0, 0, 0, 255};
    constexpr Rgba kWhite = {255, 255, 255, 255};
    struct Case {
        std::string source;
        std::vector<std::string> options;
        Rgba first;  // pixel 0: the transparent 0
        Rgba second;
    };
    const Case cases[] = {
        {wil16, {"--format", "3"}, kClear, kWhite},
        {wil16, {"--format", "1"}, kClear, kWhite},
        {wil16, {"--format", "0"}, kClear, kWhite},
        {wil16, {"--format", "2"}, kBlack, kWhite},  // R5G6B5 has no transparency
        {wil16, {"--format", "3", "--transparent", "FFFFFF"}, kBlack, {255, 255, 255, 0}},
        {wil8, {"--format", "3"}, kClear, kClear},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " " + c.options[1] + (c.options.size() > 2 ? " keyed" : ""));
        testing::writePack(pack, {});
        std::vector<std::string> args = {"import", pack, "--from", c.source};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun run = runWith(args);
        ASSERT_EQ(run.code, 0) << run.err;
        const auto into = testing::openPack(pack);
        const std::optional<Drawn> got = drawn(*into, 0);
        ASSERT_TRUE(got);
        EXPECT_EQ(std::make_tuple(got->width, got->height, got->px, got->py),
                  std::make_tuple(2, 2, 4, 5));
        EXPECT_EQ(into->FLastImageFormat, std::stoi(c.options[1]));
        EXPECT_TRUE(std::equal(c.first.begin(), c.first.end(), got->rgba.begin()));
        EXPECT_TRUE(std::equal(c.second.begin(), c.second.end(), got->rgba.begin() + 4));
    }
}

// Ctrl-C during --from: exit 130 with the entries stored so far kept, and
// no temporary files anywhere: the run does not need a temporary folder.
TEST_F(ImportCommandTest, FromStopsOnInterruptWithoutTemporaryFiles) {
    std::vector<testing::M2Image> images;
    for (int i = 0; i < 300; ++i) images.push_back(testing::patternImage(64, 64, true, i));
    const std::string wil = dir.file("many.wil");
    testing::writeM2Def(wil, images, {.sixteenBit = true});
    const std::string temporary = dir.file("tmp");
    const ScopedEnv tmpdir("TMPDIR", temporary);
    const CliRun run = interruptBinary({"import", pack, "--from", wil}, dir.file("err"));
    ASSERT_EQ(run.code, 130) << run.err;
    const std::string prefix = "vantoro-cli: 导入已停止，已存入 ";
    ASSERT_TRUE(run.err.starts_with(prefix)) << run.err;
    const int stored = std::stoi(run.err.substr(prefix.size()));
    EXPECT_GE(stored, 1);
    EXPECT_LT(stored, 300);
    const std::string listing = list(pack);
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), stored) << listing;
    EXPECT_FALSE(std::filesystem::exists(temporary));
}

TEST_F(ImportCommandTest, OffsetsOnlyAndImageOnlyChangeWhatTheySay) {
    testing::writePack(pack, {testing::packImage(6, 3, 2, true), testing::packEmpty(),
                              testing::packImage(4, 2, 3, false)});
    struct Row {
        std::vector<std::string> args;
        std::string listed;
    };
    testing::writeFile(dir.file("in/o.txt"), {'1', '2', ' ', '3', '4', '\n'});
    png("in/p.png", 8);
    const Row rows[] = {
        {{"--offsets-from", "fixed", "--offsets", "+5,_3", "--end", "2"},
         "0 31 6 3 6 -6 2\n1 0 0 0 0 0 -1\n2 31 4 2 6 -6 3\n"},
        {{"--offsets-from", "fixed", "--offsets", "10,-2", "--start", "2", "--end", "2"},
         "0 31 6 3 6 -6 2\n1 0 0 0 0 0 -1\n2 31 4 2 10 -2 3\n"},
        {{"--start", "2", dir.file("in/o.txt")},
         "0 31 6 3 6 -6 2\n1 0 0 0 0 0 -1\n2 31 4 2 12 34 3\n"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"import", pack, "--what", "offsets"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const CliRun run = runWith(args);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(list(pack), row.listed);
    }
    const CliRun run = runWith({"import", pack, "--what", "image", dir.file("in/p.png")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(list(pack).substr(0, 16), "0 31 8 2 6 -6 0\n");
}

}  // namespace
}  // namespace vantoro
