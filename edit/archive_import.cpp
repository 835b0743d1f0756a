#include "edit/archive_import.h"

#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/my_image_images.h"
#include "archive/pack_rle.h"
#include "edit/convert_picture.h"
#include "edit/entry_pixels.h"
#include "edit/import_run.h"
#include "io/zlib_buffers.h"

namespace vantoro {
namespace {

bool sidesFit(const TWMImageInfo& info) {
    const auto fits = [](std::uint32_t side) {
        return side >= kMinImportSide && side <= kMaxImportSide;
    };
    return fits(info.Width) && fits(info.Height);
}

// The entry's bitmap; none for an entry that cannot be decoded, named
// decode failures included: one entry's fault is not the run's.
std::optional<DibBitmap> bitmapOf(TWMBaseImages& source, std::int32_t n) {
    try {
        return source.GetBitmap(n);
    } catch (const ArchiveError&) {
        return std::nullopt;
    }
}

std::size_t rleEncode(std::span<const std::uint8_t> source, std::span<std::uint8_t> target,
                      std::uint8_t bytesPerPixel, std::size_t pixelCount) {
    return RleEncode(source, target, bytesPerPixel, pixelCount).value_or(0);
}

// The entries of the sources, one source after the other, as the lines of
// an import. An entry that cannot be stored becomes an empty slot and is
// counted.
class ArchiveLines final : public ImportLines {
public:
    ArchiveLines(const ImportRequest& request, ArchivePixels pixels,
                 std::span<TWMBaseImages* const> sources)
        : m_request(request), m_pixels(pixels) {
        for (TWMBaseImages* source : sources) {
            for (std::int32_t n = 0; n < source->FImageCount; ++n) m_entries.push_back({source, n});
        }
    }

    std::size_t size() const override { return m_entries.size(); }
    std::int64_t unstorable() const { return m_unstorable; }

    std::string name(std::size_t i) const override {
        const auto [source, n] = m_entries[i];
        return source->FFileName + " entry " + std::to_string(n);
    }

    PackOffsets offsets(std::size_t i) override {
        const auto [source, n] = m_entries[i];
        if (source->GetDataType(n) != kDataTypeImage ||
            (!source->DrawToTexture(n, &m_texture) && !bitmapOf(*source, n))) {
            return {};
        }
        return {source->FLastImageInfo.PX, source->FLastImageInfo.PY};
    }

    LineResult entry(std::size_t i) override {
        const auto [source, n] = m_entries[i];
        switch (source->GetDataType(n)) {
            case kDataTypeEmpty:
                return Placeholder{};
            case kDataTypeImage:
                return m_pixels == ArchivePixels::AsDrawn ? drawnImage(*source, n)
                                                          : convertedImage(*source, n);
            case kDataTypeRaw:
            case kDataTypeWav:
            case kDataTypeMp3:
                return storedFile(*source, n);
            default:
                return cannotStore();
        }
    }

private:
    struct Entry {
        TWMBaseImages* source;
        std::int32_t n;
    };

    LineResult cannotStore() {
        ++m_unstorable;
        return Placeholder{};
    }

    NewEntry image(const TWMImageInfo& info, std::uint8_t pixelFormat,
                   std::vector<std::uint8_t> data) const {
        TPackEntryHeader header{
            .width = info.Width,
            .height = info.Height,
            .x = info.PX,
            .y = info.PY,
            .pixelFormat = pixelFormat,
            .dataLength = static_cast<std::int32_t>(data.size()),
            .dataType = kDataTypeImage,
            .compressed = m_request.convert.rle ? std::uint8_t{1} : std::uint8_t{0}};
        return NewEntry{header, std::move(data)};
    }

    // The words the entry draws into its texture, in that texture's format;
    // for a format that draws no textures, its bitmap as it would be drawn.
    LineResult drawnImage(TWMBaseImages& source, std::int32_t n) {
        const bool flip = m_request.convert.flip;
        const bool rle = m_request.convert.rle;
        Result<StoredPixels> pixels = fail("not drawn");
        if (source.DrawToTexture(n, &m_texture)) {
            if (!sidesFit(source.FLastImageInfo)) return cannotStore();
            pixels = storedPixelsOfTexture(m_texture, flip, rle);
        } else if (const std::optional<DibBitmap> bitmap = bitmapOf(source, n)) {
            if (!sidesFit(source.FLastImageInfo)) return cannotStore();
            pixels = storedPixelsOfBitmap(*bitmap, flip, rle);
        }
        if (!pixels) return cannotStore();
        return image(source.FLastImageInfo, pixels->pixelFormat, std::move(pixels->data));
    }

