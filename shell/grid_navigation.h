// The thumbnail grid's arithmetic and the navigation decisions of the main
// window: which cell holds which entry, how a thumbnail is sized and
// labelled, where previous, next and go-to lead, and the timed auto play.
//
// The grid has six 64-pixel columns; entry index = row * 6 + column. While an
// archive is open it has FImageCount div 6 + 1 rows (a count that is a
// multiple of six leaves one empty row), one row without an archive.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro {

inline constexpr std::int32_t kGridColumns = 6;
inline constexpr std::int32_t kGridCellSize = 64;  // column width and row height
// Thumbnails taller than the cell less this band get an outlined label.
inline constexpr std::int32_t kGridLabelBand = 12;

struct GridCell {
    std::int32_t row = 0;
    std::int32_t column = 0;
    bool operator==(const GridCell&) const = default;
};

constexpr std::int32_t cellIndex(GridCell cell) {
    return cell.row * kGridColumns + cell.column;
}
// For index >= 0.
constexpr GridCell cellOf(std::int32_t index) {
    return {index / kGridColumns, index % kGridColumns};
}

// An archive is there and open; the grid paints and navigates only then.
bool isArchiveReady(const TWMBaseImages* archive);

std::int32_t gridRowCount(const TWMBaseImages* archive);

// --- Painting a cell -------------------------------------------------------

// What a cell shows for an entry's data type.
enum class ThumbnailSource { Bitmap, DataIcon, WaveIcon, Mp3Icon, Nothing };
ThumbnailSource thumbnailSource(std::uint8_t dataType);

// Each side is clamped to the cell on its own: a large image is squeezed
// without keeping its proportions, a small one is not enlarged.
struct ThumbnailLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool outlined = false;  // white label with a black outline
    bool operator==(const ThumbnailLayout&) const = default;
};
ThumbnailLayout thumbnailLayout(std::int32_t bitmapWidth, std::int32_t bitmapHeight);

// Only cells of existing entries carry a label.
bool cellHasLabel(std::int32_t index, std::int32_t imageCount);
// The index with at least six digits, zero-padded: "000012", "1234567".
std::string cellLabel(std::int32_t index);

// One pass of drawing the label text at (x, y), in black or in white.
struct LabelStroke {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool white = false;
    bool operator==(const LabelStroke&) const = default;
};
// The label's right edge on the cell's right edge and its bottom on the
// cell's bottom; outlined: black one pixel left, right, up and down, then
// white on top; plain: black once.
std::vector<LabelStroke> labelStrokes(std::int32_t cellRight, std::int32_t cellBottom,
                                      std::int32_t textWidth, std::int32_t textHeight,
                                      bool outlined);

// --- Moving the selection --------------------------------------------------

// SelectImage's rule: an open archive and 0 <= index <= FImageCount - 1.
bool acceptsSelection(const TWMBaseImages* archive, std::int64_t index);

// The cells the grid passes through when SelectImage moves it from `current`
// to `index`: the current row changes first (the new row in the old column),
// then the column. A setting that changes nothing passes no cell, so moving
// to the current cell gives none.
std::vector<GridCell> selectImageMoves(GridCell current, std::int32_t index);

enum class NavigationStep : std::int8_t { Previous = -1, Next = 1 };
// Where previous or next leads from the grid's current cell (not from
// CurrentIndex); nothing at either end or without an open archive.
std::optional<std::int32_t> stepTarget(const TWMBaseImages* archive, GridCell current,
                                       NavigationStep step);

// The go-to box: its initial text, and the index its answer selects (the
// text as a decimal number, 1 when it is not one), if SelectImage accepts it.
std::string gotoInitialText(std::int32_t currentIndex);
std::int32_t gotoIndex(std::string_view text);
std::optional<std::int32_t> gotoTarget(const TWMBaseImages* archive, std::string_view text);

// --- Auto play ---------------------------------------------------------------

// Milliseconds of a tick count that wraps at 2^32.
using TickClock = std::function<std::uint32_t()>;

inline constexpr std::uint32_t kAutoPlayPeriodMs = 200;
inline constexpr int kAutoPlayImageOff = 28;  // tool-bar image while off
inline constexpr int kAutoPlayImageOn = 29;

// What a step asks of the window: SelectImage (false when it refuses) and
// CurrentImageInfo as the selection left it.
struct AutoPlayHooks {
    std::function<bool(std::int32_t)> selectImage;
    std::function<TWMImageInfo()> currentImageInfo;
};

enum class AutoPlayStep { Idle, Moved, Finished };

class AutoPlay {
public:
    explicit AutoPlay(TickClock clock = tickCount) : m_clock(std::move(clock)) {}

    bool isOn() const { return m_on; }
    int toolImage() const { return m_on ? kAutoPlayImageOn : kAutoPlayImageOff; }

    // The auto-play command: flips the state and restarts the period.
    void toggle();
    // Every open and close switches auto play off.
    void switchOff() { m_on = false; }

    // One frame tick's step from the grid's current cell: at most once per
    // period, select the next entry, passing over entries without a picture
    // (width or height 0) within this tick; past the last entry auto play
    // switches itself off (Finished).
    AutoPlayStep step(std::int32_t currentCellIndex, const AutoPlayHooks& hooks);

    std::uint32_t FNextAutoTick = 0;

private:
    TickClock m_clock;
    bool m_on = false;
};

}  // namespace vantoro
