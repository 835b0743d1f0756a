// Inserting and deleting at the front of a 512 MiB pack moves the whole tail
// of the file in place; BM_Memmove/512MiB moves the same tail bytes in
// memory, the floor for any in-place move, measured in the same run.
//
// BM_PackInsertFront opens a gap at entry 0, writes one 64 KiB entry into it
// and inserts its slot, as an insert-mode import does; BM_PackDeleteFront
// deletes entry 0 through the delete operation. Both run as the program runs
// them, through the edit journal that lets an interrupted edit be completed.
// Each iteration puts the pack back as it was outside the timing.
//
// BM_PackInsertFrontUnmapped is the insert where the file cannot be mapped,
// so that the move reads and writes it instead.
//
// What the reading gate costs: BM_PackEntryTypes reads every entry's type of
// the pack through a reader, each read a turn of the gate and a look at the
// header for another program's save; BM_PackEntryTypesUngated reads the same
// through a pack holding the editing lock, which reads as every reader did
// before the gate. BM_EditGate is what an edit adds: closing the gates to
// openers and readers and opening them again.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/my_image_images.h"
#include "edit/delete_entries.h"
#include "io/edit_journal.h"
#include "io/file_writes.h"
#include "tests/support/open_pack.h"
#include "tests/support/test_files.h"

namespace vantoro::bench {
namespace {

constexpr std::int64_t kPackBytes = std::int64_t{512} << 20;
constexpr std::size_t kEntryData = std::size_t{64} << 10;
constexpr std::int64_t kEntryBytes = kEntryData + kPackEntryHeaderSize;

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
    void open() { pack = testing::openPack(path); }
    // An insert-mode import's batch of one entry at index 0: the tail moved,
    // the entry written and the index saved, as one journaled edit.
    bool insertFront(std::span<const std::uint8_t> entry) {
        const std::int32_t batch[] = {0};
        return pack->insertBatch(0, entry, batch).ok();
    }
    bool deleteFront() {
        DefaultAnswers prompts;
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

// Times `edit`, and puts the pack back with `undo` outside the timing.
template <typename Edit, typename Undo>
void timeEdit(benchmark::State& state, Edit edit, Undo undo) {
    for (auto _ : state) {
        if (!edit()) state.SkipWithError("edit failed");
        state.PauseTiming();
        if (!undo()) state.SkipWithError("undo failed");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bigPack().tailBytes());
}

void BM_PackInsertFront(benchmark::State& state) {
    BigPack& big = bigPack();
    const std::vector<std::uint8_t> entry = storedEntry();
    timeEdit(
        state, [&] { return big.insertFront(entry); }, [&] { return big.deleteFront(); });
}

void BM_PackDeleteFront(benchmark::State& state) {
    BigPack& big = bigPack();
    const std::vector<std::uint8_t> entry = storedEntry();
    timeEdit(
        state, [&] { return big.deleteFront(); }, [&] { return big.insertFront(entry); });
}

// Refuses every mapping, as a file system without them would.
class NoMappings final : public ScopedFileFaults {
public:
    int before(FileOp op, int, std::int64_t, std::int64_t) override {
        return op == FileOp::Map ? ENODEV : 0;
    }
};

void BM_PackInsertFrontUnmapped(benchmark::State& state) {
    const NoMappings noMappings;
    BM_PackInsertFront(state);
}

std::int64_t readEntryTypes(TWMMyImageImages& pack) {
    std::int64_t sum = 0;
    for (std::int32_t i = 0; i < pack.FImageCount; ++i) sum += pack.GetDataType(i);
    return sum;
}

void BM_PackEntryTypes(benchmark::State& state) {
    const auto opened = testing::openPack(bigPack().path);
    TWMMyImageImages& reader = *opened;
    for (auto _ : state) benchmark::DoNotOptimize(readEntryTypes(reader));
    if (!reader.readRefusal().empty()) state.SkipWithError(reader.readRefusal().c_str());
    state.SetItemsProcessed(state.iterations() * reader.FImageCount);
}

void BM_PackEntryTypesUngated(benchmark::State& state) {
    BigPack& big = bigPack();
    if (!big.pack->FFileStream->tryLockForEditing()) state.SkipWithError("no lock");
    for (auto _ : state) benchmark::DoNotOptimize(readEntryTypes(*big.pack));
    big.pack->FFileStream->unlockForEditing();
    state.SetItemsProcessed(state.iterations() * big.pack->FImageCount);
}

void BM_EditGate(benchmark::State& state) {
    FileStream& stream = *bigPack().pack->FFileStream;
    for (auto _ : state) {
        if (!stream.tryLockForEditing() || !stream.closeToReaders()) {
            state.SkipWithError("gate not closed");
        }
        stream.openToReaders();
        stream.unlockForEditing();
    }
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
BENCHMARK(BM_PackInsertFront)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PackDeleteFront)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PackInsertFrontUnmapped)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PackEntryTypes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackEntryTypesUngated)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditGate)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantoro::bench
