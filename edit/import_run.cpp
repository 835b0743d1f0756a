#include "edit/import_run.h"

#include <algorithm>
#include <utility>

#include "archive/pack_cipher.h"
#include "edit/import_text.h"
#include "edit/pack_file_check.h"
#include "io/random_source.h"

namespace vantoro {
namespace {

constexpr std::int64_t kEntryHeaderBytes = static_cast<std::int64_t>(kPackEntryHeaderSize);

}  // namespace

ImportRun::ImportRun(TWMMyImageImages& pack, const ImportRequest& request, ImportLines& lines,
                     PromptSeam& prompts, const ProgressSink& progress, const StopCheck& stop)
    : m_pack(pack),
      m_request(request),
      m_lines(lines),
      m_prompts(prompts),
      m_progress(progress),
      m_stop(stop),
      m_target(request.start) {}

EditResult ImportRun::run() {
    if (m_progress) m_progress(0);
    const std::size_t count = m_lines.size();
    for (std::size_t i = 0; i < count && !m_ended; ++i) {
        runLine(i);
        // A stop after the last line has nothing left to stop.
        if (i + 1 < count && m_stop && m_stop()) m_ended = true;
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

void ImportRun::runLine(std::size_t i) {
    if (m_request.content == ImportContent::Image &&
        m_request.part == ImageImportPart::OffsetsOnly) {
        const PackOffsets offsets = m_lines.offsets(i);
        m_offsetChanges.push_back(
            {m_request.start + static_cast<std::int32_t>(i), offsets.x, offsets.y});
        showProgress(i);
        return;
    }
    LineResult result = m_lines.entry(i);
    if (std::holds_alternative<EndRun>(result)) {
        m_ended = true;
        return;
    }
    if (const auto* placeholder = std::get_if<Placeholder>(&result)) {
        if (!addPlaceholder()) return;
        if (placeholder->movesProgress) showProgress(i);
        return;
    }
    auto& entry = std::get<NewEntry>(result);
    if (entry.header.dataType == kDataTypeImage) setImageOffsets(i, entry.header);
    if (store(std::move(entry), m_lines.name(i))) showProgress(i);
}

// The offsets the request asks for, and its blend code: the line's own, the
// fixed text's, or with image-only work those of the entry overwritten.
void ImportRun::setImageOffsets(std::size_t i, TPackEntryHeader& header) {
    if (m_request.part == ImageImportPart::ImageOnly) {
        const TPackEntryHeader old =
            m_pack.ReadEntryHeader(m_request.start + static_cast<std::int32_t>(i));
        header.x = old.x;
        header.y = old.y;
        header.reserved = old.reserved;
    } else if (m_request.offsetsFrom == OffsetsSource::Fixed) {
        const FixedOffsets fixed = parseFixedOffsets(m_request.offsetsText);
        header.x = static_cast<std::int16_t>(fixed.x);
        header.y = static_cast<std::int16_t>(fixed.y);
    }
    header.blendCode = m_request.blendCode;
}

// Stores the entry; false when the run ends instead.
bool ImportRun::store(NewEntry entry, const std::string& name) {
    const auto size = static_cast<std::int64_t>(entry.data.size());
    if (m_batch.fit(size) == StagingBatch::Fit::TooLarge) {
        m_prompts.ask(outOfMemoryPrompt(name, size));
        m_ended = true;
        return false;
    }
    if (!fitsOffsets(kEntryHeaderBytes + size)) {
        return endWith(name + ": the pack would grow past the 2 GiB its offsets can address");
    }
    if (m_request.mode == ImportMode::Append) {
        if (!m_pack.AppendEntry(entry.header, entry.data)) {
            return endWith(name + ": " + m_pack.lastError());
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

bool ImportRun::addPlaceholder() {
    if (m_request.mode != ImportMode::Append) {
        m_batch.addPlaceholder();
        return true;
    }
    const std::int32_t slots = m_pack.FImageCount;
    m_pack.InsertIndex(-1, 0);
    if (m_pack.FImageCount == slots + 1) return true;
    return endWith("cannot add an empty entry: " + m_pack.lastError());
}

// Whether `bytes` more for the next entry keep every offset in range: the
// growth of the file once the batch holding it is written.
bool ImportRun::fitsOffsets(std::int64_t bytes) const {
    const auto staged = static_cast<std::int64_t>(m_batch.bytes().size());
    switch (m_request.mode) {
        case ImportMode::Append:
            return m_pack.canGrowBy(bytes);
        case ImportMode::Insert:
            return m_pack.canGrowBy(staged + bytes);
        case ImportMode::Overwrite:
            break;
    }
    const std::int64_t old = std::int64_t{m_pack.FindDataPosition(m_target + m_batch.count() + 1)} -
                             m_pack.FindDataPosition(m_target);
    return m_pack.canGrowBy(staged + bytes - old);
}

bool ImportRun::flush() {
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
    const Status written = m_request.mode == ImportMode::Overwrite
                               ? m_pack.overwriteBatch(m_target, m_batch.bytes(), m_batch.offsets())
                               : m_pack.insertBatch(m_target, m_batch.bytes(), m_batch.offsets());
    if (!written) return endWith("cannot write a batch: " + written.error());
    m_target += m_batch.count();
    m_stored += std::ranges::count_if(m_batch.offsets(), [](std::int32_t at) { return at >= 0; });
    m_batch.clear();
    return true;
}

bool ImportRun::indexBroken() {
    m_prompts.ask(editPrompt(EditMessage::ImportIndexBroken));
    m_ended = true;
    return false;
}

bool ImportRun::endWith(std::string failure) {
    if (m_failure.empty()) m_failure = std::move(failure);
    m_ended = true;
    return false;
}

// Line i (0-based) is done: the share of lines done so far, rounded.
void ImportRun::showProgress(std::size_t i) {
    const auto count = static_cast<std::int64_t>(m_lines.size());
    const auto done = static_cast<std::int64_t>(i) + 1;
    showPercent(static_cast<int>((200 * done + count) / (2 * count)));
}

void ImportRun::showPercent(int percent) {
    if (percent == m_percent) return;
    m_percent = percent;
    if (m_progress) m_progress(percent);
}

std::variant<TWMMyImageImages*, EditResult> packToImportInto(TWMBaseImages& archive) {
    auto* pack = dynamic_cast<TWMMyImageImages*>(&archive);
    if (pack == nullptr || pack->editBlock() == PackEditBlock::NotOpen) {
        return EditResult{EditOutcome::Ignored, {}};
    }
    if (Status file = checkPackFile(*pack); !file) {
        return EditResult{EditOutcome::Failed, file.error()};
    }
    const auto failed = [pack](const char* why) {
        return EditResult{EditOutcome::Failed, pack->FFileName + why};
    };
    switch (pack->editBlock()) {
        case PackEditBlock::PasswordNotVerified:
            return failed(
                ": the pack is protected and was not opened with its password; it cannot be "
                "changed");
        case PackEditBlock::IndexUnreadable:
            return failed(": the pack's index cannot be read; it cannot be changed");
        case PackEditBlock::EditedElsewhere:
            return failed(": another program is editing the pack; it cannot be changed");
        case PackEditBlock::UnfinishedEdit:
            return failed(
                ": an interrupted edit of the pack could not be completed; it cannot be changed");
        case PackEditBlock::None:
        case PackEditBlock::NotOpen:
            break;
    }
    return pack;
}

EditResult refusedWith(PromptSeam& prompts, EditMessage message) {
    prompts.ask(editPrompt(message));
    return {EditOutcome::Refused, {}};
}

std::optional<EditResult> indexRefusal(const TWMMyImageImages& pack, const ImportRequest& r,
                                       PromptSeam& prompts) {
    const std::int32_t count = pack.FImageCount;
    if (r.mode == ImportMode::Insert && (r.start < 0 || r.start >= count)) {
        return refusedWith(prompts, EditMessage::ImportStartIndexWrong);
    }
    if (r.mode == ImportMode::Overwrite && (r.start < 0 || r.end >= count)) {
        return refusedWith(prompts, EditMessage::ImportEndIndexWrong);
    }
    return std::nullopt;
}

std::optional<EditResult> countRefusal(const ImportRequest& r, std::size_t listSize,
                                       PromptSeam& prompts) {
    if (r.mode == ImportMode::Overwrite &&
        std::int64_t{r.end} - r.start + 1 != static_cast<std::int64_t>(listSize)) {
        return refusedWith(prompts, EditMessage::ImportCountMismatch);
    }
    return std::nullopt;
}

}  // namespace vantoro
