// Import of other archives' entries into a pack, entry by entry in memory:
// each entry is decoded, given its stored form, and written through the
// same steps as a file import (appended, or staged in batches for insert and
// overwrite; edit/import_entries.h). No file is written anywhere but the pack.
//
// The sources are taken in the order given, each one's entries from 0 to its
// last; together they are the list of the import, so an overwrite needs as
// many entries in start..end as the sources hold together.
//
// What each source entry becomes:
//   image (31)     an image entry with the entry's own drawing offsets (or
//                  the request's fixed offsets, or with image-only work the
//                  overwritten entry's), its pixels chosen by ArchivePixels
//   WAV, MP3, data the same type and the same bytes, deflated as the
//                  request says for sounds and for data
//   empty slot     an empty slot
//   anything that cannot be stored (not decodable, a side outside
//                  2..4095, no pixel format for its texture): an empty slot
//                  that keeps the following entries' numbers, counted
//
// ArchivePixels::AsDrawn stores each image in the pack format that draws
// exactly as the source entry does: the words the source draws into its
// texture, kept in the pack format of that texture. Mir2, WIS, Mir3, the
// compressed Mir2 and Mir3 archives and Wuyi entries are drawn as A1R5G5B5
// (format 1), Woool entries as A4R4G4B4 (format 0), and a pack's entries
// keep their own format, so drawing the pack entry gives the source's
// texture word for word, alpha included. Run-length coding and flipping
// follow the request. AsRequested converts every image as a file import
// would convert it into request.convert.format (edit/convert_picture.h),
// from the entry's bitmap: 8-bit entries with the program's palette, 16-bit
// entries as R5G6B5, a pack's 32-bit entries with their alpha.
//
// The run keeps what it stored when stopped (`stop`, asked after each entry
// but the last), when an entry cannot be written or a batch finds no place:
// the index is saved and the closing question or the stopped message shown,
// as for a file import. The pack must be one open for writing; the same
// refusals as importEntries apply.
#pragma once

#include <cstdint>
#include <span>

#include "archive/archive_reader.h"
#include "edit/edit_prompts.h"
#include "edit/import_entries.h"

namespace vantoro {

// Which pixel format an image entry is stored in.
enum class ArchivePixels : std::uint8_t {
    AsDrawn,      // per entry, the format that reproduces it as drawn
    AsRequested,  // request.convert.format for every image, as asked
};

struct ArchiveImportResult {
    EditResult edit;
    std::int64_t stored = 0;      // entries written into the pack
    std::int64_t unstorable = 0;  // entries left as empty slots because they could not be stored
};

// The entries of `sources`, in order, imported into `pack` as `request`
// says (its mode, start, end, offsets, blend code, run-length, flip, zip
// options; the content kind and the file-list options do not apply).
// `progress` hears 0, then the share of entries done. Questions and
// messages go to `prompts` as for a file import.
ArchiveImportResult importArchiveEntries(TWMBaseImages& pack, const ImportRequest& request,
                                         ArchivePixels pixels,
                                         std::span<TWMBaseImages* const> sources,
                                         PromptSeam& prompts, const ProgressSink& progress = {},
                                         const StopCheck& stop = {});

}  // namespace vantoro
