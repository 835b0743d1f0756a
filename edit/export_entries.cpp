#include "edit/export_entries.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <span>
#include <vector>

#include "archive/archive_kind.h"
#include "archive/my_image_images.h"
#include "edit/edit_messages.h"
#include "edit/entry_range.h"
#include "edit/export_pictures.h"
#include "io/output_folder.h"

namespace vantoro {
namespace {

constexpr std::string_view kPlacementsFolder = "Placements";
constexpr std::string_view kLineEnd = "\r\n";
// Data streams: 2 gives raw data entries, 1 sounds, as they were imported.
constexpr std::uint8_t kRawDataMode = 2;
constexpr std::uint8_t kSoundMode = 1;

bool isOwnPack(const TWMBaseImages& archive) {
    const ArchiveKindInfo* info = kindInfoOf(archive);
    return info != nullptr && info->kind == TWMImagesKind::MyImage;
}

// Entry n of first..last as a rounded percentage; 100 for a single entry.
int progressOf(std::int32_t n, std::int32_t first, std::int32_t last) {
    if (last - first < 1) return 100;
    const std::int64_t span = std::int64_t{last} - first;
    const std::int64_t done = std::int64_t{n} - first;
    return static_cast<int>((200 * done + span) / (2 * span));
}

// One export run over first..last.
class ExportRun {
public:
    ExportRun(TWMBaseImages& archive, const ExportRequest& request, OutputFolder folder,
              std::optional<OutputFolder> placements)
        : m_archive(archive),
          m_request(request),
          m_folder(std::move(folder)),
          m_placements(std::move(placements)),
          m_pictureType(request.png ? PictureFileType::Png : PictureFileType::Bmp),
          m_pictureExtension(request.png ? ".png" : ".bmp"),
          m_texture(request.texture ? request.texture : &m_ownTexture),
          m_formatLine(request.offsets && request.format && isOwnPack(archive)) {}

    Status exportEntry(std::int32_t n) {
        switch (m_archive.GetDataType(n)) {
            case kDataTypeImage:
                return exportImage(n);
            case kDataTypeRaw:
                return exportStream(n, kRawDataMode, ".dat");
            case kDataTypeWav:
                return exportStream(n, kSoundMode, ".wav");
            case kDataTypeMp3:
                return exportStream(n, kSoundMode, ".mp3");
            default:
                return savePlaceholder(n);
        }
    }

private:
    struct Image {
        ExportPicture picture;
        std::int16_t px = 0;
        std::int16_t py = 0;
    };

    std::optional<Image> takeImage(std::int32_t n) {
        const TWMImageInfo& info = m_archive.FLastImageInfo;
        if (m_request.alpha) {
            if (!m_archive.DrawToTexture(n, m_texture)) return std::nullopt;
            Result<ExportPicture> picture = pictureFromTexture(*m_texture);
            if (!picture) return std::nullopt;
            return Image{std::move(*picture), info.PX, info.PY};
        }
        std::optional<DibBitmap> bitmap = m_archive.GetBitmap(n);
        if (!bitmap) return std::nullopt;
        return Image{pictureFromBitmap(std::move(*bitmap)), info.PX, info.PY};
    }

