#include "app/thumbnail_painter.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QStaticText>
#include <QString>
#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>

#include "pixels/std_palette.h"
#include "shell/grid_navigation.h"

namespace vantoro {
namespace {

// Rows of pixels to sample from, top row first.
struct PixelRows {
    const std::uint8_t* bits = nullptr;
    qsizetype stride = 0;
    int width = 0;
    int height = 0;
};

using Rgb32Table = std::array<QRgb, 256>;

// A colour table of blue, green, red, reserved entries as opaque RGB32.
Rgb32Table rgb32Table(const std::array<std::uint8_t, 1024>& table) {
    Rgb32Table colors{};
    for (std::size_t i = 0; i < colors.size(); ++i) {
        colors[i] = qRgb(table[4 * i + 2], table[4 * i + 1], table[4 * i]);
    }
    return colors;
}

// R5G6B5 to 8 bits per channel, the top bits repeated into the low ones so
// that full intensity stays full (0x1F -> 0xFF), and only 0 becomes black.
constexpr QRgb rgb565ToRgb32(std::uint16_t pixel) {
    const unsigned r = (pixel >> 11) & 0x1F;
    const unsigned g = (pixel >> 5) & 0x3F;
    const unsigned b = pixel & 0x1F;
    return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

// Every output bit of that expansion is a copy of one input bit, so the
// colour of a pixel is the OR of the colours of its high and its low byte:
// two small tables instead of a dozen shifts per pixel.
struct Rgb565Tables {
    std::array<QRgb, 256> high{};
    std::array<QRgb, 256> low{};
};

constexpr Rgb565Tables makeRgb565Tables() {
    Rgb565Tables tables;
    for (unsigned i = 0; i < 256; ++i) {
        tables.high[i] = rgb565ToRgb32(static_cast<std::uint16_t>(i << 8));
        tables.low[i] = rgb565ToRgb32(static_cast<std::uint16_t>(i));
    }
    return tables;
}

constexpr Rgb565Tables kRgb565Tables = makeRgb565Tables();
static_assert((kRgb565Tables.high[0xF8] | kRgb565Tables.low[0x1F]) == 0xFF00FF);
static_assert((kRgb565Tables.high[0x07] | kRgb565Tables.low[0xE0]) == 0x00FF00);

struct FetchIndexed8 {
    const Rgb32Table* table;
    QRgb operator()(const std::uint8_t* row, int x) const { return (*table)[row[x]]; }
};
struct FetchRgb565 {
    // Little-endian pixels: the low byte first.
    QRgb operator()(const std::uint8_t* row, int x) const {
        const std::uint8_t* pixel = row + 2 * static_cast<std::size_t>(x);
        return 0xFF000000u | kRgb565Tables.low[pixel[0]] | kRgb565Tables.high[pixel[1]];
    }
};
struct FetchRgb32 {
    QRgb operator()(const std::uint8_t* row, int x) const {
        QRgb pixel;
        std::memcpy(&pixel, row + 4 * static_cast<std::size_t>(x), sizeof pixel);
        return 0xFF000000u | pixel;
    }
};

// Nearest-pixel stretch of `source` onto the top-left width x height of
// `target` (RGB32, at least that large), painting `keyColor` wherever the
// stretched picture is pure black. Each side is scaled on its own.
template <typename Fetch>
void stretchKeyed(const PixelRows& source, Fetch fetch, QImage& target, int width, int height,
                  QRgb keyColor) {
    if (width > kGridCellSize || target.width() < width || target.height() < height) return;
    std::array<int, kGridCellSize> columnOf{};
    for (int x = 0; x < width; ++x) {
        columnOf[static_cast<std::size_t>(x)] =
            static_cast<int>(std::int64_t{x} * source.width / width);
    }
    for (int y = 0; y < height; ++y) {
        const auto sourceY = static_cast<qsizetype>(std::int64_t{y} * source.height / height);
        const std::uint8_t* in = source.bits + sourceY * source.stride;
        auto* out = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = fetch(in, columnOf[static_cast<std::size_t>(x)]);
            out[x] = (pixel & 0x00FFFFFFu) == 0 ? keyColor : pixel;
        }
    }
}

PixelRows rowsOf(const DibBitmap& bitmap) {
    return {bitmap.pixels().data(), bitmap.stride(), bitmap.width(), bitmap.height()};
}

PixelRows rowsOf(const QImage& image) {
    return {image.constBits(), image.bytesPerLine(), image.width(), image.height()};
}

// The thumbnail of a bitmap; its size by the cell's clamping rule.
ThumbnailLayout stretchBitmap(DibBitmap& bitmap, QImage& target, QRgb keyColor) {
    const ThumbnailLayout layout = thumbnailLayout(bitmap.width(), bitmap.height());
    const PixelRows rows = rowsOf(bitmap);
    switch (bitmap.bitCount()) {
        case 8: {
            // Every 8-bit picture is shown with the program's palette,
            // whatever table the archive put on it.
            bitmap.colorTable() = StdPalette;
            const Rgb32Table table = rgb32Table(bitmap.colorTable());
            stretchKeyed(rows, FetchIndexed8{&table}, target, layout.width, layout.height,
                         keyColor);
            break;
        }
        case 16:
            stretchKeyed(rows, FetchRgb565{}, target, layout.width, layout.height, keyColor);
            break;
        case 32:
            stretchKeyed(rows, FetchRgb32{}, target, layout.width, layout.height, keyColor);
            break;
        default:
            return {};
    }
    return layout;
}

ThumbnailLayout stretchIcon(const QImage& icon, QImage& target, QRgb keyColor) {
    if (icon.isNull()) return {};
    const ThumbnailLayout layout = thumbnailLayout(icon.width(), icon.height());
    stretchKeyed(rowsOf(icon), FetchRgb32{}, target, layout.width, layout.height, keyColor);
    return layout;
}

QImage asRgb32(const QImage& image) {
    return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

// The label's strokes are placed by the text's top-left corner, which is
// where QStaticText puts it too. The text is laid out once for all strokes.
void drawLabel(QPainter& painter, const QRect& cellRect, std::int32_t index, bool outlined,
               const QFontMetrics& metrics) {
    const QString text = QString::fromLatin1(cellLabel(index));
    QStaticText label(text);
    label.setTextFormat(Qt::PlainText);
    label.prepare(painter.transform(), painter.font());
    const auto strokes =
        labelStrokes(cellRect.left() + cellRect.width(), cellRect.top() + cellRect.height(),
                     metrics.horizontalAdvance(text), metrics.height(), outlined);
    for (const LabelStroke& stroke : strokes) {
        painter.setPen(stroke.white ? Qt::white : Qt::black);
        painter.drawStaticText(QPoint(stroke.x, stroke.y), label);
    }
}

}  // namespace

QImage dibToImage(const DibBitmap& bitmap) {
    QImage::Format format = QImage::Format_Invalid;
    switch (bitmap.bitCount()) {
        case 8:
            format = QImage::Format_Indexed8;
            break;
        case 16:
            format = QImage::Format_RGB16;
            break;
        case 32:
            format = QImage::Format_RGB32;
            break;
        default:
            return {};
    }
    QImage image(bitmap.width(), bitmap.height(), format);
    if (image.isNull()) return {};
    // Both keep rows on 4-byte strides, but a QImage may pad differently:
    // copy each row's pixels only.
    const auto rowBytes = static_cast<std::size_t>(bitmap.width()) * (bitmap.bitCount() / 8);
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        std::memcpy(image.scanLine(y), bitmap.row(y), rowBytes);
    }
    if (format == QImage::Format_Indexed8) {
        const Rgb32Table table = rgb32Table(bitmap.colorTable());
        image.setColorTable(QList<QRgb>(table.begin(), table.end()));
    }
    return image;
}

QColor systemMenuHighlight() {
    return QApplication::palette("QMenu").color(QPalette::Active, QPalette::Highlight);
}

ThumbnailPainter::ThumbnailPainter()
    : m_menuHighlight(systemMenuHighlight()),
      m_thumbnail(kGridCellSize, kGridCellSize, QImage::Format_RGB32) {}

void ThumbnailPainter::setIcons(const ThumbnailIcons& icons) {
    m_icons = {asRgb32(icons.dataFile), asRgb32(icons.waveFile), asRgb32(icons.mp3File)};
}

std::optional<ThumbnailLayout> ThumbnailPainter::buildThumbnail(TWMBaseImages& archive,
                                                                std::int32_t index, QRgb keyColor) {
    std::uint8_t dataType = 0;
    std::optional<DibBitmap> bitmap;
    try {
        bitmap = archive.GetBitmap(index, dataType);
    } catch (const std::exception&) {
        // A damaged entry that a reader refuses by raising must not take
        // the window down in the middle of painting; its cell stays empty
        // (the selection reports the failure when the entry is chosen).
        return std::nullopt;
    }
    switch (thumbnailSource(dataType)) {
        case ThumbnailSource::Bitmap:
            if (bitmap) return stretchBitmap(*bitmap, m_thumbnail, keyColor);
            return ThumbnailLayout{};
        case ThumbnailSource::DataIcon:
            return stretchIcon(m_icons.dataFile, m_thumbnail, keyColor);
        case ThumbnailSource::WaveIcon:
            return stretchIcon(m_icons.waveFile, m_thumbnail, keyColor);
        case ThumbnailSource::Mp3Icon:
            return stretchIcon(m_icons.mp3File, m_thumbnail, keyColor);
        case ThumbnailSource::Nothing:
            break;
    }
    return ThumbnailLayout{};
}

void ThumbnailPainter::paintCell(QPainter& painter, TWMBaseImages* archive, int column, int row,
                                 const QRect& cellRect, bool selected, const QColor& brushColor) {
    if (!isArchiveReady(archive)) return;
    const std::int64_t index = std::int64_t{row} * kGridColumns + column;
    if (row < 0 || column < 0 || index > std::numeric_limits<std::int32_t>::max()) return;

    QColor brush = brushColor;
    if (selected) {
        brush = m_menuHighlight;
        painter.fillRect(cellRect, brush);
    }
    const auto layout = buildThumbnail(*archive, static_cast<std::int32_t>(index), brush.rgb());
    if (!layout) return;
    if (layout->width > 0 && layout->height > 0) {
        painter.drawImage(cellRect.topLeft(), m_thumbnail,
                          QRect(0, 0, layout->width, layout->height));
    }
    if (cellHasLabel(static_cast<std::int32_t>(index), archive->FImageCount)) {
        if (!m_labelMetrics || painter.font() != m_labelFont) {
            m_labelFont = painter.font();
            m_labelMetrics.emplace(m_labelFont);
        }
        drawLabel(painter, cellRect, static_cast<std::int32_t>(index), layout->outlined,
                  *m_labelMetrics);
        if (selected) painter.setPen(Qt::black);
    }
}

}  // namespace vantoro
