#include "edit/import_entries.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <variant>

#include "archive/my_image_images.h"
#include "archive/pack_cipher.h"
#include "archive/pack_rle.h"
#include "edit/edit_messages.h"
#include "edit/import_text.h"
#include "edit/pack_file_check.h"
#include "edit/source_files.h"
#include "edit/staging_batch.h"
#include "image_io/load_picture.h"
#include "io/random_source.h"

namespace vantoro {
namespace {

constexpr std::int32_t kMaxEmptyCount = 100000;
constexpr std::uint8_t kMaxPixelFormat = 3;
constexpr std::int64_t kEntryHeaderBytes = static_cast<std::int64_t>(kPackEntryHeaderSize);

// What one line of the list gives.
struct NewEntry {
    TPackEntryHeader header;
    std::vector<std::uint8_t> data;
};
struct Placeholder {
    bool movesProgress = true;  // false after a question or the size check
};
struct EndRun {};
using LineResult = std::variant<NewEntry, Placeholder, EndRun>;

// The answer to a question about one file: OK leaves a placeholder.
LineResult askAboutFile(PromptSeam& prompts, const Prompt& prompt) {
    if (prompts.ask(prompt) == PromptAnswer::Ok) return Placeholder{false};
    return EndRun{};
}

std::size_t rleEncode(std::span<const std::uint8_t> source, std::span<std::uint8_t> target,
                      std::uint8_t bytesPerPixel, std::size_t pixelCount) {
    return RleEncode(source, target, bytesPerPixel, pixelCount).value_or(0);
}

// Pictures are stored only with sides in kMinImportSide..kMaxImportSide.
enum class Sides : std::uint8_t { TooSmall, Fit, TooLarge };

Sides sidesOf(const Picture& picture) {
    if (picture.width > kMaxImportSide || picture.height > kMaxImportSide) return Sides::TooLarge;
    if (picture.width < kMinImportSide || picture.height < kMinImportSide) return Sides::TooSmall;
    return Sides::Fit;
}

// An upper bound of what a file of `size` bytes takes in the pack, deflated
// or not.
std::int64_t storedBound(std::int64_t size, bool compress) {
    const std::int64_t deflateSlack = compress ? size / 1000 + 64 : 0;
    return kEntryHeaderBytes + size + deflateSlack;
}

class ImportRun {
public:
    ImportRun(TWMMyImageImages& pack, const ImportRequest& request,
              const std::vector<TImportFileItem>& files, PromptSeam& prompts,
              const ProgressSink& progress, const StopCheck& stop, const OffThreadRunner& offThread)
        : m_pack(pack),
          m_request(request),
          m_files(files),
          m_prompts(prompts),
          m_progress(progress),
          m_stop(stop),
          m_offThread(offThread),
          m_target(request.start) {}

    // The file run; the pack's index is saved whatever ended it. Only a run
    // that went through every line says it is done; one that stopped says
    // how many files it stored.
    EditResult run() {
        if (m_progress) m_progress(0);
        for (std::size_t i = 0; i < m_files.size() && !m_ended; ++i) {
            runLine(i);
            // A stop after the last line has nothing left to stop.
            if (i + 1 < m_files.size() && m_stop && m_stop()) m_ended = true;
        }
        if (!m_batch.empty() && !flush()) m_ended = true;
        // All offsets of the run change in one edit.
        if (Status s = m_pack.setOffsetsOf(m_offsetChanges); !s) {
            endWith(s.error());
        } else {
            m_stored += static_cast<std::int64_t>(m_offsetChanges.size());
        }
        // An empty pack whose header already says so has nothing to save;
        // SaveIndex answers 0 for that too, without a failure.
        if (m_pack.SaveIndex() == 0 && m_failure.empty() && !m_pack.FIndexList.empty()) {
            m_failure = "cannot save the index: " + m_pack.lastError();
        }
        const bool stopped = m_ended || !m_failure.empty();
        // Lines skipped after a question do not move the bar as they pass,
        // but a run that went through every line has done them all.
        if (!stopped) showPercent(100);
        m_prompts.ask(stopped ? importStoppedPrompt(m_stored)
                              : editPrompt(EditMessage::ImportDoneLeave));
        if (!m_failure.empty()) return {EditOutcome::Failed, m_failure};
        return {m_ended ? EditOutcome::Refused : EditOutcome::Done, {}};
    }

private:
    void runLine(std::size_t i) {
        const TImportFileItem& item = m_files[i];
        if (m_request.content == ImportContent::Image &&
            m_request.part == ImageImportPart::OffsetsOnly) {
            const Result<FixedOffsets> read = readFirstLineOffsets(item.FileName);
            const FixedOffsets offsets = read ? *read : FixedOffsets{};
            m_offsetChanges.push_back({m_request.start + static_cast<std::int32_t>(i),
                                       static_cast<std::int16_t>(offsets.x),
                                       static_cast<std::int16_t>(offsets.y)});
            showProgress(i);
            return;
        }
        LineResult result = lineEntry(i, item);
        if (std::holds_alternative<EndRun>(result)) {
            m_ended = true;
            return;
        }
        if (const auto* placeholder = std::get_if<Placeholder>(&result)) {
            if (!addPlaceholder()) return;
            if (placeholder->movesProgress) showProgress(i);
            return;
        }
        if (store(std::get<NewEntry>(std::move(result)), item.FileName)) showProgress(i);
    }

