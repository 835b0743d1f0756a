#include "archive/archive_kind.h"

#include <algorithm>

#include "archive/m2_def_images.h"
#include "archive/m2_wis_images.h"
#include "archive/m2_zip_images.h"
#include "archive/m3_def_images.h"
#include "archive/m3_zip_images.h"
#include "archive/my_image_images.h"
#include "archive/pack_header.h"
#include "archive/woool_images.h"
#include "archive/wuyi_images.h"
#include "io/byte_reader.h"
#include "io/file_names.h"
#include "io/file_stream.h"

namespace vantoro {
namespace {

// The version part of the format text, by the most derived class that has one.
std::string_view versionText(const TWMBaseImages&) {
    return {};
}
std::string_view versionText(const TWMM2DefImages& archive) {
    if (archive.FIs16Bit) return "(16位)";
    return archive.FIsNewVersion ? "(新)" : "(旧)";
}
std::string_view versionText(const TWMM3DefImages& archive) {
    return archive.FIsNewVersion ? "(新)" : "(旧)";
}

template <typename Archive>
std::unique_ptr<TWMBaseImages> make() {
    return std::make_unique<Archive>();
}

template <typename Archive>
bool isInstance(const TWMBaseImages& archive) {
    return dynamic_cast<const Archive*>(&archive) != nullptr;
}

template <typename Archive>
std::string_view versionOf(const TWMBaseImages& archive) {
    return versionText(static_cast<const Archive&>(archive));
}

template <typename Archive>
constexpr ArchiveClass classOf() {
    return {&make<Archive>, &isInstance<Archive>, &versionOf<Archive>};
}

using enum TWMImagesKind;

constexpr OpenSubmenu kMir2Menu{"M1", "传奇2(&M)"};
constexpr OpenSubmenu kMir3Menu{"N3M1", "传奇3(&M)"};

// Both ".wil" kinds share one file type; the Mir3 marker tells them apart.
constexpr ArchiveFileType kWilFiles{"Mir image archive", "传奇图像存储文件", ".wix",
                                    "Mir image archive index", "传奇图像索引文件"};
constexpr ArchiveFileType kWisFiles{"Mir2 encrypted image archive", "传奇二加密图像存储文件"};
constexpr ArchiveFileType kWzlFiles{"Compressed Mir2 image archive", "传奇二压缩图像存储文件",
                                    ".wzx", "Compressed Mir2 image archive index",
                                    "传奇二压缩图像索引文件"};
constexpr ArchiveFileType kMizFiles{"Compressed Mir3 image archive", "传奇三压缩图像存储文件",
                                    ".mix", "Compressed Mir3 image archive index",
                                    "传奇三压缩图像索引文件"};
constexpr ArchiveFileType kSglFiles{"Woool image archive", "传奇世界图像数据存储文件"};
constexpr ArchiveFileType k521gFiles{"Wuyi image archive", "武易图像数据存储文件"};
// Other games' .pak archives begin with "PACK" too; ours go on with their
// version text.
constexpr ArchiveFileType kPakFiles{
    .comment = "Vantoro pack", .chineseComment = "自定义存储文件", .magic = kPackSignature};

// In the order the extension rule lists the extensions; a class's base
// stands before it (kindInfoOf answers with the first row that matches).
constexpr ArchiveKindInfo kKinds[] = {
    {.kind = M2Def,
     .extension = ".wil",
     .label = "Mir2 .wil",
     .openFilter = "传奇二标准图像存储文件|*.wil",
     .formatName = "MIR2 标准数据格式",
     .archiveClass = classOf<TWMM2DefImages>(),
     .openCommand = {.name = "MEMU_FILE_OPEN_MIR2_OLD",
                     .caption = "标准文件 *.wil (&W)",
                     .ctrlFunctionKey = 2,
                     .menuPosition = 1,
                     .submenu = &kMir2Menu},
     .fileType = &kWilFiles},
    {.kind = M2DefBit16,
     .extension = "",
     .label = "Mir2 16-bit .wil",
     .openFilter = "传奇二图像存储文件(565)|*_16.wil",
     .formatName = "MIR2 标准数据格式",
     .archiveClass = classOf<TWMM2DefBit16Images>(),
     .openCommand = {.name = "MEMU_FILE_OPEN_MIR2_16",
                     .caption = "真彩文件 *_16.wil (&W)",
                     .ctrlFunctionKey = 3,
                     .menuPosition = 2,
                     .submenu = &kMir2Menu,
                     .hidden = true}},
    {.kind = M3Def,
     .extension = ".wil",
     .label = "Mir3 .wil",
     .openFilter = "传奇三标准图像存储文件|*.wil",
     .formatName = "MIR3 标准数据格式",
     .archiveClass = classOf<TWMM3DefImages>(),
     .openCommand = {.name = "MEMU_FILE_OPEN_MIR3",
                     .caption = "标准文件 *.wil (&M)",
                     .ctrlFunctionKey = 8,
                     .menuPosition = 5,
                     .submenu = &kMir3Menu},
     .fileType = &kWilFiles},
    {.kind = M2Wis,
     .extension = ".wis",
     .label = ".wis",
     .openFilter = "传奇二加密图像存储文件|*.wis",
     .formatName = "MIR2 特定加密模式",
     .archiveClass = classOf<TWMM2WisImages>(),
     .openCommand = {.name = "MEMU_FILE_OPEN_MIR2_WIS",
                     .caption = "加密文件 *.wis (&S)",
                     .ctrlFunctionKey = 4,
                     .menuPosition = 3,
                     .submenu = &kMir2Menu},
     .fileType = &kWisFiles},
    {.kind = M2Zip,
     .extension = ".wzl",
     .label = ".wzl",
     .openFilter = "传奇二压缩图像存储文件|*.wzl",
     .formatName = "MIR2 标准压缩格式",
     .archiveClass = classOf<TWMM2ZipImages>(),
     .openCommand = {.name = "MEMU_FILE_OPEN_MIR2_ZIP",
                     .caption = "标准压缩 *.wzl (&Z)",
                     .ctrlFunctionKey = 5,
                     .menuPosition = 4,
                     .submenu = &kMir2Menu},
     .fileType = &kWzlFiles},
    {.kind = WoolDef,
     .extension = ".sgl",
     .label = "Woool .sgl",
     .openFilter = "传奇世界图像数据存储文件|*.sgl",
     .formatName = "传奇世界",
     .archiveClass = classOf<TWMWoolDefImages>(),
     .openCommand = {.name = "MEMU_FILE_OPEN_WOOOL",
                     .caption = "传奇世界(&W)",
                     .ctrlFunctionKey = 6,
                     .menuPosition = 7},
     .fileType = &kSglFiles},
    {.kind = W521gDef,
     .extension = ".521g",
     .label = "Wuyi .521g",
     .openFilter = "武易图像数据存储文件|*.521g",
     .formatName = "",
     .archiveClass = classOf<TWM521gDefImages>(),
     .openCommand = {.name = "MEMU_FILE_OPEN_WY",
                     .caption = "武易(&G)",
                     .ctrlFunctionKey = 7,
                     .menuPosition = 8,
                     .hidden = true},
     .fileType = &k521gFiles},
    {.kind = MyImage,
     .extension = ".pak",
     .label = "pack .pak",
     .openFilter = "自定义存储文件|*.pak",
     .formatName = "自定义图像文件模式",
     .archiveClass = classOf<TWMMyImageImages>(),
     .openCommand = {.name = "MEMU_FILE_OPEN_DIY",
                     .caption = "自定义格式 (&C)",
                     .ctrlFunctionKey = 1,
                     .menuPosition = 0},
     .fileType = &kPakFiles},
    {.kind = M3Zip,
     .extension = ".miz",
     .label = ".miz",
     .openFilter = "传奇三压缩图像存储文件|*.miz",
     .formatName = "MIR3 标准压缩格式",
     .archiveClass = classOf<TWMM3ZipImages>(),
     .openCommand = {.name = "MEMU_FILE_OPEN_MIR3Zip",
                     .caption = "标准压缩 *.miz (&Z)",
                     .ctrlFunctionKey = 9,
                     .menuPosition = 6,
                     .submenu = &kMir3Menu},
     .fileType = &kMizFiles},
};

constexpr std::string_view kWilExtension = ".wil";

TWMImagesKind wilKind(std::span<const std::uint8_t> head) {
    if (head.size() < 2) return M2Def;
    return decodeU16(head.data()) == kMir3WilMarker ? M3Def : M2Def;
}

// Up to two bytes from the start of the file; fewer when it is shorter or
// cannot be opened. The stream is closed again at once.
std::vector<std::uint8_t> readHead(const std::string& path) {
    std::vector<std::uint8_t> head(2, 0);
    const auto file = FileStream::open(path, FileStream::Mode::ReadOnly);
    head.resize(file ? file->read(head) : 0);
    return head;
}

}  // namespace

std::span<const ArchiveKindInfo> archiveKinds() {
    return kKinds;
}

std::vector<std::string_view> archiveExtensions() {
    std::vector<std::string_view> extensions;
    for (const ArchiveKindInfo& info : kKinds) {
        if (info.extension.empty() || std::ranges::count(extensions, info.extension) > 0) continue;
        extensions.push_back(info.extension);
    }
    return extensions;
}

const ArchiveKindInfo* findArchiveKind(TWMImagesKind kind) {
    for (const ArchiveKindInfo& info : kKinds) {
        if (info.kind == kind) return &info;
    }
    return nullptr;
}

const ArchiveKindInfo* kindInfoOf(const TWMBaseImages& archive) {
    for (const ArchiveKindInfo& info : kKinds) {
        if (info.archiveClass.isInstance(archive)) return &info;
    }
    return nullptr;
}

std::string archiveFormatName(const TWMBaseImages& archive) {
    const ArchiveKindInfo* info = kindInfoOf(archive);
    if (!info || info->formatName.empty()) return {};
    return std::string(info->formatName) + std::string(info->archiveClass.formatVersion(archive));
}

// Only the low 7 bits of the kind count.
std::unique_ptr<TWMBaseImages> CreateWMImages(TWMImagesKind kind) {
    const ArchiveKindInfo* info =
        findArchiveKind(static_cast<TWMImagesKind>(kindNumber(kind) & 0x7F));
    return info && info->archiveClass.create ? info->archiveClass.create() : nullptr;
}

std::string_view fileExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || dot < nameStart) return {};
    return path.substr(dot);
}

std::optional<TWMImagesKind> kindForExtension(std::string_view extension,
                                              std::span<const std::uint8_t> head) {
    if (extension.empty()) return std::nullopt;  // not the rows without an extension
    if (equalsIgnoringCase(extension, kWilExtension)) return wilKind(head);
    for (const ArchiveKindInfo& info : kKinds) {
        if (equalsIgnoringCase(extension, info.extension)) return info.kind;
    }
    return std::nullopt;
}

std::optional<TWMImagesKind> kindForFile(const std::string& path) {
    const std::string_view extension = fileExtension(path);
    if (!equalsIgnoringCase(extension, kWilExtension)) return kindForExtension(extension, {});
    return kindForExtension(extension, readHead(path));
}

}  // namespace vantoro
