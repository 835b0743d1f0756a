#include "shell/grid_navigation.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "io/decimal_text.h"

namespace vantoro {
namespace {

constexpr std::int64_t kMaxIndex = std::numeric_limits<std::int32_t>::max();

// The go-to box's stand-in for a text that is not a number.
constexpr std::int32_t kGotoFallbackIndex = 1;

}  // namespace

bool isArchiveReady(const TWMBaseImages* archive) {
    return archive && archive->FInitialized;
}

std::int32_t gridRowCount(const TWMBaseImages* archive) {
    if (!archive) return 1;
    return std::max(archive->FImageCount, 0) / kGridColumns + 1;
}

ThumbnailSource thumbnailSource(std::uint8_t dataType) {
    switch (dataType) {
        case kDataTypeImage:
            return ThumbnailSource::Bitmap;
        case kDataTypeRaw:
            return ThumbnailSource::DataIcon;
        case kDataTypeWav:
            return ThumbnailSource::WaveIcon;
        case kDataTypeMp3:
            return ThumbnailSource::Mp3Icon;
        default:
            return ThumbnailSource::Nothing;
    }
}

ThumbnailLayout thumbnailLayout(std::int32_t bitmapWidth, std::int32_t bitmapHeight) {
    const std::int32_t width = std::min(kGridCellSize, bitmapWidth);
    const std::int32_t height = std::min(kGridCellSize, bitmapHeight);
    return {width, height, height > kGridCellSize - kGridLabelBand};
}

bool cellHasLabel(std::int32_t index, std::int32_t imageCount) {
    return std::int64_t{index} <= std::int64_t{imageCount} - 1;
}

std::string cellLabel(std::int32_t index) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%.6d", static_cast<int>(index));
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

std::vector<LabelStroke> labelStrokes(std::int32_t cellRight, std::int32_t cellBottom,
                                      std::int32_t textWidth, std::int32_t textHeight,
                                      bool outlined) {
    const std::int32_t x = cellRight - textWidth;
    const std::int32_t y = cellBottom - textHeight;
    if (!outlined) return {{x, y, false}};
    return {
        {x - 1, y, false}, {x + 1, y, false}, {x, y - 1, false}, {x, y + 1, false}, {x, y, true}};
}

bool acceptsSelection(const TWMBaseImages* archive, std::int64_t index) {
    return isArchiveReady(archive) && index >= 0 && index <= std::int64_t{archive->FImageCount} - 1;
}

std::vector<GridCell> selectImageMoves(GridCell current, std::int32_t index) {
    const GridCell target = cellOf(index);
    std::vector<GridCell> moves;
    if (target.row != current.row) moves.push_back({target.row, current.column});
    if (target.column != current.column) moves.push_back(target);
    return moves;
}

std::optional<std::int32_t> stepTarget(const TWMBaseImages* archive, GridCell current,
                                       NavigationStep step) {
    const std::int64_t target =
        std::int64_t{current.row} * kGridColumns + current.column + static_cast<std::int64_t>(step);
    if (!acceptsSelection(archive, target)) return std::nullopt;
    return static_cast<std::int32_t>(target);
}

std::string gotoInitialText(std::int32_t currentIndex) {
    return std::to_string(currentIndex);
}

std::int32_t gotoIndex(std::string_view text) {
    return parseDecimalInt32(text).value_or(kGotoFallbackIndex);
}

std::optional<std::int32_t> gotoTarget(const TWMBaseImages* archive, std::string_view text) {
    if (!isArchiveReady(archive)) return std::nullopt;
    const std::int32_t index = gotoIndex(text);
    if (!acceptsSelection(archive, index)) return std::nullopt;
    return index;
}

void AutoPlay::toggle() {
    m_on = !m_on;
    FNextAutoTick = m_clock();
}

AutoPlayStep AutoPlay::step(std::int32_t currentCellIndex, const AutoPlayHooks& hooks) {
    if (!m_on) return AutoPlayStep::Idle;
    const std::uint32_t now = m_clock();
    if (now <= FNextAutoTick) return AutoPlayStep::Idle;  // unsigned: the tick count wraps
    FNextAutoTick = now + kAutoPlayPeriodMs;
    // Each accepted selection makes its index the grid's current cell, so the
    // walk goes on from there; it ends at the first entry with a picture or
    // where SelectImage refuses, at the latest past the last entry.
    for (std::int64_t index = std::int64_t{currentCellIndex} + 1;; ++index) {
        if (index > kMaxIndex || !hooks.selectImage(static_cast<std::int32_t>(index))) {
            m_on = false;
            return AutoPlayStep::Finished;
        }
        const TWMImageInfo info = hooks.currentImageInfo();
        if (info.Width != 0 && info.Height != 0) return AutoPlayStep::Moved;
    }
}

}  // namespace vantoro
