#include "app/thumbnail_painter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <functional>
#include <map>
#include <stdexcept>

#include "app/draw_grid.h"
#include "pixels/std_palette.h"

namespace vantoro {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kMenuHighlight = qRgb(0x33, 0x99, 0xFF);
const QRgb kGridHighlight = qRgb(0x00, 0x78, 0xD7);
constexpr std::uint16_t kRed565 = 0xF800;
constexpr std::uint16_t kBlue565 = 0x001F;

// An open archive whose entries are given directly.
class FakeArchive : public TWMBaseImages {
public:
    struct Entry {
        std::uint8_t dataType = kDataTypeImage;
        std::optional<DibBitmap> bitmap;
    };
    explicit FakeArchive(std::int32_t count) {
        FInitialized = true;
        FImageCount = count;
    }
    std::map<std::int32_t, Entry> entries;
    bool raise = false;

protected:
    std::optional<DibBitmap> DoGetBitmap(std::int32_t index, std::uint8_t& dataType) override {
        if (raise) throw ArchiveError("not Encrypt code 9");
        const auto it = entries.find(index);
        dataType = it == entries.end() ? kDataTypeImage : it->second.dataType;
        return it == entries.end() ? std::nullopt : it->second.bitmap;
    }
};

// A 16-bit bitmap filled by fill(x, y).
DibBitmap bitmap16(int width, int height, const std::function<std::uint16_t(int, int)>& fill) {
    DibBitmap bitmap = *DibBitmap::create(16, width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) bitmap.row16(y)[x] = fill(x, y);
    }
    return bitmap;
}

QImage solidIcon(QRgb color) {
    QImage icon(64, 64, QImage::Format_RGB888);
    icon.fill(color);
    return icon;
}

QFont labelFont() {
    QFont font = DrawGrid::defaultFont();
    font.setStyleStrategy(QFont::NoAntialias);  // exact pixels to compare
    return font;
}

class ThumbnailPainterTest : public ::testing::Test {
protected:
    void SetUp() override {
        painter = std::make_unique<ThumbnailPainter>();
        painter->setMenuHighlight(QColor(kMenuHighlight));
        painter->setIcons({solidIcon(qRgb(10, 20, 30)), solidIcon(qRgb(40, 50, 60)),
                           solidIcon(qRgb(70, 80, 90))});
    }

    // Cell (column, row) painted at (0, 0) of a 64 x 64 image that the grid
    // filled with `brush`.
    QImage paint(TWMBaseImages* archive, int column, int row, bool selected = false,
                 QRgb brush = kWhite) {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(brush);
        QPainter p(&image);
        p.setFont(labelFont());
        painter->paintCell(p, archive, column, row, image.rect(), selected, QColor(brush));
        return image;
    }

    // What a label alone looks like: black text, right/bottom aligned.
    static QImage plainLabel(const QString& text) {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(kWhite);
        QPainter p(&image);
        p.setFont(labelFont());
        const QFontMetrics metrics(labelFont());
        p.setPen(Qt::black);
        p.drawText(
            QPoint(64 - metrics.horizontalAdvance(text), 64 - metrics.height() + metrics.ascent()),
            text);
        return image;
    }

    std::unique_ptr<ThumbnailPainter> painter;
};

int countPixels(const QImage& image, QRect area, QRgb color) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) count += image.pixel(x, y) == color;
    }
    return count;
}

