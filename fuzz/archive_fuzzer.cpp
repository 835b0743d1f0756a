// One archive reader driven the way the program drives it: opened through
// the factory, every entry's type listed, and the first and last few
// entries decoded to a bitmap, drawn to a texture and read as a stream.
// Built once per reader; VANTORO_FUZZ_TARGET names the row of
// archive_inputs.cpp.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <span>
#include <string>

#include "archive/archive_reader.h"
#include "archive/open_archive.h"
#include "fuzz/archive_inputs.h"
#include "fuzz/scratch_files.h"
#include "io/file_writes.h"
#include "pixels/dx9_textures.h"

namespace vantoro::fuzz {
namespace {

// Entries decoded from each end of the index.
constexpr std::int32_t kEntriesDecoded = 4;

const ArchiveTarget& target() {
    static const ArchiveTarget* const found = [] {
        const ArchiveTarget* row = findArchiveTarget(VANTORO_FUZZ_TARGET);
        if (!row) std::abort();
        return row;
    }();
    return *found;
}

// The named failures may be raised; anything else escapes and is a fault.
template <typename Call>
void tolerateNamedFailures(Call&& call) {
    try {
        call();
    } catch (const ArchiveError&) {
    }
}

void exerciseEntry(TWMBaseImages& archive, std::int32_t index) {
    tolerateNamedFailures([&] {
        std::uint8_t dataType = 0;
        (void)archive.GetBitmap(index, dataType);
    });
    tolerateNamedFailures([&] {
        TDXImageTexture texture;
        (void)archive.DrawToTexture(index, &texture);
    });
    for (std::uint8_t mode = 0; mode <= 4; ++mode) {
        tolerateNamedFailures([&] { (void)archive.GetDataStream(index, mode); });
    }
}

// Every file operation of an edit fails, as on read-only media.
class WritesFail final : public ScopedFileFaults {
public:
    int before(FileOp, int, std::int64_t, std::int64_t) override { return EROFS; }
};

void writeFiles(const ArchiveTarget& row, const ArchiveFiles& files) {
    writeScratchFile(row.dataName, files.data);
    if (!files.hasIndex) {
        if (!row.indexName.empty()) removeScratchFile(row.indexName);
    } else if (row.journal) {
        std::vector<std::uint8_t> journal(files.index.begin(), files.index.end());
        sealJournal(journal, files.data);
        writeScratchFile(row.indexName, journal);
        // A journal of another file is set aside on opening, never replaced.
        removeScratchFile(std::string(row.indexName) + ".orphan");
    } else {
        writeScratchFile(row.indexName, files.index);
    }
}

void openAndRead(const ArchiveTarget& row) {
    OpenedArchive opening =
        openArchive(row.kind, scratchPath(row.dataName), std::string(row.password));
    tolerateNamedFailures([&] {
        if (opening.raised) std::rethrow_exception(opening.raised);
    });
    if (!opening.opened) return;
    const std::unique_ptr<TWMBaseImages> archive = std::move(opening.archive);

    const std::int32_t count = archive->FImageCount;
    for (std::int32_t i = 0; i < count; ++i) {
        tolerateNamedFailures([&] { (void)archive->GetDataType(i); });
    }
    for (std::int32_t i = 0; i < count && i < kEntriesDecoded; ++i) exerciseEntry(*archive, i);
    for (std::int32_t i = std::max(kEntriesDecoded, count - kEntriesDecoded); i < count; ++i) {
        exerciseEntry(*archive, i);
    }
    // Out of range on both sides, as a damaged selection would ask.
    exerciseEntry(*archive, -1);
    exerciseEntry(*archive, count);
}

void run(std::span<const std::uint8_t> input) {
    const ArchiveTarget& row = target();
    const ArchiveFiles files = splitArchiveInput(row, input);
    writeFiles(row, files);
    if (row.journal) {
        // The pack as the journal leaves it, shown without carrying it out;
        // then the files again, and the journal carried out on opening.
        {
            const WritesFail readOnly;
            openAndRead(row);
        }
        writeFiles(row, files);
    }
    openAndRead(row);
}

}  // namespace
}  // namespace vantoro::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vantoro::fuzz::run({data, size});
    return 0;
}
