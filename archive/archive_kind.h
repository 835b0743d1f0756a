// The kind table: one row per archive kind with its extension, its texts and
// the class that reads it. It drives the factory (CreateWMImages), the kind
// of a file picked by its extension, the window's Open commands, the status
// bar's format text and the command line's list of kinds. A new format is
// one row here.
//
// Both Mir2 and Mir3 standard archives end in ".wil"; a Mir3 data file starts
// with the 16-bit value 1, which tells them apart.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "archive/wil.h"

namespace vantoro {

// The first little-endian 16-bit value of a Mir3 ".wil" data file.
inline constexpr std::uint16_t kMir3WilMarker = 1;

// A kind as the number users see (recent-file entries, command line).
constexpr int kindNumber(TWMImagesKind kind) {
    return static_cast<int>(kind);
}

// What the table knows of the class that reads a kind.
struct ArchiveClass {
    std::unique_ptr<TWMBaseImages> (*create)() = nullptr;  // null: no class yet
    // Whether an archive is of this class or a subclass of it.
    bool (*isInstance)(const TWMBaseImages&) = nullptr;
    // The version part of the status bar's format text ("(新)"), read from an
    // opened archive; called only on an instance.
    std::string_view (*formatVersion)(const TWMBaseImages&) = nullptr;
};

struct ArchiveKindInfo {
    TWMImagesKind kind;
    std::string_view extension;   // ".wil"; empty when the kind has none of its own
    std::string_view label;       // in the command line's list of kinds: "Woool .sgl"
    std::string_view openFilter;  // the dialog filter of the kind's Open command
    std::string_view formatName;  // the status bar's format text; empty: none of its own
    ArchiveClass archiveClass;
};

// Every kind, in the order the extension rule lists the extensions.
std::span<const ArchiveKindInfo> archiveKinds();

// The row of exactly `kind`; nothing for a number without a row.
const ArchiveKindInfo* findArchiveKind(TWMImagesKind kind);

// The row whose class `archive` is an instance of; a subclass answers with
// the row of its base when that stands first (the 16-bit Mir2 class with the
// Mir2 row). Nothing for a class outside the table.
const ArchiveKindInfo* kindInfoOf(const TWMBaseImages& archive);

// The format of an archive as the status bar names it, version included
// ("MIR2 标准数据格式(新)"); empty for a class without a name of its own.
std::string archiveFormatName(const TWMBaseImages& archive);

// The extension of the last name in `path`, dot included, as spelled: from
// the last '.' after the last '/'; "" when the name has no dot.
std::string_view fileExtension(std::string_view path);

// The kind for an extension (compared without regard to case) given the
// file's first bytes. ".wil" is Mir3 when the first two bytes are the Mir3
// marker, otherwise Mir2 (also when the file holds fewer than two bytes).
// Nothing for an extension outside the table.
std::optional<TWMImagesKind> kindForExtension(std::string_view extension,
                                              std::span<const std::uint8_t> head);

// kindForExtension on the file's own extension and first two bytes. A ".wil"
// that cannot be read counts as shorter than two bytes: Mir2, whose reader
// then fails to open it.
std::optional<TWMImagesKind> kindForFile(const std::string& path);

}  // namespace vantoro
