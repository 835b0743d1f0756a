// Inserting and deleting at the front of a 512 MiB pack moves the whole tail
// of the file in place; BM_Memmove/512MiB moves the same tail bytes in
// memory, the floor for any in-place move, measured in the same run.
//
// BM_PageCacheMove/512MiB moves them inside the pack's file through the page
// cache, 256 KiB at a time with pread and pwrite, and no journal: the floor
// for an in-place move of a file, and the cost the journal adds is the
// difference to the edits.
//
// BM_PackInsertFront opens a gap at entry 0, writes one 64 KiB entry into it
// and inserts its slot, as an insert-mode import does; BM_PackDeleteFront
// deletes entry 0 through the delete operation. Both run as the program runs
// them, through the edit journal that lets an interrupted edit be completed.
// Each iteration puts the pack back as it was outside the timing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/my_image_images.h"
#include "edit/delete_entries.h"
#include "io/edit_journal.h"
#include "tests/support/test_files.h"

namespace vantoro::bench {
namespace {

constexpr std::int64_t kPackBytes = std::int64_t{512} << 20;
constexpr std::size_t kEntryData = std::size_t{64} << 10;
constexpr std::int64_t kEntryBytes = kEntryData + kPackEntryHeaderSize;

class SilentPrompts final : public PromptSeam {
public:
    PromptAnswer ask(const Prompt& prompt) override { return prompt.defaultAnswer; }
    std::optional<std::string> input(const InputPrompt&) override { return std::nullopt; }
};

TPackEntryHeader dataHeader() {
    TPackEntryHeader header{};
    header.dataType = kDataTypeRaw;
    header.dataLength = static_cast<std::int32_t>(kEntryData);
    return header;
}

// A pack of 64 KiB data entries, about 512 MiB, written once per run.
struct BigPack {
    BigPack() {
        const PackHeaderBytes header = newPackHeader(packTimeNow());
        testing::writeFile(path, testing::Bytes(header.begin(), header.end()));
        open();
        std::vector<std::uint8_t> data(kEntryData);
        for (std::int64_t n = 0; n * kEntryBytes < kPackBytes; ++n) {
            std::memset(data.data(), static_cast<int>(n), data.size());
            pack->AppendEntry(dataHeader(), data);
        }
        pack->SaveIndex();
        recache();
    }
    // Caches the file as a pack opened from disk is cached: written out,
    // dropped and read back, rather than in the many small pages its appends
    // left, which make every later move through the page cache slower.
    void recache() const {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
        while (::read(fd, buffer.data(), buffer.size()) > 0) {
        }
        ::close(fd);
    }
    void open() {
        pack = std::make_unique<TWMMyImageImages>();
        pack->FFileName = path;
        pack->FUseTextureCache = false;
        pack->Initialize();
    }
    // An insert-mode import's batch of one entry at index 0: the tail moved,
    // the entry written and the index saved, as one journaled edit.
    bool insertFront(std::span<const std::uint8_t> entry) {
        const std::int32_t batch[] = {0};
        return pack->insertBatch(0, entry, batch).ok();
    }
    bool deleteFront() {
        SilentPrompts prompts;
        return deleteEntries(*pack, {0, 0, false}, prompts).outcome == EditOutcome::Done;
    }
    std::int64_t tailBytes() const { return pack->dataEnd() - kPackDataStart; }