    LineResult lineEntry(std::size_t i, const TImportFileItem& item) {
        switch (m_request.content) {
            case ImportContent::Image:
                return imageEntry(i, item);
            case ImportContent::Sound:
                return fileEntry(item, true);
            case ImportContent::Data:
            case ImportContent::Empty:
                break;
        }
        return fileEntry(item, false);
    }

    void runOffThread(const std::function<void()>& work) {
        if (m_offThread) {
            m_offThread(work);
        } else {
            work();
        }
    }

    LineResult imageEntry(std::size_t i, const TImportFileItem& item) {
        const ImportRequest& r = m_request;
        ConvertOptions options = r.convert;
        if (r.formatFromFile) {
            // Converted as if the file's format had been chosen, so that data
            // and header agree.
            options.format = item.Format;
            options.hasAlpha = item.Format == 0 || item.Format == kMaxPixelFormat;
        }
        std::optional<Result<Picture>> loaded;
        std::optional<std::vector<std::uint8_t>> data;  // none: no picture or no data
        runOffThread([&] {
            loaded.emplace(LoadPicture(item.FileName));
            if (!*loaded || sidesOf(**loaded) != Sides::Fit) return;
            Result<std::vector<std::uint8_t>> converted =
                ConvertPicture(**loaded, options, rleEncode);
            if (converted) data = std::move(*converted);
        });
        const Result<Picture>& picture = *loaded;
        if (!picture) return askAboutFile(m_prompts, unsupportedFilePrompt(item.FileName));
        // A picture too large for a pack is asked about like one that cannot
        // be read: an empty entry left unasked would pass for a stored
        // picture. One too small is what export writes for an entry it
        // cannot write, and becomes the empty entry it stands for.
        switch (sidesOf(*picture)) {
            case Sides::TooLarge:
                return askAboutFile(m_prompts, unsupportedFilePrompt(item.FileName));
            case Sides::TooSmall:
                return Placeholder{false};
            case Sides::Fit:
                break;
        }
        if (!data) return Placeholder{};
        TPackEntryHeader header;
        if (r.part == ImageImportPart::ImageOnly) {
            header = m_pack.ReadEntryHeader(r.start + static_cast<std::int32_t>(i));
        } else if (r.offsetsFrom == OffsetsSource::Files) {
            header = TPackEntryHeader{.x = item.X, .y = item.Y};
        } else {
            const FixedOffsets fixed = parseFixedOffsets(r.offsetsText);
            header = TPackEntryHeader{.x = static_cast<std::int16_t>(fixed.x),
                                      .y = static_cast<std::int16_t>(fixed.y)};
        }
        header.width = static_cast<std::uint16_t>(picture->width);
        header.height = static_cast<std::uint16_t>(picture->height);
        header.dataType = kDataTypeImage;
        header.compressed = r.convert.rle ? 1 : 0;
        header.dataLength = static_cast<std::int32_t>(data->size());
        header.blendCode = r.blendCode;
        header.pixelFormat = options.format;
        return NewEntry{header, std::move(*data)};
    }

