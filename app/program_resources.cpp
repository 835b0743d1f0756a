#include "app/program_resources.h"

#include <QFile>
#include <QPixmap>
#include <QString>
#include <algorithm>
#include <cstring>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initVantoroResources() {
    Q_INIT_RESOURCE(vantoro);
}

namespace vantoro {
namespace {

struct ToolBarImage {
    int number;
    const char* path;
};

// The image numbers the tool-bar buttons use.
constexpr ToolBarImage kToolBarImages[] = {
    {0, ":/toolbar/document-new.png"},
    {1, ":/toolbar/document-open.png"},
    {2, ":/toolbar/window-close.png"},
    {6, ":/toolbar/document-save-as.png"},
    {11, ":/toolbar/view-fullscreen.png"},
    {12, ":/toolbar/format-justify-center.png"},
    {14, ":/toolbar/zoom-original.png"},
    {15, ":/toolbar/go-next.png"},
    {18, ":/toolbar/go-jump.png"},
    {19, ":/toolbar/edit-delete.png"},
    {23, ":/toolbar/preferences-desktop-wallpaper.png"},
    {26, ":/toolbar/list-add.png"},
    {27, ":/toolbar/go-previous.png"},
    {28, ":/toolbar/media-playback-start.png"},
    {29, ":/toolbar/media-playback-pause.png"},
};

// The share of its opacity a disabled button's image keeps.
constexpr double kDisabledOpacity = 0.35;

// A disabled button's image: grey, and faint enough to tell from an enabled
// one at a glance. The styles' own disabled images of these pale outline
// drawings differ from the enabled ones by a few per cent of brightness.
QPixmap greyedOut(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            const int alpha = static_cast<int>(qAlpha(line[x]) * kDisabledOpacity);
            line[x] = qRgba(grey, grey, grey, alpha);
        }
    }
    return QPixmap::fromImage(image);
}

const char* entryIconPath(EntryIcon icon) {
    switch (icon) {
        case EntryIcon::WaveFile:
            return ":/WAVFILE.bmp";
        case EntryIcon::Mp3File:
            return ":/MP3FILE.bmp";
        case EntryIcon::DataFile:
            break;
    }
    return ":/DATFILE.bmp";
}

}  // namespace

void initProgramResources() {
    initVantoroResources();
}

std::optional<std::array<std::uint8_t, kStdPaletteBytes>> loadPaletteResource() {
    QFile file(QStringLiteral(":/256RGB"));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.size() != static_cast<qsizetype>(kStdPaletteBytes)) return std::nullopt;
    std::array<std::uint8_t, kStdPaletteBytes> palette{};
    std::memcpy(palette.data(), bytes.constData(), palette.size());
    return palette;
}

QImage loadEntryIcon(EntryIcon icon) {
    QImage image(QString::fromLatin1(entryIconPath(icon)));
    if (image.isNull()) return image;
    return image.convertToFormat(QImage::Format_RGB888);
}

QIcon toolBarImage(int number) {
    const auto* found =
        std::find_if(std::begin(kToolBarImages), std::end(kToolBarImages),
                     [number](const ToolBarImage& image) { return image.number == number; });
    if (found == std::end(kToolBarImages)) return QIcon();
    const QImage image(QString::fromLatin1(found->path));
    if (image.isNull()) return QIcon();
    QIcon icon(QPixmap::fromImage(image));
    icon.addPixmap(greyedOut(image), QIcon::Disabled);
    return icon;
}

QIcon applicationIcon() {
    return QIcon(QStringLiteral(":/vantoro.png"));
}

}  // namespace vantoro
