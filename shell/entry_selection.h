// What selecting a grid cell does to the program-wide selection, without the
// window: the entry's index, its image header and stored pixel format, the
// view's drawing offsets, the image texture, and whether the sound panel
// shows. Stopping a playing sound and freeing the previous sound data come
// first and are the window's; so is refreshing the status bar afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "pixels/dx9_textures.h"

namespace vantoro {

// The selection state that lives beside the main window and that the view,
// the status bar and the editing dialogs read.
struct SelectionState {
    std::int32_t CurrentIndex = -1;
    TWMImageInfo CurrentImageInfo;
    std::int16_t CurrentPixelFormat = 0;  // -1 at every selection: "default"
    std::int32_t FImageOffsetX = 0;       // drawing offsets of the image in the view
    std::int32_t FImageOffsetY = 0;
};

// The sound panel after a selection: entries that are neither images, raw
// data nor sounds leave it as it was.
enum class SoundPanel { Unchanged, Hidden, Shown };

struct EntrySelection {
    SoundPanel soundPanel = SoundPanel::Unchanged;
    // Sound entries only: their bytes, ready to play (none when they cannot
    // be read).
    std::optional<std::vector<std::uint8_t>> soundStream;
    // Why an image could not be decoded or a sound not read, in the
    // archive's words; empty when nothing failed.
    std::string failure;
};

// Selects entry `index` of `archive` (row * 6 + column of the cell; cells past
// the last entry are selected too, and show nothing). Updates `state` in
// order: index, a zero header and pixel format -1, then after a successful
// decode into `imageTexture` the header, offsets and (for a pack) the stored
// format. The texture is cleared first, so the view shows nothing until an
// image is decoded into it. Answers nothing and changes nothing without an
// open archive; then the status bar is not refreshed either.
std::optional<EntrySelection> selectEntry(TWMBaseImages* archive, std::int32_t index,
                                          TDXImageTexture* imageTexture, SelectionState& state);

// Nothing selected: index -1, a zero header, pixel format -1 ("default"),
// zero offsets and an empty texture, as after a change of the archive that
// left no entry at the selected index.
void clearSelection(SelectionState& state, TDXImageTexture* imageTexture);

}  // namespace vantoro
