#include "edit/import_entries.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <variant>

#include "archive/my_image_images.h"
#include "archive/pack_rle.h"
#include "edit/edit_messages.h"
#include "edit/import_run.h"
#include "edit/import_text.h"
#include "edit/source_files.h"
#include "image_io/load_picture.h"

namespace vantoro {
namespace {

constexpr std::int32_t kMaxEmptyCount = 100000;
constexpr std::uint8_t kMaxPixelFormat = 3;
constexpr std::int64_t kEntryHeaderBytes = static_cast<std::int64_t>(kPackEntryHeaderSize);

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

// The lines of the import list: each file read, decoded, converted or
// deflated (through `offThread`), with the questions about files that cannot
// be stored.
class FileLines final : public ImportLines {
public:
    FileLines(const ImportRequest& request, const std::vector<TImportFileItem>& files,
              PromptSeam& prompts, const OffThreadRunner& offThread)
        : m_request(request), m_files(files), m_prompts(prompts), m_offThread(offThread) {}

    std::size_t size() const override { return m_files.size(); }
    std::string name(std::size_t i) const override { return m_files[i].FileName; }

    PackOffsets offsets(std::size_t i) override {
        const Result<FixedOffsets> read = readFirstLineOffsets(m_files[i].FileName);
        const FixedOffsets offsets = read ? *read : FixedOffsets{};
        return {static_cast<std::int16_t>(offsets.x), static_cast<std::int16_t>(offsets.y)};
    }

    LineResult entry(std::size_t i) override {
        switch (m_request.content) {
            case ImportContent::Image:
                return imageEntry(m_files[i]);
            case ImportContent::Sound:
                return fileEntry(m_files[i], true);
            case ImportContent::Data:
            case ImportContent::Empty:
                break;
        }
        return fileEntry(m_files[i], false);
    }

private:
    void runOffThread(const std::function<void()>& work) {
        if (m_offThread) {
            m_offThread(work);
        } else {
            work();
        }
    }

    LineResult imageEntry(const TImportFileItem& item) {
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
        TPackEntryHeader header{.x = item.X, .y = item.Y};
        header.width = static_cast<std::uint16_t>(picture->width);
        header.height = static_cast<std::uint16_t>(picture->height);
        header.dataType = kDataTypeImage;
        header.compressed = r.convert.rle ? 1 : 0;
        header.dataLength = static_cast<std::int32_t>(data->size());
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

    const ImportRequest& m_request;
    const std::vector<TImportFileItem>& m_files;
    PromptSeam& m_prompts;
    const OffThreadRunner& m_offThread;
};

// Offsets only, fixed text: every entry start..end changed as the text says.
EditResult changeOffsets(TWMMyImageImages& pack, const ImportRequest& request,
                         PromptSeam& prompts) {
    const std::optional<OffsetsEdit> edit = parseOffsetsEdit(request.offsetsText);
    if (!edit) return refusedWith(prompts, EditMessage::ImportOffsetsTextWrong);
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
    if (request.mode == ImportMode::Insert) {
        // One step for all of them: a slot at a time would move the index's
        // tail once per slot.
        const std::vector<std::int32_t> slots(static_cast<std::size_t>(request.emptyCount), -1);
        if (Status s = pack.insertBatch(request.start, {}, slots); !s) {
            return {EditOutcome::Failed, s.error()};
        }
    } else {
        for (std::int32_t n = 0; n < request.emptyCount; ++n) pack.InsertIndex(-1, 0);
        if (pack.SaveIndex() == 0) return {EditOutcome::Failed, "cannot save the index"};
    }
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
    if (auto refusal = indexRefusal(pack, r, prompts)) return *refusal;
    const bool image = r.content == ImportContent::Image;
    if (image && r.part == ImageImportPart::OffsetsOnly && r.offsetsFrom == OffsetsSource::Fixed) {
        return changeOffsets(pack, r, prompts);
    }
    if (auto refusal = countRefusal(r, files.size(), prompts)) return *refusal;
    if (r.content == ImportContent::Empty) return addEmptyEntries(pack, r, prompts);
    if (files.empty()) return refusedWith(prompts, EditMessage::ImportNoFiles);
    if (const auto problem = growthProblem(pack, r, files)) {
        return {EditOutcome::Failed, *problem};
    }
    FileLines lines(r, files, prompts, offThread);
    return ImportRun(pack, r, lines, prompts, progress, stop).run();
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
    auto target = packToImportInto(archive);
    if (auto* refusal = std::get_if<EditResult>(&target)) return *refusal;
    TWMMyImageImages* pack = std::get<TWMMyImageImages*>(target);
    try {
        return runImport(*pack, normalizedImport(request, files.size()), files, prompts, progress,
                         stop, offThread);
    } catch (const std::exception& error) {
        pack->SaveIndex();
        return {EditOutcome::Failed, error.what()};
    }
}

}  // namespace vantoro
