// A seeded damage sweep over every format: valid archives built in memory
// have about 1% of their bytes changed (in one of their files or in all of
// them), again and again, and are then opened and read entry by entry. Any outcome is acceptable
// except a crash, an access outside a buffer (the sanitizer build checks that), a hang, or an
// exception other than the named archive errors. A failure prints the seed
// and case number so it can be replayed.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "archive/archive_reader.h"
#include "archive/open_archive.h"
#include "tests/support/format_fixtures.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using namespace vantoro::testing;

constexpr std::uint32_t kSeed = 0x5EED2026;
constexpr int kCasesPerFormat = 400;

int decodableEntries(const std::string& path, const FormatFixture& fixture) {
    const OpenedArchive opened = openArchive(fixture.kind, path, fixture.password);
    if (opened.raised) std::rethrow_exception(opened.raised);
    if (!opened.opened) return -1;
    TWMBaseImages* archive = opened.archive.get();
    int decoded = 0;
    for (std::int32_t i = 0; i < archive->FImageCount; ++i)
        decoded += archive->GetBitmap(i).has_value();
    return decoded;
}

// Changes about 1% of the bytes from `from` on (at least one); now and then
// cuts the file.
void damage(Bytes& bytes, std::size_t from, std::mt19937& random) {
    if (bytes.size() <= from) return;
    std::uniform_int_distribution<std::size_t> position(from, bytes.size() - 1);
    std::uniform_int_distribution<int> value(0, 255);
    const std::size_t changes = std::max<std::size_t>(1, bytes.size() / 100);
    for (std::size_t i = 0; i < changes; ++i)
        bytes[position(random)] = static_cast<std::uint8_t>(value(random));
    if (random() % 8 == 0) truncateTo(bytes, position(random));
}

// Opens the archive and reads every entry both ways; answers an error text
// for anything but a clean outcome or a named archive error.
std::string exercise(const std::string& path, const FormatFixture& fixture) {
    OpenedArchive opened = openArchive(fixture.kind, path, fixture.password);
    if (!opened.archive)
        return "no class for kind " + std::to_string(static_cast<int>(fixture.kind));
    const std::unique_ptr<TWMBaseImages> archive = std::move(opened.archive);
    try {
        if (opened.raised) std::rethrow_exception(opened.raised);
        if (!opened.opened) return {};
    } catch (const ArchiveError&) {
        // A named failure; the entries listed before it stay usable.
    } catch (const std::exception& error) {
        return std::string("Initialize raised ") + error.what();
    }
    TDXImageTexture texture;
    for (std::int32_t i = -1; i <= archive->FImageCount; ++i) {
        try {
            archive->GetBitmap(i);
        } catch (const ArchiveError&) {
        } catch (const std::exception& error) {
            return "GetBitmap(" + std::to_string(i) + ") raised " + error.what();
        }
        try {
            archive->DrawToTexture(i, &texture);
            archive->GetDataType(i);
            archive->GetDataStream(i, 0);
        } catch (const std::exception& error) {
            return "entry " + std::to_string(i) + " raised " + error.what();
        }
    }
    return {};
}

TEST(DamageSweepTest, DamagedArchivesOfEveryFormatFailCleanly) {
    TempDir dir;
    for (const FormatFixture& fixture : formatFixtures()) {
        // The undamaged archive must open and decode, or the sweep proves nothing.
        for (const auto& [name, bytes] : fixture.files) writeFile(dir.file(name), bytes);
        ASSERT_EQ(decodableEntries(dir.file(fixture.dataFile), fixture), fixture.imageEntries)
            << fixture.name;

        std::mt19937 random(kSeed);
        for (int caseNumber = 0; caseNumber < kCasesPerFormat; ++caseNumber) {
            // One file, or (victim == size) every file at once.
            const std::size_t victim = random() % (fixture.files.size() + 1);
            for (std::size_t f = 0; f < fixture.files.size(); ++f) {
                Bytes bytes = fixture.files[f].second;
                if (f == victim || victim == fixture.files.size())
                    damage(bytes, f == 0 ? fixture.firstReadByte : 0, random);
                writeFile(dir.file(fixture.files[f].first), bytes);
            }
            const std::string problem = exercise(dir.file(fixture.dataFile), fixture);
            ASSERT_EQ(problem, "") << fixture.name << ": seed " << kSeed << ", case " << caseNumber;
        }
        for (const auto& file : fixture.files) std::filesystem::remove(dir.file(file.first));
    }
}

}  // namespace
}  // namespace vantoro
