#include "shell/entry_selection.h"

#include "shell/grid_navigation.h"
#include "shell/status_bar_text.h"

namespace vantoro {
namespace {

// The header the archive decoded last becomes the selection's; only the pack
// stores a pixel format per entry.
void takeDecodedImage(const TWMBaseImages& archive, SelectionState& state) {
    const TWMImageInfo& info = archive.FLastImageInfo;
    state.FImageOffsetX = info.PX;  // sign-extended from 16 bits
    state.FImageOffsetY = info.PY;
    state.CurrentImageInfo = info;
    if (isPackArchive(&archive)) state.CurrentPixelFormat = archive.FLastImageFormat;
}

}  // namespace

std::optional<EntrySelection> selectEntry(TWMBaseImages* archive, std::int32_t index,
                                          TDXImageTexture* imageTexture, SelectionState& state) {
    if (!isArchiveReady(archive)) return std::nullopt;
    state.CurrentIndex = index;
    state.CurrentImageInfo = TWMImageInfo{};
    state.CurrentPixelFormat = -1;
    if (imageTexture) imageTexture->ClearPixels();

    EntrySelection selection;
    switch (archive->GetDataType(index)) {
        case kDataTypeImage:
            selection.soundPanel = SoundPanel::Hidden;
            if (archive->DrawToTexture(index, imageTexture)) {
                takeDecodedImage(*archive, state);
            } else {
                selection.failure = archive->lastError();
            }
            break;
        case kDataTypeRaw:
            selection.soundPanel = SoundPanel::Hidden;
            break;
        case kDataTypeWav:
        case kDataTypeMp3:
            selection.soundPanel = SoundPanel::Shown;
            selection.soundStream = archive->GetDataStream(index, 0);
            if (!selection.soundStream) selection.failure = archive->lastError();
            break;
        default:
            break;
    }
    return selection;
}

void clearSelection(SelectionState& state, TDXImageTexture* imageTexture) {
    state = SelectionState{};
    state.CurrentPixelFormat = -1;
    if (imageTexture) imageTexture->ClearPixels();
}

}  // namespace vantoro
