// Import: files put into an open pack as new or replacing entries, as the
// import dialog's Execute runs it.
//
// What is stored per line of the list:
//   images   a picture (BMP, PNG, TGA) converted to the chosen pixel format
//            (edit/convert_picture.h), with offsets from its offsets file
//            or a fixed "X,Y"; or only the picture, keeping the overwritten
//            entry's offsets; or only the offsets of existing entries
//   sounds   a WAV or MP3 file of 1 byte .. 10 MiB, optionally deflated
//   data     any file of 1 byte .. 10 MiB, optionally deflated (type 47)
//   empty    a number of empty slots, no list needed
// A file that cannot be stored leaves an empty slot (a placeholder), so the
// files after it keep their numbers; the questions about such files end the
// run on Cancel. A picture wider or higher than 4095 pixels is asked about
// like a file that cannot be read; one below 2 pixels on a side (export's
// stand-in for an entry it could not write) leaves a placeholder unasked.
//
// Append writes each entry at the data end. Insert and overwrite collect up
// to 50 MiB of entries (edit/staging_batch.h) and move the pack's tail once
// per batch. A run cut short still writes what it collected and saves the
// index, so the entries stored before the stop stay. The run itself
// (edit/import_run.h) is shared with the import of another archive's
// entries (edit/archive_import.h), whose lines are entries instead of files.
//
// The pack is checked before anything is written: a pack that may not be
// edited (a protected pack opened without its password, an unreadable
// index) is refused with the reason, and an entry that would carry the data
// end past the 32-bit offsets of the format ends the run before it is
// written. Sound and data files larger than the reader inflates are stored
// without compression.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "edit/convert_picture.h"
#include "edit/edit_prompts.h"
#include "edit/import_sources.h"

namespace vantoro {

enum class ImportContent : std::uint8_t { Image, Sound, Data, Empty };
enum class ImportMode : std::uint8_t { Append, Insert, Overwrite };
// Of an image import: "图片和坐标", "图片", "坐标".
enum class ImageImportPart : std::uint8_t { ImageAndOffsets, ImageOnly, OffsetsOnly };
// Where the offsets come from: the offsets files ("同名坐标文件", or with
// offsets only the listed text files) or the fixed text ("固定").
enum class OffsetsSource : std::uint8_t { Files, Fixed };

// Sound and data files larger than this are not stored.
inline constexpr std::int64_t kMaxImportFileSize = 10485760;
// Pictures are 2..4095 pixels on each side.
inline constexpr std::uint32_t kMinImportSide = 2;
inline constexpr std::uint32_t kMaxImportSide = 4095;

struct ImportRequest {
    ImportContent content = ImportContent::Image;
    ImportMode mode = ImportMode::Append;
    std::int32_t start = 0;
    // Offsets-only imports with a fixed text take a typed end, and so does
    // an overwrite whose end was given (endTyped: the command line's
    // --end); all others use start + list size - 1.
    std::int32_t end = 0;
    bool endTyped = false;
    std::int32_t emptyCount = 1;
    ImageImportPart part = ImageImportPart::ImageAndOffsets;
    OffsetsSource offsetsFrom = OffsetsSource::Files;
    std::string offsetsText = "0,0";
    ConvertOptions convert{.rle = true};
    bool formatFromFile = false;  // the pixel format of each offsets file
    std::uint32_t blendCode = 1;  // the first blend item's
    bool soundZip = false;
    int soundLevel = 0;
    bool dataZip = true;
    int dataLevel = 9;
};

// The request as the dialog's controls leave it: empty entries are never
// overwritten, image-only and offsets-only work overwrite, the window
// option takes format 0, format 3 (or formats from the files) always has
// alpha and other formats but 0 lose it, the end follows the list unless
// offsets-only with a fixed text or typed for an overwrite.
ImportRequest normalizedImport(ImportRequest request, std::size_t listSize);

// The import into `archive` of `files` in their order. Nothing happens for
// an archive that is not an open pack (Ignored). A file that is not a pack
// (edit/pack_file_check.h) and a pack that may not be edited fail with the
// reason. Range and list problems show their message
// (Refused). A run ended by Cancel, by a batch that found no place or by an
// entry too large keeps what was stored and ends Refused; a run that would
// grow the pack past its offsets' range ends Failed, the entries before it
// kept. A done run shows the closing question; a run ended early shows
// instead how many files it stored. `progress` hears 0 before the first
// line, then the share of lines done, and 100 only when every line is.
// `stop` is asked after each line but the last: a stop ends the run there as
// Cancel does (Refused), the entries stored so far kept and counted. Reading,
// decoding, converting and compressing a file go through `offThread`; the
// questions and every change of the pack stay on the caller's thread.
EditResult importEntries(TWMBaseImages& archive, const ImportRequest& request,
                         const std::vector<TImportFileItem>& files, PromptSeam& prompts,
                         const ProgressSink& progress = {}, const StopCheck& stop = {},
                         const OffThreadRunner& offThread = {});

}  // namespace vantoro
