#include "cli/archive_commands.h"

#include <exception>
#include <fstream>
#include <optional>
#include <string>

#include "archive/archive_kind.h"
#include "archive/my_image_images.h"
#include "archive/open_archive.h"
#include "image_io/bmp_file.h"
#include "image_io/png_file.h"
#include "image_io/texel_rgba.h"
#include "pixels/dx9_textures.h"
#include "pixels/std_palette.h"

namespace vantoro::cli {

namespace {

// A reader that refused the index or table opens the archive empty, and a
// pack opened without its password shows no entries: the listing commands
// say why, once, and still succeed.
void explainEmptyOpen(const TWMBaseImages& archive, std::ostream& err) {
    if (const auto reason = emptyOpenReason(archive)) err << kMessagePrefix << *reason << '\n';
}

// "INDEX TYPE WIDTH HEIGHT PX PY", or zeros for an entry that does not decode;
// a pack adds the entry's stored pixel format, -1 when it does not decode.
std::string listLine(TWMBaseImages& archive, std::int32_t index, bool pack, std::ostream& err) {
    std::uint8_t dataType = kDataTypeImage;
    bool decoded = false;
    try {
        decoded = archive.GetBitmap(index, dataType).has_value();
    } catch (const std::exception& error) {
        err << kMessagePrefix << "entry " << index << ": " << error.what() << '\n';
    } catch (...) {
        err << kMessagePrefix << "entry " << index << ": unknown error\n";
    }
    failIfReadRefused(archive);
    std::string line = std::to_string(index) + ' ' + std::to_string(dataType) + ' ';
    const std::string format =
        pack ? ' ' + std::to_string(decoded ? archive.FLastImageFormat : -1) : "";
    if (!decoded) return line + "0 0 0 0" + format;
    const TWMImageInfo& info = archive.FLastImageInfo;
    return line + std::to_string(info.Width) + ' ' + std::to_string(info.Height) + ' ' +
           std::to_string(info.PX) + ' ' + std::to_string(info.PY) + format;
}

}  // namespace

int runInfo(const Invocation& call, std::ostream& out, std::ostream& err) {
    const TWMImagesKind kind = kindOf(call);
    const OpenedArchive opened = openFile(call, kind);
    const std::unique_ptr<TWMBaseImages>& archive = opened.archive;
    out << "file: " << call.operands[0] << '\n'
        << "kind: " << kindNumber(kind) << '\n'
        << "class: " << archive->className() << '\n';
    std::optional<CliExit> failed;
    try {
        checkOpened(call, opened);
    } catch (const CliExit& error) {
        failed = error;
    }
    out << "entries: " << archive->FImageCount << '\n';
    if (failed) throw *failed;
    explainEmptyOpen(*archive, err);
    return kExitOk;
}

int runList(const Invocation& call, std::ostream& out, std::ostream& err) {
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    const bool pack = dynamic_cast<const TWMMyImageImages*>(archive.get()) != nullptr;
    explainEmptyOpen(*archive, err);
    for (std::int32_t index = 0; index < archive->FImageCount; ++index) {
        out << listLine(*archive, index, pack, err) << '\n';
    }
    return kExitOk;
}

int runData(const Invocation& call, std::ostream&, std::ostream&) {
    const std::int32_t index = parseIndex(call);
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    checkIndexInRange(*archive, index);
    const auto bytes = guarded([&] { return archive->GetDataStream(index, 0); });
    if (!bytes) {
        failure(withReason("entry " + std::to_string(index) + " has no stored data", *archive));
    }
    std::ofstream file(call.operands[2], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes->data()),
               static_cast<std::streamsize>(bytes->size()));
    if (!file.flush()) failure("cannot write " + call.operands[2]);
    return kExitOk;
}

int runBitmap(const Invocation& call, std::ostream&, std::ostream&) {
    const std::int32_t index = parseIndex(call);
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    checkIndexInRange(*archive, index);
    std::optional<DibBitmap> bitmap = guarded([&] { return archive->GetBitmap(index); });
    if (!bitmap) failure(withReason("entry " + std::to_string(index) + " has no bitmap", *archive));
    // Archives attach no usable colour table; 8-bit images are shown with the program's palette.
    if (bitmap->bitCount() == 8) bitmap->colorTable() = StdPalette;
    const Status saved = saveBmp(*bitmap, call.operands[2]);
    if (!saved) failure(saved.error());
    return kExitOk;
}

int runTexture(const Invocation& call, std::ostream&, std::ostream&) {
    const std::int32_t index = parseIndex(call);
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    checkIndexInRange(*archive, index);
    TDXImageTexture texture;
    if (!guarded([&] { return archive->DrawToTexture(index, &texture); })) {
        failure(withReason("entry " + std::to_string(index) + " cannot be drawn into a texture",
                           *archive));
    }
    const Result<std::vector<std::uint8_t>> rgba = textureRgba(texture);
    if (!rgba) failure(rgba.error());
    const PngRows rows{*rgba, static_cast<std::uint32_t>(texture.GetWidth()),
                       static_cast<std::uint32_t>(texture.GetHeight()), PngLayout::Rgba8, 0};
    const Status saved = savePng(rows, call.operands[2]);
    if (!saved) failure(saved.error());
    return kExitOk;
}

}  // namespace vantoro::cli