    LineResult fileEntry(const TImportFileItem& item, bool sound) {
        const std::string& path = item.FileName;
        std::uint8_t type = kDataTypeRaw;
        if (sound) {
            const Result<std::uint8_t> detected = DetectSoundType(path);
            type = detected ? *detected : std::uint8_t{0};
            if (type == 0) return askAboutFile(m_prompts, unsupportedFilePrompt(path));
        }
        const std::int64_t size = FileSizeOf(path);
        if (size > kMaxImportFileSize || size < 1) {
            return askAboutFile(m_prompts, fileTooLargePrompt(path, size));
        }
        const bool zip = sound ? m_request.soundZip : m_request.dataZip;
        const int level = sound ? m_request.soundLevel : m_request.dataLevel;
        // The reader inflates no more than this; larger files stay as they are.
        const bool compress =
            zip && level > 0 && static_cast<std::uint64_t>(size) <= kMaxPackInflatedSize;
        SourceFileData read;
        runOffThread([&] { read = ReadSourceFile(path, compress, size, level); });
        if (!read.data || read.data->empty()) {
            return askAboutFile(m_prompts, compressFailedPrompt(path));
        }
        TPackEntryHeader header;
        header.dataType = type;
        header.dataLength = static_cast<std::int32_t>(read.data->size());
        header.compressed = compress ? 1 : 0;
        return NewEntry{header, std::move(*read.data)};
    }

    // Stores the entry; false when the run ends instead.
    bool store(NewEntry entry, const std::string& path) {
        const auto size = static_cast<std::int64_t>(entry.data.size());
        if (m_batch.fit(size) == StagingBatch::Fit::TooLarge) {
            m_prompts.ask(outOfMemoryPrompt(path, size));
            m_ended = true;
            return false;
        }
        if (!fitsOffsets(kEntryHeaderBytes + size)) {
            return endWith(path + ": the pack would grow past the 2 GiB its offsets can address");
        }
        if (m_request.mode == ImportMode::Append) {
            if (!m_pack.AppendEntry(entry.header, entry.data)) {
                return endWith(path + ": " + m_pack.lastError());
            }
            ++m_stored;
            return true;
        }
        if (m_batch.fit(size) == StagingBatch::Fit::FlushFirst && !flush()) {
            m_ended = true;
            return false;
        }
        const Result<PackEntryHeaderBytes> header =
            PackEntryHeader(entry.header, RandomSource::program());
        if (!header) return addPlaceholder();
        CipherEntryData(m_pack.FCipherActive, m_pack.FPassword, entry.data, true);
        m_batch.add(*header, entry.data);
        return true;
    }

    bool addPlaceholder() {
        if (m_request.mode != ImportMode::Append) {
            m_batch.addPlaceholder();
            return true;
        }
        const std::int32_t slots = m_pack.FImageCount;
        m_pack.InsertIndex(-1, 0);
        if (m_pack.FImageCount == slots + 1) return true;
        return endWith("cannot add an empty entry: " + m_pack.lastError());
    }

    // Whether `bytes` more for the next entry keep every offset in range:
    // the growth of the file once the batch holding it is written.
    bool fitsOffsets(std::int64_t bytes) const {
        const auto staged = static_cast<std::int64_t>(m_batch.bytes().size());
        switch (m_request.mode) {
            case ImportMode::Append:
                return m_pack.canGrowBy(bytes);
            case ImportMode::Insert:
                return m_pack.canGrowBy(staged + bytes);
            case ImportMode::Overwrite:
                break;
        }
        const std::int64_t old =
            std::int64_t{m_pack.FindDataPosition(m_target + m_batch.count() + 1)} -
            m_pack.FindDataPosition(m_target);
        return m_pack.canGrowBy(staged + bytes - old);
    }

    bool flush() {
        const auto staged = static_cast<std::int64_t>(m_batch.bytes().size());
        const std::int32_t p = m_pack.FindDataPosition(m_target);
        std::int64_t old = 0;
        if (m_request.mode == ImportMode::Overwrite) {
            const std::int32_t q = m_pack.FindDataPosition(m_target + m_batch.count());
            if (p < 1 || q < 1 || q < p) return indexBroken();
            old = std::int64_t{q} - p;
        } else if (p < 1) {
            return indexBroken();
        }
        if (!m_pack.canGrowBy(staged - old)) {
            return endWith("the pack would grow past the 2 GiB its offsets can address");
        }
        // One journaled step: moving the tail, writing the batch, saving the index.
        const Status written =
            m_request.mode == ImportMode::Overwrite
                ? m_pack.overwriteBatch(m_target, m_batch.bytes(), m_batch.offsets())
                : m_pack.insertBatch(m_target, m_batch.bytes(), m_batch.offsets());
        if (!written) return endWith("cannot write a batch: " + written.error());
        m_target += m_batch.count();
        m_stored +=
            std::ranges::count_if(m_batch.offsets(), [](std::int32_t at) { return at >= 0; });
        m_batch.clear();
        return true;
    }

