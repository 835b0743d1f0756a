#include "archive/archive_kind.h"

#include <array>
#include <vector>

#include "io/byte_reader.h"
#include "io/file_names.h"
#include "io/file_stream.h"

namespace vantoro {
namespace {

struct ExtensionKind {
    std::string_view extension;
    std::uint8_t kind;
};

// ".wil" is decided by the file's first bytes and is not in this table.
constexpr std::array<ExtensionKind, 6> kExtensionKinds = {{
    {".wis", 2},
    {".wzl", 7},
    {".sgl", 5},
    {".521g", 6},
    {".pak", 3},
    {".miz", 8},
}};

constexpr std::uint8_t kMir2WilKind = 0;
constexpr std::uint8_t kMir3WilKind = 4;

std::uint8_t wilKind(std::span<const std::uint8_t> head) {
    if (head.size() < 2) return kMir2WilKind;
    return decodeU16(head.data()) == kMir3WilMarker ? kMir3WilKind : kMir2WilKind;
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

std::string_view fileExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || dot < nameStart) return {};
    return path.substr(dot);
}

std::optional<std::uint8_t> kindForExtension(std::string_view extension,
                                             std::span<const std::uint8_t> head) {
    if (equalsIgnoringCase(extension, ".wil")) return wilKind(head);
    for (const ExtensionKind& entry : kExtensionKinds) {
        if (equalsIgnoringCase(extension, entry.extension)) return entry.kind;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> kindForFile(const std::string& path) {
    const std::string_view extension = fileExtension(path);
    if (!equalsIgnoringCase(extension, ".wil")) return kindForExtension(extension, {});
    return kindForExtension(extension, readHead(path));
}

}  // namespace vantoro
