// Every text the editing operations show: the messages and questions of
// import, delete, export and the new-pack and password commands, with their
// captions, buttons, icons and default buttons, and the titles and filters
// of their pickers. Users and scripts know these texts by heart; they are
// written here once and nowhere else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/my_image_images.h"
#include "edit/edit_prompts.h"

namespace vantoro {

// The messages without a variable part.
enum class EditMessage : std::uint8_t {
    // Import.
    ImportStartIndexWrong,   // insert at or past the end
    ImportEndIndexWrong,     // overwrite reaching past the end
    ImportOffsetsTextWrong,  // fixed offsets text without two values
    ImportCountMismatch,     // overwrite: files and range differ in number
    ImportNoFiles,           // an empty file list
    ImportDoneLeave,         // done; OK closes the dialog
    ImportIndexBroken,       // a batch found no place in the pack
    // The entry range of delete and export.
    RangeStartWrong,
    RangeEndWrong,
    RangeEndTooLarge,
    RangeStartAfterEnd,
    DeleteDone,
    ExportDone,
    // New pack.
    NewPackOverwrite,  // OK deletes the existing file
    NewPackOpen,       // Yes opens the new pack
};

Prompt editPrompt(EditMessage message);

// Import questions about one file, `path` being its full path: OK leaves an
// empty entry in its place and goes on, Cancel (the default) ends the run.
Prompt unsupportedFilePrompt(const std::string& path);
Prompt fileTooLargePrompt(const std::string& path, std::int64_t size);
Prompt compressFailedPrompt(const std::string& path);
// An entry too large for a staging batch; the run ends.
Prompt outOfMemoryPrompt(const std::string& path, std::int64_t size);
// An import run that ended before its last file, in place of the closing
// question: how many files it stored.
Prompt importStoppedPrompt(std::int64_t stored);
// An export stopped before its last entry: how many entries it wrote.
Prompt exportStoppedPrompt(std::int64_t written);
// A delete stopped before its one step began: nothing was deleted.
Prompt deleteStoppedPrompt();
// Whether `prompt` is the last one an import run shows: the closing question
// or the message of a stopped run.
bool endsImportRun(const Prompt& prompt);

// A folder of a tree walk that cannot be read, and why; the walk goes on
// without it.
Prompt folderSkippedPrompt(const std::string& path, const std::string& reason);

// Why import and delete leave a pack alone: it is not open for writing, it
// is protected and was opened without its password, or its index could not
// be read (a new index would drop the entries it lists).
Prompt packLockedPrompt(PackEditBlock block);

// The custom blend code, offered as "$" and eight upper-case hex digits.
InputPrompt blendCodePrompt(std::uint32_t code);
// The password packs are opened with.
InputPrompt packPasswordPrompt(const std::string& current);

// Pickers: folder titles, and filters in the form "description|masks|...".
inline constexpr std::string_view kImportFolderTitle = "请选择文件夹";
inline constexpr std::string_view kExportFolderTitle = "请选择保存文件夹";
inline constexpr std::string_view kImportFileFilter =
    "所有可读文件|*.*|BMP (*.bmp;*.dib)|*.bmp;*.dib|TARGA (*.tga)|*.tga|PNG (*.png)|*.png|"
    "WAV (*.wav)|*.wav|MP3 (*.mp3)|*.mp3";
inline constexpr std::string_view kNewPackFilter = "自定义数据存储文件(*.pak)|*.pak";

}  // namespace vantoro
