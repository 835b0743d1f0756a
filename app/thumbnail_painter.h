// Paints one cell of the thumbnail grid: the entry's bitmap (or the icon of
// its data type) squeezed into the 64 x 64 cell, and its number in the
// bottom right corner.
//
// Nothing is cached between cells: every paint asks the archive for the
// bitmap again (the archive's own texture cache is off), so the decode and
// scale path is kept lean: the bitmap is sampled straight into one reused
// thumbnail buffer, converting pixels and keying out pure black on the way.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <cstdint>
#include <optional>

#include "archive/archive_reader.h"
#include "pixels/dib_bitmap.h"
#include "shell/grid_navigation.h"

class QPainter;

namespace vantoro {

// The pictures shown for entries that are not images: 64 x 64, any
// QImage format (the program's resources hold 24-bit bitmaps).
struct ThumbnailIcons {
    QImage dataFile;  // raw data (type 47)
    QImage waveFile;  // WAV sound (type 63)
    QImage mp3File;   // MP3 sound (type 79)
};

// A bitmap as a QImage of the same size: 8-bit with its colour table
// (Indexed8), 16-bit R5G6B5 (RGB16) or 32-bit B,G,R,X (RGB32).
QImage dibToImage(const DibBitmap& bitmap);

// The platform's menu-highlight colour: selected cells are filled with it.
QColor systemMenuHighlight();

class ThumbnailPainter {
public:
    ThumbnailPainter();

    void setIcons(const ThumbnailIcons& icons);
    void setMenuHighlight(const QColor& color) { m_menuHighlight = color; }
    const QColor& menuHighlight() const { return m_menuHighlight; }

    // Paints cell (column, row) of the grid over `cellRect`, which the grid
    // has already filled with `brushColor`. The label uses the painter's
    // font. Without an archive, or with one that is not initialised,
    // nothing is painted. A selected cell is filled with the menu highlight,
    // which then replaces black in the thumbnail instead of `brushColor`.
    void paintCell(QPainter& painter, TWMBaseImages* archive, int column, int row,
                   const QRect& cellRect, bool selected, const QColor& brushColor);

private:
    // Fills m_thumbnail's top-left corner from the entry and answers the
    // thumbnail's size (0 x 0: nothing to show), or nothing when the
    // archive raised while reading the entry.
    std::optional<ThumbnailLayout> buildThumbnail(TWMBaseImages& archive, std::int32_t index,
                                                  QRgb keyColor);

    ThumbnailIcons m_icons;  // kept as RGB32
    QColor m_menuHighlight;
    QImage m_thumbnail;  // 64 x 64 RGB32, reused by every cell
    QFont m_labelFont;   // the font m_labelMetrics measures
    std::optional<QFontMetrics> m_labelMetrics;
};

}  // namespace vantoro