    bool indexBroken() {
        m_prompts.ask(editPrompt(EditMessage::ImportIndexBroken));
        m_ended = true;
        return false;
    }

    bool endWith(std::string failure) {
        if (m_failure.empty()) m_failure = std::move(failure);
        m_ended = true;
        return false;
    }

    // Line i (0-based) is done: the share of lines done so far, rounded.
    void showProgress(std::size_t i) {
        const auto count = static_cast<std::int64_t>(m_files.size());
        const auto done = static_cast<std::int64_t>(i) + 1;
        showPercent(static_cast<int>((200 * done + count) / (2 * count)));
    }

    void showPercent(int percent) {
        if (percent == m_percent) return;
        m_percent = percent;
        if (m_progress) m_progress(percent);
    }

    TWMMyImageImages& m_pack;
    const ImportRequest& m_request;
    const std::vector<TImportFileItem>& m_files;
    PromptSeam& m_prompts;
    const ProgressSink& m_progress;
    const StopCheck& m_stop;
    const OffThreadRunner& m_offThread;
    StagingBatch m_batch;
    std::vector<PackOffsetsChange> m_offsetChanges;
    std::int32_t m_target;  // where the next batch goes
    bool m_ended = false;
    std::string m_failure;
    std::int64_t m_stored = 0;  // entries written to the pack, or offsets changed
    int m_percent = 0;
};

EditResult refused(PromptSeam& prompts, EditMessage message) {
    prompts.ask(editPrompt(message));
    return {EditOutcome::Refused, {}};
}

// Offsets only, fixed text: every entry start..end changed as the text says.
EditResult changeOffsets(TWMMyImageImages& pack, const ImportRequest& request,
                         PromptSeam& prompts) {
    const std::optional<OffsetsEdit> edit = parseOffsetsEdit(request.offsetsText);
    if (!edit) return refused(prompts, EditMessage::ImportOffsetsTextWrong);
    std::vector<PackOffsetsChange> changes;
    for (std::int32_t i = request.start; i <= request.end; ++i) {
        const PackOffsets now = edit->setsBoth() ? PackOffsets{} : pack.GetEntryOffsets(i);
        changes.push_back({i, edit->x.applyTo(now.x), edit->y.applyTo(now.y)});
    }
    // One edit for the whole range.
    if (Status s = pack.setOffsetsOf(changes); !s) return {EditOutcome::Failed, s.error()};
    prompts.ask(editPrompt(EditMessage::ImportDoneLeave));
    return {};
}

EditResult addEmptyEntries(TWMMyImageImages& pack, const ImportRequest& request,
                           PromptSeam& prompts) {
    const std::int32_t position = request.mode == ImportMode::Insert ? request.start : -1;
    for (std::int32_t n = 0; n < request.emptyCount; ++n) pack.InsertIndex(position, 0);
    if (pack.SaveIndex() == 0) return {EditOutcome::Failed, "cannot save the index"};
    prompts.ask(editPrompt(EditMessage::ImportDoneLeave));
    return {};
}

// Sound and data files bound what they store by their sizes: an import that
// would carry the pack past its offsets is refused before anything is written.
std::optional<std::string> growthProblem(const TWMMyImageImages& pack, const ImportRequest& request,
                                         const std::vector<TImportFileItem>& files) {
    if (request.content == ImportContent::Image || request.mode == ImportMode::Overwrite) {
        return std::nullopt;
    }
    const bool zip = request.content == ImportContent::Sound ? request.soundZip : request.dataZip;
    std::int64_t total = 0;
    for (const TImportFileItem& file : files) {
        const std::int64_t size = FileSizeOf(file.FileName);
        if (size >= 1 && size <= kMaxImportFileSize) total += storedBound(size, zip);
    }
    if (pack.canGrowBy(total)) return std::nullopt;
    return "the files would grow the pack past the 2 GiB its offsets can address; nothing was "
           "imported";
}

EditResult runImport(TWMMyImageImages& pack, const ImportRequest& r,
                     const std::vector<TImportFileItem>& files, PromptSeam& prompts,
                     const ProgressSink& progress, const StopCheck& stop,
                     const OffThreadRunner& offThread) {
    const std::int32_t count = pack.FImageCount;
    if (r.mode == ImportMode::Insert && (r.start < 0 || r.start >= count)) {
        return refused(prompts, EditMessage::ImportStartIndexWrong);
    }
    if (r.mode == ImportMode::Overwrite && (r.start < 0 || r.end >= count)) {
        return refused(prompts, EditMessage::ImportEndIndexWrong);
    }
    const bool image = r.content == ImportContent::Image;
    if (image && r.part == ImageImportPart::OffsetsOnly && r.offsetsFrom == OffsetsSource::Fixed) {
        return changeOffsets(pack, r, prompts);
    }
    if (r.mode == ImportMode::Overwrite &&
        std::int64_t{r.end} - r.start + 1 != static_cast<std::int64_t>(files.size())) {
        return refused(prompts, EditMessage::ImportCountMismatch);
    }
    if (r.content == ImportContent::Empty) return addEmptyEntries(pack, r, prompts);
    if (files.empty()) return refused(prompts, EditMessage::ImportNoFiles);
    if (const auto problem = growthProblem(pack, r, files)) {
        return {EditOutcome::Failed, *problem};
    }
    return ImportRun(pack, r, files, prompts, progress, stop, offThread).run();
}

}  // namespace

ImportRequest normalizedImport(ImportRequest r, std::size_t listSize) {
    r.emptyCount = std::clamp(r.emptyCount, 1, kMaxEmptyCount);
    if (r.content == ImportContent::Empty && r.mode == ImportMode::Overwrite) {
        r.mode = ImportMode::Append;
    }
    const bool image = r.content == ImportContent::Image;
    if (image && r.part != ImageImportPart::ImageAndOffsets) r.mode = ImportMode::Overwrite;
    const bool fileFormats = image && r.part == ImageImportPart::ImageAndOffsets &&
                             r.offsetsFrom == OffsetsSource::Files && !r.convert.window;
    r.formatFromFile = r.formatFromFile && fileFormats;
    if (r.convert.window) r.convert.format = 0;
    r.convert.hasAlpha = r.convert.format == kMaxPixelFormat ||
                         (r.convert.format == 0 && r.convert.hasAlpha) || r.formatFromFile;
    const bool typedEnd = (image && r.part == ImageImportPart::OffsetsOnly &&
                           r.offsetsFrom == OffsetsSource::Fixed) ||
                          (r.endTyped && r.mode == ImportMode::Overwrite);
    if (!typedEnd) r.end = static_cast<std::int32_t>(std::int64_t{r.start} + listSize - 1);
    return r;
}

EditResult importEntries(TWMBaseImages& archive, const ImportRequest& request,
                         const std::vector<TImportFileItem>& files, PromptSeam& prompts,
                         const ProgressSink& progress, const StopCheck& stop,
                         const OffThreadRunner& offThread) {
    auto* pack = dynamic_cast<TWMMyImageImages*>(&archive);
    if (pack == nullptr || pack->editBlock() == PackEditBlock::NotOpen) {
        return {EditOutcome::Ignored, {}};
    }
    if (Status file = checkPackFile(*pack); !file) return {EditOutcome::Failed, file.error()};
    switch (pack->editBlock()) {
        case PackEditBlock::PasswordNotVerified:
            return {EditOutcome::Failed, pack->FFileName +
                                             ": the pack is protected and was not opened with "
                                             "its password; it cannot be changed"};
        case PackEditBlock::IndexUnreadable:
            return {EditOutcome::Failed,
                    pack->FFileName + ": the pack's index cannot be read; it cannot be changed"};
        case PackEditBlock::EditedElsewhere:
            return {
                EditOutcome::Failed,
                pack->FFileName + ": another program is editing the pack; it cannot be changed"};
        case PackEditBlock::UnfinishedEdit:
            return {EditOutcome::Failed, pack->FFileName +
                                             ": an interrupted edit of the pack could not be "
                                             "completed; it cannot be changed"};
        case PackEditBlock::None:
        case PackEditBlock::NotOpen:
            break;
    }
    try {
        return runImport(*pack, normalizedImport(request, files.size()), files, prompts, progress,
                         stop, offThread);
    } catch (const std::exception& error) {
        pack->SaveIndex();
        return {EditOutcome::Failed, error.what()};
    }
}

}  // namespace vantoro
