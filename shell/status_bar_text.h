// The eight panel texts of the main window's status bar, worked out from
// plain values so the window only copies them into its panels.
//
// Panels, left to right: selected and last index, archive format, image size,
// X offset, Y offset, stored pixel format of the image, alpha of the view,
// dragged view position.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/archive_reader.h"

namespace vantoro {

inline constexpr std::size_t kStatusPanelCount = 8;

// Panel widths in pixels, in panel order.
inline constexpr std::array<int, kStatusPanelCount> kStatusPanelWidths = {130, 190, 110, 80,
                                                                          80,  95,  90,  50};

// What the status bar shows, gathered by the window.
struct StatusBarState {
    const TWMBaseImages* archive = nullptr;  // the open archive, or none
    std::int32_t CurrentIndex = -1;
    TWMImageInfo CurrentImageInfo;
    std::int16_t CurrentPixelFormat = 0;  // -1 means "default"
    std::int32_t alpha = 255;             // position of the alpha track bar
    std::int32_t FUserX = 0;
    std::int32_t FUserY = 0;
    // What went wrong with the open archive or the selected entry, in the
    // window's words; shown in the last panel in place of the dragged
    // position while there is one.
    std::string notice;
};

using StatusBarTexts = std::array<std::string, kStatusPanelCount>;

// All eight panels; panels 2 to 7 are written whether or not an archive is open.
StatusBarTexts UpdateStatusBar(const StatusBarState& state);

// Panel 1: "格式: " and the archive's format name from the kind table;
// "格式: 未知" without an archive or for a class without a name of its own
// (the Wuyi reader).
std::string archiveFormatText(const TWMBaseImages* archive);

// Panel 5: the stored pixel-format index of the selected image.
std::string pixelFormatText(std::int16_t pixelFormat);

// Whether `archive` is a pack (the kind table's pack row); the per-entry
// pixel format of a selection hangs on this test.
bool isPackArchive(const TWMBaseImages* archive);

}  // namespace vantoro
