// The kind table: one row per archive kind with its extension, its texts and
// the class that reads it. It is the program's one list of formats: the
// factory (CreateWMImages), the kind of a file picked by its extension, the
// window's Open menu, the status bar's format text, the command line's list
// of kinds and the file types the desktop learns at installation all read
// it. A new read-only format is its reader, a number below and one row in
// archive_kind.cpp.
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
#include <vector>

namespace vantoro {

class TWMBaseImages;

// Archive kinds. A kind holds any 8-bit number (a recent-file entry may name
// 130); CreateWMImages looks only at the low 7 bits.
enum class TWMImagesKind : std::uint8_t {
    M2Def = 0,       // Mir2 .wil + .wix
    M2DefBit16 = 1,  // Mir2 .wil + .wix, 16-bit menu entry
    M2Wis = 2,       // Mir2 .wis
    MyImage = 3,     // own pack .pak
    M3Def = 4,       // Mir3 .wil + .wix
    WoolDef = 5,     // Woool .sgl
    W521gDef = 6,    // Wuyi .521g
    M2Zip = 7,       // Mir2 .wzl + .wzx
    M3Zip = 8,       // Mir3 .miz + .mix
};

// Constructs the class of an archive kind; nothing for a kind without one.
std::unique_ptr<TWMBaseImages> CreateWMImages(TWMImagesKind kind);

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

// A submenu of the window's Open menu that groups the commands of one game.
struct OpenSubmenu {
    std::string_view name{};     // the menu's object name: "M1"
    std::string_view caption{};  // "传奇2(&M)"
};

// A kind's command in the window's Open menu.
struct OpenCommand {
    std::string_view name{};     // the item's object name: "MEMU_FILE_OPEN_MIR3"
    std::string_view caption{};  // "标准文件 *.wil (&M)"
    int ctrlFunctionKey = 0;     // 8: Ctrl+F8; 0: no shortcut
    // Where the item stands among all the Open commands, submenus read in
    // place; a submenu stands where its first command does.
    int menuPosition = 0;
    const OpenSubmenu* submenu = nullptr;  // null: straight in the Open menu
    bool hidden = false;                   // kept out of sight; its shortcut still works
};

// What the desktop's file-type database is told of a kind's files when the
// program is installed: the type "application/x-vantoro-" + the extension
// without its dot, and one for the index file beside it.
struct ArchiveFileType {
    std::string_view comment{};         // "Compressed Mir2 image archive"
    std::string_view chineseComment{};  // "传奇二压缩图像存储文件"
    std::string_view indexExtension{};  // ".wzx"; empty when there is no index file
    std::string_view indexComment{};
    std::string_view chineseIndexComment{};
    // The text the kind's files start with, when the database should check
    // it because other programs use the same extension; empty: none.
    std::string_view magic{};
};

struct ArchiveKindInfo {
    TWMImagesKind kind{};
    std::string_view extension{};   // ".wil"; empty when the kind has none of its own
    std::string_view label{};       // in the command line's list of kinds: "Woool .sgl"
    std::string_view openFilter{};  // the dialog filter of the kind's Open command
    std::string_view formatName{};  // the status bar's format text; empty: none of its own
    ArchiveClass archiveClass{};
    OpenCommand openCommand{};
    // Rows that share an extension share one file type; null when the kind
    // has no extension of its own.
    const ArchiveFileType* fileType = nullptr;
};

// Every kind, in the order the extension rule lists the extensions.
std::span<const ArchiveKindInfo> archiveKinds();

// Each kind's extension once, in the order of the table: ".wil", ".wis", ...
std::vector<std::string_view> archiveExtensions();

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