    // The entry's bitmap converted into the requested format.
    LineResult convertedImage(TWMBaseImages& source, std::int32_t n) {
        const std::optional<DibBitmap> bitmap = bitmapOf(source, n);
        if (!bitmap || !sidesFit(source.FLastImageInfo)) return cannotStore();
        const TWMImageInfo info = source.FLastImageInfo;
        Result<std::vector<std::uint8_t>> data =
            ConvertPicture(pictureOfBitmap(*bitmap), m_request.convert, rleEncode);
        if (!data) return cannotStore();
        return image(info, m_request.convert.format, std::move(*data));
    }

    // A sound or data entry: its type and bytes, deflated as the request
    // says for that kind.
    LineResult storedFile(TWMBaseImages& source, std::int32_t n) {
        const std::uint8_t type = source.GetDataType(n);
        std::optional<std::vector<std::uint8_t>> bytes =
            source.GetDataStream(n, static_cast<std::uint8_t>(PackStreamMode::Any));
        if (!bytes || bytes->empty()) return cannotStore();
        const bool sound = type != kDataTypeRaw;
        const bool zip = sound ? m_request.soundZip : m_request.dataZip;
        const int level = sound ? m_request.soundLevel : m_request.dataLevel;
        // The reader inflates no more than this; larger streams stay as they are.
        const bool compress = zip && level > 0 && bytes->size() <= kMaxPackInflatedSize;
        TPackEntryHeader header{.dataType = type,
                                .compressed = compress ? std::uint8_t{1} : std::uint8_t{0}};
        if (compress) {
            std::vector<std::uint8_t> packed;
            ZCompressBuf(*bytes, static_cast<std::uint8_t>(level), packed);
            if (packed.empty()) return cannotStore();
            bytes = std::move(packed);
        }
        header.dataLength = static_cast<std::int32_t>(bytes->size());
        return NewEntry{header, std::move(*bytes)};
    }

    const ImportRequest& m_request;
    ArchivePixels m_pixels;
    std::vector<Entry> m_entries;
    TDXImageTexture m_texture;
    std::int64_t m_unstorable = 0;
};

}  // namespace

ArchiveImportResult importArchiveEntries(TWMBaseImages& archive, const ImportRequest& request,
                                         ArchivePixels pixels,
                                         std::span<TWMBaseImages* const> sources,
                                         PromptSeam& prompts, const ProgressSink& progress,
                                         const StopCheck& stop) {
    ArchiveImportResult result;
    ImportRequest r = request;
    r.content = ImportContent::Image;
    if (r.part == ImageImportPart::OffsetsOnly && r.offsetsFrom == OffsetsSource::Fixed) {
        // The fixed text changes start..end; the sources add nothing.
        result.edit = importEntries(archive, r, {}, prompts, progress, stop);
        return result;
    }
    auto target = packToImportInto(archive);
    if (auto* refusal = std::get_if<EditResult>(&target)) {
        result.edit = *refusal;
        return result;
    }
    TWMMyImageImages& pack = *std::get<TWMMyImageImages*>(target);
    try {
        ArchiveLines lines(r, pixels, sources);
        r = normalizedImport(r, lines.size());
        if (auto refusal = indexRefusal(pack, r, prompts)) {
            result.edit = *refusal;
        } else if (auto mismatch = countRefusal(r, lines.size(), prompts)) {
            result.edit = *mismatch;
        } else if (lines.size() == 0) {
            result.edit = refusedWith(prompts, EditMessage::ImportNoFiles);
        } else {
            ImportRun run(pack, r, lines, prompts, progress, stop);
            result.edit = run.run();
            result.stored = run.stored();
            result.unstorable = lines.unstorable();
        }
    } catch (const std::exception& error) {
        pack.SaveIndex();
        result.edit = {EditOutcome::Failed, error.what()};
    }
    return result;
}

}  // namespace vantoro
