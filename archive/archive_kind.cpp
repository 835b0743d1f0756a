#include "archive/archive_kind.h"

#include <vector>

#include "archive/m2_def_images.h"
#include "archive/m2_wis_images.h"
#include "archive/m2_zip_images.h"
#include "archive/m3_def_images.h"
#include "archive/m3_zip_images.h"
#include "archive/my_image_images.h"
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

// Both ".wil" rows share the extension; the Mir3 marker chooses between them.
constexpr ArchiveKindInfo kKinds[] = {
    {M2Def, ".wil", "Mir2 .wil", "传奇二标准图像存储文件|*.wil", "MIR2 标准数据格式",
     classOf<TWMM2DefImages>()},
    {M2DefBit16, "", "Mir2 16-bit .wil", "传奇二图像存储文件(565)|*_16.wil", "MIR2 标准数据格式",
     classOf<TWMM2DefBit16Images>()},
    {M3Def, ".wil", "Mir3 .wil", "传奇三标准图像存储文件|*.wil", "MIR3 标准数据格式",
     classOf<TWMM3DefImages>()},
    {M2Wis, ".wis", ".wis", "传奇二加密图像存储文件|*.wis", "MIR2 特定加密模式",
     classOf<TWMM2WisImages>()},
    {M2Zip, ".wzl", ".wzl", "传奇二压缩图像存储文件|*.wzl", "MIR2 标准压缩格式",
     classOf<TWMM2ZipImages>()},
    {WoolDef, ".sgl", "Woool .sgl", "传奇世界图像数据存储文件|*.sgl", "传奇世界",
     classOf<TWMWoolDefImages>()},
    {W521gDef, ".521g", "Wuyi .521g", "武易图像数据存储文件|*.521g", "",
     classOf<TWM521gDefImages>()},
    {MyImage, ".pak", "pack .pak", "自定义存储文件|*.pak", "自定义图像文件模式",
     classOf<TWMMyImageImages>()},
    {M3Zip, ".miz", ".miz", "传奇三压缩图像存储文件|*.miz", "MIR3 标准压缩格式",
     classOf<TWMM3ZipImages>()},
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