TEST_F(ThumbnailPainterTest, WideImageIsSqueezedToTheCellWidthWithAPlainLabel) {
    FakeArchive archive(1);
    // Left half red, right half blue: both halves must survive the squeeze.
    archive.entries[0].bitmap =
        bitmap16(200, 30, [](int x, int) { return x < 100 ? kRed565 : kBlue565; });
    const QImage cell = paint(&archive, 0, 0);
    EXPECT_EQ(cell.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(cell.pixel(31, 29), qRgb(255, 0, 0));
    EXPECT_EQ(cell.pixel(63, 0), qRgb(0, 0, 255));
    EXPECT_EQ(cell.pixel(0, 30), kWhite);  // not enlarged to 64 rows
    // Below the thumbnail only the plain black label differs from white.
    const QImage label = plainLabel("000000");
    EXPECT_EQ(cell.copy(0, 30, 64, 34), label.copy(0, 30, 64, 34));
    EXPECT_GT(countPixels(cell, QRect(0, 30, 64, 34), kBlack), 10);
}

TEST_F(ThumbnailPainterTest, TallImageIsSqueezedToTheCellHeightWithAnOutlinedLabel) {
    FakeArchive archive(1);
    archive.entries[0].bitmap =
        bitmap16(40, 100, [](int, int y) { return y < 50 ? kRed565 : kBlue565; });
    const QImage cell = paint(&archive, 0, 0);
    EXPECT_EQ(cell.pixel(39, 0), qRgb(255, 0, 0));
    EXPECT_EQ(cell.pixel(0, 63), qRgb(0, 0, 255));  // the bottom half is still there
    EXPECT_EQ(cell.pixel(40, 0), kWhite);           // not enlarged to 64 columns
    // Over the blue thumbnail the label is white text with a black outline.
    const QRect overThumbnail(0, 48, 40, 16);
    EXPECT_GT(countPixels(cell, overThumbnail, kWhite), 5);
    EXPECT_GT(countPixels(cell, overThumbnail, kBlack), 5);
}

TEST_F(ThumbnailPainterTest, LabelsArePaddedToSixDigitsAndOnlyOnExistingEntries) {
    FakeArchive archive(1234568);
    EXPECT_EQ(paint(&archive, 0, 0), plainLabel("000000"));
    // Index 1234567 = row 205761, column 1.
    EXPECT_EQ(paint(&archive, 1, 205761), plainLabel("1234567"));
    QImage blank(64, 64, QImage::Format_RGB32);
    blank.fill(kWhite);
    EXPECT_EQ(paint(&archive, 2, 205761), blank);  // index 1234568: past the last entry
}

TEST_F(ThumbnailPainterTest, PureBlackShowsTheCellBackground) {
    FakeArchive archive(7);
    // Column 0 pure black, column 1 the darkest blue, which is not black.
    archive.entries[0].bitmap = bitmap16(2, 2, [](int x, int) { return x == 0 ? 0 : 1; });
    archive.entries[0].dataType = kDataTypeImage;
    EXPECT_EQ(paint(&archive, 0, 0).pixel(0, 0), kWhite);
    EXPECT_EQ(paint(&archive, 0, 0, false, kGridHighlight).pixel(0, 0), kGridHighlight);
    const QImage selected = paint(&archive, 0, 0, true, kGridHighlight);
    EXPECT_EQ(selected.pixel(0, 0), kMenuHighlight);
    EXPECT_EQ(selected.pixel(10, 10), kMenuHighlight);  // the whole cell
    EXPECT_EQ(selected.pixel(1, 0), qRgb(0, 0, 8));
}

TEST_F(ThumbnailPainterTest, EightBitImagesUseTheProgramPalette) {
    FakeArchive archive(1);
    DibBitmap bitmap = *DibBitmap::create(8, 4, 1);
    for (int x = 0; x < 4; ++x) bitmap.row(0)[x] = static_cast<std::uint8_t>(x * 60);
    bitmap.colorTable().fill(0x7F);  // an archive's own table is not used
    archive.entries[0].bitmap = bitmap;
    const QImage cell = paint(&archive, 0, 0);
    EXPECT_EQ(cell.pixel(0, 0), kWhite);  // index 0 is black in the palette
    for (int x = 1; x < 4; ++x) {
        const PaletteColor c = paletteColor(static_cast<std::uint8_t>(x * 60));
        EXPECT_EQ(cell.pixel(x, 0), qRgb(c.red, c.green, c.blue)) << x;
    }
}

TEST_F(ThumbnailPainterTest, DataTypesChooseIconsOrNothing) {
    FakeArchive archive(6);
    archive.entries[0] = {kDataTypeRaw, std::nullopt};  // no bitmap needed for the icon
    archive.entries[1] = {kDataTypeWav, std::nullopt};
    archive.entries[2] = {kDataTypeMp3, bitmap16(2, 2, [](int, int) { return kRed565; })};
    archive.entries[3] = {kDataTypeEmpty, bitmap16(2, 2, [](int, int) { return kRed565; })};
    archive.entries[4] = {99, std::nullopt};
    EXPECT_EQ(paint(&archive, 0, 0).pixel(63, 0), qRgb(10, 20, 30));
    EXPECT_EQ(paint(&archive, 1, 0).pixel(0, 0), qRgb(40, 50, 60));
    const QImage mp3 = paint(&archive, 2, 0);
    EXPECT_EQ(mp3.pixel(0, 0), qRgb(70, 80, 90));
    EXPECT_GT(countPixels(mp3, QRect(20, 48, 44, 16), kWhite), 5);  // 64 high: outlined
    // Other types show their label and nothing else.
    EXPECT_EQ(paint(&archive, 3, 0), plainLabel("000003"));
    EXPECT_EQ(paint(&archive, 4, 0), plainLabel("000004"));
}

TEST_F(ThumbnailPainterTest, NothingWithoutAnOpenArchiveOrWhenTheReaderRaises) {
    QImage blank(64, 64, QImage::Format_RGB32);
    blank.fill(kWhite);
    EXPECT_EQ(paint(nullptr, 0, 0, true), blank);
    FakeArchive closed(3);
    closed.FInitialized = false;
    EXPECT_EQ(paint(&closed, 0, 0, true), blank);
    FakeArchive raising(3);
    raising.raise = true;
    EXPECT_EQ(paint(&raising, 1, 0), blank);
}

TEST(DibToImage, KeepsPixelsAndColourTable) {
    DibBitmap indexed = *DibBitmap::create(8, 3, 2);
    indexed.row(1)[2] = 5;
    indexed.colorTable()[4 * 5 + 0] = 0x30;  // blue, green, red
    indexed.colorTable()[4 * 5 + 1] = 0x20;
    indexed.colorTable()[4 * 5 + 2] = 0x10;
    EXPECT_EQ(dibToImage(indexed).pixel(2, 1), qRgb(0x10, 0x20, 0x30));

    const DibBitmap rgb565 =
        bitmap16(3, 2, [](int x, int y) { return x == 1 && y == 1 ? 0xFFFF : 0x07E0; });
    const QImage image16 = dibToImage(rgb565);
    EXPECT_EQ(image16.pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(image16.pixel(0, 0), qRgb(0, 255, 0));

    DibBitmap rgb32 = *DibBitmap::create(32, 2, 2);
    rgb32.row(1)[4] = 0x33;  // pixel (1, 1): blue, green, red, unused
    rgb32.row(1)[5] = 0x22;
    rgb32.row(1)[6] = 0x11;
    EXPECT_EQ(dibToImage(rgb32).pixel(1, 1), qRgb(0x11, 0x22, 0x33));
}

}  // namespace
}  // namespace vantoro
