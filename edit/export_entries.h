// Export: a range of entries of any archive written to a folder, one file
// per entry named by its number, at least six digits ("%.6d"):
//
//   image (31)         NNNNNN.bmp (or .png), and with offsets
//                      Placements/NNNNNN.txt: PX, PY and, for an own pack
//                      with the format option, the pixel-format index, each
//                      a decimal line ending in CR LF
//   raw data (47)      NNNNNN.dat, the entry's data stream (mode 2)
//   WAV (63), MP3 (79) NNNNNN.wav, NNNNNN.mp3 (mode 1)
//   anything else      NNNNNN.bmp (or .png), a 1 x 1 placeholder
//
// An entry that fails (no bitmap, no stream) gets the placeholder, and its
// offsets file says 0 and 0: the numbering stays gap-free and a later import
// of the folder keeps every number. The folder is what import reads back.
//
// Images come from the archive's bitmap, or with the alpha option from the
// texture the entry is drawn into (the view's image texture in the window),
// so the texture's alpha is kept; an archive that cannot draw into a
// texture then gives placeholders. 32-bit entries keep all four bytes.
//
// Existing files of the same names are overwritten. Files are written only
// inside the chosen folder and its Placements folder: a link planted under
// one of the names (or as the Placements folder) is never written through.
// Such a name, a file that cannot be written, or a decoder's named failure
// ends the export with an error; the files written so far stay.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive_reader.h"
#include "edit/edit_prompts.h"
#include "pixels/dx9_textures.h"

namespace vantoro {

struct ExportRequest {
    std::int32_t first = -1;  // -1: the box does not hold a number
    std::int32_t last = -1;
    std::string folder;   // as typed
    bool alpha = false;   // "导出Alpha": images as drawn into the texture
    bool offsets = true;  // "导出坐标"
    bool format = true;   // "导出格式": counts only with offsets, for an own pack
    bool png = false;     // PNG files with alpha instead of BMP
    // The texture images are drawn into with `alpha`; null: one of the
    // export's own.
    TDXTexture* texture = nullptr;
};

// The export. Nothing happens for an archive that is not open (Ignored).
// A bad range shows its message (Refused); an empty folder text fails.
// Progress goes from 0 to 100 as the entries are written; at the end the
// closing message is shown (Done). `stop` is asked after each entry but the
// last: a stop ends the export there with a message saying how many entries
// were written (Refused); their files stay.
EditResult exportEntries(TWMBaseImages& archive, const ExportRequest& request, PromptSeam& prompts,
                         const ProgressSink& progress = {}, const StopCheck& stop = {});

// The folder as typed, blanks around it dropped, ending in "/"; empty when
// nothing is left.
std::string exportFolder(std::string_view typed);

// "%s%.6d" + extension: folder, then the number with at least six digits.
std::string numberedFileName(const std::string& folder, std::int32_t number,
                             std::string_view extension);

}  // namespace vantoro
