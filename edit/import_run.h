// The run every import of a list shares, whatever the lines come from (files
// of the import list, or another archive's entries): line after line, each
// line's entry stored (appended at the data end, or staged in batches of up
// to 50 MiB for insert and overwrite, edit/staging_batch.h), an empty slot
// where a line gives none so the lines after it keep their numbers, offsets-
// only work collected into one edit, and at the end the batch flushed and
// the index saved, whatever ended the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "archive/my_image_images.h"
#include "edit/edit_messages.h"
#include "edit/edit_prompts.h"
#include "edit/import_entries.h"
#include "edit/staging_batch.h"

namespace vantoro {

// What one line gives.
struct NewEntry {
    TPackEntryHeader header;
    std::vector<std::uint8_t> data;  // as stored: coded or deflated, not yet enciphered
};
struct Placeholder {
    bool movesProgress = true;  // false after a question or the size check
};
struct EndRun {};
using LineResult = std::variant<NewEntry, Placeholder, EndRun>;

// Where the lines of a run come from.
class ImportLines {
public:
    virtual ~ImportLines() = default;
    virtual std::size_t size() const = 0;
    // Line i's entry. An image's header holds its size, pixel format, data
    // type, compressed flag, data length and the line's own drawing offsets;
    // the run puts in the offsets the request asks for and the blend code.
    virtual LineResult entry(std::size_t i) = 0;
    // Line i's drawing offsets, for offsets-only work.
    virtual PackOffsets offsets(std::size_t i) = 0;
    // How messages about line i name it.
    virtual std::string name(std::size_t i) const = 0;
};

class ImportRun {
public:
    ImportRun(TWMMyImageImages& pack, const ImportRequest& request, ImportLines& lines,
              PromptSeam& prompts, const ProgressSink& progress, const StopCheck& stop);

    // The run; the pack's index is saved whatever ended it. Only a run that
    // went through every line says it is done; one that stopped says how
    // many entries it stored.
    EditResult run();
    // Entries written into the pack, or offsets changed.
    std::int64_t stored() const { return m_stored; }

private:
    void runLine(std::size_t i);
    void setImageOffsets(std::size_t i, TPackEntryHeader& header);
    bool store(NewEntry entry, const std::string& name);
    bool addPlaceholder();
    bool fitsOffsets(std::int64_t bytes) const;
    bool flush();
    bool indexBroken();
    bool endWith(std::string failure);
    void showProgress(std::size_t i);
    void showPercent(int percent);

    TWMMyImageImages& m_pack;
    const ImportRequest& m_request;
    ImportLines& m_lines;
    PromptSeam& m_prompts;
    const ProgressSink& m_progress;
    const StopCheck& m_stop;
    StagingBatch m_batch;
    std::vector<PackOffsetsChange> m_offsetChanges;
    std::int32_t m_target;  // where the next batch goes
    bool m_ended = false;
    std::string m_failure;
    std::int64_t m_stored = 0;
    int m_percent = 0;
};

// The pack to import into, or why there is none: Ignored for an archive
// that is not a pack open for writing, Failed with the reason for a file
// that is not a pack or a pack that may not be edited.
std::variant<TWMMyImageImages*, EditResult> packToImportInto(TWMBaseImages& archive);

// Shows `message` and answers Refused.
EditResult refusedWith(PromptSeam& prompts, EditMessage message);

// Insert at a start outside the pack, or overwrite with an end outside it:
// the message shown and Refused. None when both fit.
std::optional<EditResult> indexRefusal(const TWMMyImageImages& pack, const ImportRequest& request,
                                       PromptSeam& prompts);

// An overwrite whose start..end does not hold `listSize` entries: the
// message shown and Refused. None otherwise.
std::optional<EditResult> countRefusal(const ImportRequest& request, std::size_t listSize,
                                       PromptSeam& prompts);

}  // namespace vantoro