    testing::TempDir dir;
    std::string path = dir.file("big.pak");
    std::unique_ptr<TWMMyImageImages> pack;
};

BigPack& bigPack() {
    static BigPack pack;
    return pack;
}

std::vector<std::uint8_t> storedEntry() {
    std::vector<std::uint8_t> entry(kEntryBytes, 0x5A);
    const auto header = PackEntryHeader(dataHeader(), RandomSource::program());
    std::copy(header->begin(), header->end(), entry.begin());
    return entry;
}

void BM_PackInsertFront(benchmark::State& state) {
    BigPack& big = bigPack();
    const std::vector<std::uint8_t> entry = storedEntry();
    for (auto _ : state) {
        if (!big.insertFront(entry)) state.SkipWithError("insert failed");
        state.PauseTiming();
        if (!big.deleteFront()) state.SkipWithError("delete failed");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * big.tailBytes());
}

void BM_PackDeleteFront(benchmark::State& state) {
    BigPack& big = bigPack();
    const std::vector<std::uint8_t> entry = storedEntry();
    for (auto _ : state) {
        if (!big.deleteFront()) state.SkipWithError("delete failed");
        state.PauseTiming();
        if (!big.insertFront(entry)) state.SkipWithError("insert failed");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * big.tailBytes());
}

// Moves `count` bytes at `from` to `to` in pieces, walking the way that never
// overwrites bytes not yet read.
void moveInFile(int fd, std::int64_t from, std::int64_t to, std::int64_t count,
                benchmark::State& state) {
    std::vector<std::uint8_t> piece(kFileMoveChunk);
    for (std::int64_t done = 0; done < count;) {
        const auto n =
            std::min<std::int64_t>(static_cast<std::int64_t>(piece.size()), count - done);
        const std::int64_t offset = to < from ? done : count - done - n;
        if (::pread(fd, piece.data(), static_cast<std::size_t>(n), from + offset) != n ||
            ::pwrite(fd, piece.data(), static_cast<std::size_t>(n), to + offset) != n) {
            state.SkipWithError("move failed");
            return;
        }
        done += n;
    }
}

// The tail behind entry 0 moved by one entry in the pack's file, up and down
// in turn. The pack is put back as it was afterwards: the tail moved down
// again, the index behind it that the moves overwrite, and the file's size.
void BM_PageCacheMove(benchmark::State& state) {
    BigPack& big = bigPack();
    const std::int64_t low = kPackDataStart + kEntryBytes;
    const std::int64_t tail = big.tailBytes() - kEntryBytes;
    const int fd = ::open(big.path.c_str(), O_RDWR | O_CLOEXEC);
    struct stat info {};
    std::vector<std::uint8_t> above(kEntryBytes);
    const ssize_t aboveBytes = fd < 0 || ::fstat(fd, &info) != 0
                                   ? -1
                                   : ::pread(fd, above.data(), above.size(), low + tail);
    if (aboveBytes < 0) {
        state.SkipWithError("cannot read the pack");
        if (fd >= 0) ::close(fd);
        return;
    }
    bool up = true;
    for (auto _ : state) {
        moveInFile(fd, up ? low : low + kEntryBytes, up ? low + kEntryBytes : low, tail, state);
        up = !up;
    }
    if (!up) moveInFile(fd, low + kEntryBytes, low, tail, state);
    if (::pwrite(fd, above.data(), static_cast<std::size_t>(aboveBytes), low + tail) !=
            aboveBytes ||
        ::ftruncate(fd, info.st_size) != 0) {
        state.SkipWithError("cannot put the pack back");
    }
    ::close(fd);
    state.SetBytesProcessed(state.iterations() * tail);
}

// The tail behind entry 0 moved by one entry in memory, up and down in turn.
void BM_Memmove(benchmark::State& state) {
    const auto tail = static_cast<std::size_t>(bigPack().tailBytes() - kEntryBytes);
    std::vector<std::uint8_t> bytes(tail + kEntryBytes, 1);
    bool up = true;
    for (auto _ : state) {
        std::uint8_t* low = bytes.data();
        std::uint8_t* high = low + kEntryBytes;
        std::memmove(up ? high : low, up ? low : high, tail);
        benchmark::DoNotOptimize(bytes.data());
        up = !up;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(tail));
}

BENCHMARK(BM_Memmove)->Name("BM_Memmove/512MiB")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PageCacheMove)
    ->Name("BM_PageCacheMove/512MiB")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PackInsertFront)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PackDeleteFront)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vantoro::bench