    Status exportImage(std::int32_t n) {
        std::optional<Image> image = takeImage(n);
        const Status saved = image ? savePicture(n, image->picture) : savePlaceholder(n);
        if (!saved || !m_placements) return saved;
        std::string text = std::to_string(image ? image->px : 0) + std::string(kLineEnd) +
                           std::to_string(image ? image->py : 0) + std::string(kLineEnd);
        if (m_formatLine)
            text += std::to_string(m_archive.FLastImageFormat) + std::string(kLineEnd);
        return m_placements->writeFile(
            numberedFileName({}, n, ".txt"),
            {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }

    Status exportStream(std::int32_t n, std::uint8_t mode, std::string_view extension) {
        const std::optional<std::vector<std::uint8_t>> stream = m_archive.GetDataStream(n, mode);
        if (!stream) return savePlaceholder(n);
        return m_folder.writeFile(numberedFileName({}, n, extension), *stream);
    }

    Status savePicture(std::int32_t n, const ExportPicture& picture) {
        const Result<std::vector<std::uint8_t>> bytes = encodePicture(picture, m_pictureType);
        if (!bytes) return fail(bytes.error());
        return m_folder.writeFile(numberedFileName({}, n, m_pictureExtension), *bytes);
    }

    // The stand-in for an entry that cannot be read. A pack that another
    // program changed under the export refuses every read from then on:
    // a folder of stand-ins would pass for its entries, so the export ends.
    Status savePlaceholder(std::int32_t n) {
        const auto* pack = dynamic_cast<const TWMMyImageImages*>(&m_archive);
        if (pack != nullptr && !pack->readRefusal().empty()) {
            return fail(m_archive.FFileName + ": " + pack->readRefusal() + "; entry " +
                        std::to_string(n) + " and those after it were not exported");
        }
        return savePicture(n, placeholderPicture());
    }

    TWMBaseImages& m_archive;
    const ExportRequest& m_request;
    OutputFolder m_folder;
    std::optional<OutputFolder> m_placements;  // with offsets
    PictureFileType m_pictureType;
    std::string_view m_pictureExtension;
    TDXImageTexture m_ownTexture;
    TDXTexture* m_texture;
    bool m_formatLine;
};

EditResult failed(std::string error) {
    return EditResult{EditOutcome::Failed, std::move(error)};
}

EditResult runExport(TWMBaseImages& archive, const ExportRequest& request,
                     const std::string& folder, PromptSeam& prompts, const ProgressSink& progress,
                     const StopCheck& stop) {
    Result<OutputFolder> target = OutputFolder::create(folder);
    if (!target) return failed(target.error());
    std::optional<OutputFolder> placements;
    if (request.offsets) {
        Result<OutputFolder> sub = target->subfolder(std::string(kPlacementsFolder));
        if (!sub) return failed(sub.error());
        placements = std::move(*sub);
    }
    ExportRun run(archive, request, std::move(*target), std::move(placements));
    try {
        for (std::int32_t n = request.first; n <= request.last; ++n) {
            const Status written = run.exportEntry(n);
            if (!written) return failed(written.error());
            if (progress) progress(progressOf(n, request.first, request.last));
            if (n < request.last && stop && stop()) {
                prompts.ask(exportStoppedPrompt(std::int64_t{n} - request.first + 1));
                return {EditOutcome::Refused, {}};
            }
        }
    } catch (const std::exception& error) {
        return failed(error.what());
    }
    return {};
}

}  // namespace

std::string exportFolder(std::string_view typed) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!typed.empty() && blank(typed.front())) typed.remove_prefix(1);
    while (!typed.empty() && blank(typed.back())) typed.remove_suffix(1);
    if (typed.empty()) return {};
    std::string folder(typed);
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string numberedFileName(const std::string& folder, std::int32_t number,
                             std::string_view extension) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.6d", static_cast<int>(number));
    return folder + digits + std::string(extension);
}

EditResult exportEntries(TWMBaseImages& archive, const ExportRequest& request, PromptSeam& prompts,
                         const ProgressSink& progress, const StopCheck& stop) {
    if (!archive.FInitialized) return {EditOutcome::Ignored, {}};
    if (progress) progress(0);
    if (const auto problem = entryRangeProblem(request.first, request.last, archive.FImageCount)) {
        prompts.ask(editPrompt(*problem));
        return {EditOutcome::Refused, {}};
    }
    const std::string folder = exportFolder(request.folder);
    // An empty text would otherwise name the root folder.
    if (folder.empty()) return failed("no folder to export into");
    const EditResult result = runExport(archive, request, folder, prompts, progress, stop);
    if (result.outcome != EditOutcome::Done) return result;
    prompts.ask(editPrompt(EditMessage::ExportDone));
    return result;
}

}  // namespace vantoro
