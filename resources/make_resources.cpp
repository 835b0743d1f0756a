// Writes the program's generated resources into the folder given as the one
// argument: the palette "256RGB" (1024 bytes, blue, green, red, 0 per entry)
// and the 64 x 64, 24-bit entry icons DATFILE.bmp, WAVFILE.bmp and
// MP3FILE.bmp that the thumbnail grid shows for raw data, WAV and MP3 entries.
//
// The grid draws the cell's own background wherever a thumbnail is pure
// black, so the icons leave pure black around the page and use dark grey for
// their lines.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "pixels/std_palette.h"

namespace {

constexpr int kIconSize = 64;
const QColor kLine(0x30, 0x30, 0x30);
const QColor kPaper(0xFA, 0xFA, 0xF5);

bool writePalette(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(vantoro::StdPalette.data()),
              static_cast<std::streamsize>(vantoro::StdPalette.size()));
    return static_cast<bool>(out);
}

// A sheet of paper with a folded top-right corner.
void drawPage(QPainter& painter) {
    QPainterPath page;
    page.moveTo(12, 4);
    page.lineTo(40, 4);
    page.lineTo(52, 16);
    page.lineTo(52, 60);
    page.lineTo(12, 60);
    page.closeSubpath();
    painter.setPen(QPen(kLine, 2));
    painter.setBrush(kPaper);
    painter.drawPath(page);
    painter.setBrush(QColor(0xD8, 0xD8, 0xD0));
    painter.drawPolygon(QPolygonF({QPointF(40, 4), QPointF(40, 16), QPointF(52, 16)}));
}

// Rows of bytes: small blocks of varying length.
void drawDataMarks(QPainter& painter) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x35, 0x5C, 0x9A));
    const int lengths[] = {24, 30, 18, 28, 22, 30, 14};
    for (int row = 0; row < 7; ++row) {
        for (int x = 17; x < 17 + lengths[row]; x += 5) painter.drawRect(x, 22 + row * 5, 3, 3);
    }
}

void drawWaveMarks(QPainter& painter) {
    QPainterPath wave;
    for (int x = 0; x <= 32; ++x) {
        const double envelope = 1.0 - std::abs(x - 16) / 18.0;
        const double y = 38 + 13 * envelope * std::sin(x * 0.9);
        if (x == 0) {
            wave.moveTo(16 + x, y);
        } else {
            wave.lineTo(16 + x, y);
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x2E, 0x8B, 0x3E), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(wave);
}

// Two beamed eighth notes.
void drawMp3Marks(QPainter& painter) {
    const QColor note(0xB0, 0x4A, 0x10);
    painter.setPen(Qt::NoPen);
    painter.setBrush(note);
    painter.drawEllipse(QRectF(16, 44, 10, 7));
    painter.drawEllipse(QRectF(33, 40, 10, 7));
    painter.setPen(QPen(note, 2.5));
    painter.drawLine(QPointF(25, 47), QPointF(25, 24));
    painter.drawLine(QPointF(42, 43), QPointF(42, 20));
    painter.setPen(QPen(note, 5));
    painter.drawLine(QPointF(25, 25), QPointF(42, 21));
}

bool writeIcon(const std::string& path, void (*marks)(QPainter&)) {
    QImage image(kIconSize, kIconSize, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        drawPage(painter);
        marks(painter);
    }
    return image.convertToFormat(QImage::Format_RGB888).save(QString::fromStdString(path), "BMP");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const bool written = writePalette(folder + "256RGB") &&
                         writeIcon(folder + "DATFILE.bmp", drawDataMarks) &&
                         writeIcon(folder + "WAVFILE.bmp", drawWaveMarks) &&
                         writeIcon(folder + "MP3FILE.bmp", drawMp3Marks);
    if (!written) {
        std::fprintf(stderr, "cannot write the resources into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
