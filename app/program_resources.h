// The program's own resources: the palette "256RGB", the entry icons
// "DATFILE", "WAVFILE", "MP3FILE" (64 x 64, 24 bits), the tool-bar images
// and the application icon.
#pragma once

#include <QIcon>
#include <QImage>
#include <array>
#include <cstdint>
#include <optional>

#include "pixels/std_palette.h"

namespace vantoro {

// Makes the resources linked in from the static library known to Qt; safe to
// call more than once.
void initProgramResources();

// The 1024 bytes of "256RGB", or nothing when the resource is missing or of
// another size.
std::optional<std::array<std::uint8_t, kStdPaletteBytes>> loadPaletteResource();

enum class EntryIcon { DataFile, WaveFile, Mp3File };
// A 64 x 64 RGB888 image; a null image when the resource is missing.
QImage loadEntryIcon(EntryIcon icon);

// The tool bar's image list, by image number; an empty icon for a number
// the list does not hold.
QIcon toolBarImage(int number);

QIcon applicationIcon();

}  // namespace vantoro
