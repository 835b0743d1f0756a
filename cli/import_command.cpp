#include "cli/import_command.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/cli_support.h"
#include "cli/console_prompts.h"
#include "cli/interrupt_stop.h"
#include "edit/archive_import.h"
#include "edit/import_entries.h"
#include "edit/import_sources.h"
#include "edit/import_text.h"
#include "io/file_names.h"
#include "render/image_view.h"

namespace vantoro::cli {
namespace {

// What the options say, before the dialog's rules are applied.
struct ImportSettings {
    ImportRequest request;
    bool yes = false;
    bool recursive = false;
    std::vector<std::string> from;  // archives, in command-line order
    bool formatGiven = false;       // --format or --window: images converted as asked
    std::optional<bool> zip;        // of the chosen content, sound or data
    std::optional<int> level;
};

using Apply = void (*)(ImportSettings& settings, const std::string& value);

struct ImportOption {
    OptionEntry entry;
    Apply apply;
};

[[noreturn]] void badValue(std::string_view option, const std::string& value) {
    usageError("bad value '" + value + "' for " + std::string(option), "import");
}

template <typename Enum, std::size_t N>
Enum choose(std::string_view option, const std::string& value,
            const std::array<std::pair<std::string_view, Enum>, N>& names) {
    for (const auto& [name, item] : names) {
        if (name == value) return item;
    }
    badValue(option, value);
}

std::int32_t numberIn(std::string_view option, const std::string& value, std::uint32_t max,
                      std::uint32_t min = 0) {
    const auto number = parseNumber(value, max);
    if (!number || *number < min) badValue(option, value);
    return static_cast<std::int32_t>(*number);
}

// RRGGBB as the 0x00BBGGRR the conversion takes.
std::uint32_t colourOf(const std::string& value) {
    const auto rgb = value.size() == 6 ? parseIntegerText("$" + value) : std::nullopt;
    if (!rgb || *rgb < 0) badValue("--transparent", value);
    const auto bits = static_cast<std::uint32_t>(*rgb);
    return (bits >> 16 & 0xFF) | (bits & 0xFF00) | (bits & 0xFF) << 16;
}

// A name of the blend list, or a code as integer text ("$" for hexadecimal).
std::uint32_t blendOf(const std::string& value) {
    if (const auto index = blendModeIndex(value)) {
        return kBlendModes[static_cast<std::size_t>(*index)].code;
    }
    const auto code = parseIntegerText(value);
    if (!code) badValue("--blend", value);
    return static_cast<std::uint32_t>(*code);
}

constexpr std::array<std::pair<std::string_view, ImportContent>, 4> kContents = {{
    {"image", ImportContent::Image},
    {"sound", ImportContent::Sound},
    {"data", ImportContent::Data},
    {"empty", ImportContent::Empty},
}};
constexpr std::array<std::pair<std::string_view, ImportMode>, 3> kModes = {{
    {"append", ImportMode::Append},
    {"insert", ImportMode::Insert},
    {"overwrite", ImportMode::Overwrite},
}};
constexpr std::array<std::pair<std::string_view, ImageImportPart>, 3> kParts = {{
    {"image-and-offsets", ImageImportPart::ImageAndOffsets},
    {"image", ImageImportPart::ImageOnly},
    {"offsets", ImageImportPart::OffsetsOnly},
}};
constexpr std::array<std::pair<std::string_view, OffsetsSource>, 2> kOffsetSources = {{
    {"files", OffsetsSource::Files},
    {"fixed", OffsetsSource::Fixed},
}};

// One row per option, in the order the help lists them.
constexpr ImportOption kImportTable[] = {
    {{"--content", "KIND", "image (default), sound, data or empty"},
     [](ImportSettings& s, const std::string& v) {
         s.request.content = choose("--content", v, kContents);
     }},
    {{"--mode", "MODE",
      "append (default), insert or overwrite; image-only and\n"
      "offsets-only imports always overwrite"},
     [](ImportSettings& s, const std::string& v) { s.request.mode = choose("--mode", v, kModes); }},
    {{"--start", "N", "first entry for insert and overwrite; 0 by default"},
     [](ImportSettings& s, const std::string& v) {
         s.request.start = numberIn("--start", v, 10000000);
     }},
    {{"--end", "N",
      "last entry of an overwrite, whose files must fill\n"
      "--start..N; or of an offsets-only import with\n"
      "--offsets-from fixed"},
     [](ImportSettings& s, const std::string& v) {
         s.request.end = numberIn("--end", v, 10000000);
         s.request.endTyped = true;
     }},
    {{"--count", "N", "number of empty entries, 1..100000; 1 by default"},
     [](ImportSettings& s, const std::string& v) {
         s.request.emptyCount = numberIn("--count", v, 100000, 1);
     }},
    {{"--what", "PART", "image-and-offsets (default), image or offsets"},
     [](ImportSettings& s, const std::string& v) { s.request.part = choose("--what", v, kParts); }},
    {{"--offsets-from", "FROM",
      "files (default: Placements/NAME.txt, or with --what offsets\n"
      "the listed text files) or fixed (--offsets)"},
     [](ImportSettings& s, const std::string& v) {
         s.request.offsetsFrom = choose("--offsets-from", v, kOffsetSources);
     }},
    {{"--offsets", "TEXT", "fixed offsets \"X,Y\", \"+5,_3\" to add and subtract; \"0,0\""},
     [](ImportSettings& s, const std::string& v) { s.request.offsetsText = v; }},
    {{"--format", "N",
      "pixel format 0 A4R4G4B4 (default), 1 A1R5G5B5, 2 R5G6B5,\n"
      "3 A8R8G8B8"},
     [](ImportSettings& s, const std::string& v) {
         s.request.convert.format = static_cast<std::uint8_t>(numberIn("--format", v, 3));
         s.formatGiven = true;
     }},
    {{"--format-from-file", "", "pixel format from the third line of each offsets file"},
     [](ImportSettings& s, const std::string&) { s.request.formatFromFile = true; }},
    {{"--alpha", "", "keep the pictures' alpha (format 0; always with format 3)"},
     [](ImportSettings& s, const std::string&) { s.request.convert.hasAlpha = true; }},
    {{"--no-rle", "", "store the pixels without run-length code"},
     [](ImportSettings& s, const std::string&) { s.request.convert.rle = false; }},
    {{"--flip", "", "store the rows bottom first (\"倒转\")"},
     [](ImportSettings& s, const std::string&) { s.request.convert.flip = true; }},
    {{"--transparent", "RRGGBB", "the transparent colour; 000000 by default"},
     [](ImportSettings& s, const std::string& v) {
         s.request.convert.transparentColour = colourOf(v);
     }},
    {{"--window", "", "window alpha table (\"窗口\"; format 0)"},
     [](ImportSettings& s, const std::string&) {
         s.request.convert.window = true;
         s.formatGiven = true;
     }},
    {{"--blend", "NAME|CODE", "blend mode name (Blend_None by default) or code"},
     [](ImportSettings& s, const std::string& v) { s.request.blendCode = blendOf(v); }},
    {{"--zip", "", "deflate sounds and data (data: on by default)"},
     [](ImportSettings& s, const std::string&) { s.zip = true; }},
    {{"--no-zip", "", "store sounds and data as they are (sounds: by default)"},
     [](ImportSettings& s, const std::string&) { s.zip = false; }},
    {{"--level", "N", "deflate level 0..9 (sounds 0, data 9 by default)"},
     [](ImportSettings& s, const std::string& v) { s.level = numberIn("--level", v, 9); }},
    {{"--recursive", "", "a SOURCE folder gives the files of its whole tree"},
     [](ImportSettings& s, const std::string&) { s.recursive = true; }},
    {{"--yes", "", "answer OK to the questions about single files"},
     [](ImportSettings& s, const std::string&) { s.yes = true; }},
    {{"--from", "ARCHIVE",
      "the entries of this archive are the sources, their\n"
      "offsets kept (--kind N gives its kind); repeated, each\n"
      "archive's entries in turn. Without --format each image\n"
      "is stored in the format that draws it as the archive does"},
     [](ImportSettings& s, const std::string& v) { s.from.push_back(v); }},
};

constexpr std::size_t kImportOptionCount = std::size(kImportTable);

constexpr auto kImportOptions = [] {
    std::array<OptionEntry, kImportOptionCount> entries{};
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = kImportTable[i].entry;
    return entries;
}();

ImportSettings settingsOf(const Invocation& call) {
    ImportSettings settings;
    for (const OptionValue& option : call.options) {
        for (const ImportOption& row : kImportTable) {
            if (row.entry.name == option.name) row.apply(settings, option.value);
        }
    }
    const bool sound = settings.request.content == ImportContent::Sound;
    if (settings.zip)
        (sound ? settings.request.soundZip : settings.request.dataZip) = *settings.zip;
    if (settings.level) {
        (sound ? settings.request.soundLevel : settings.request.dataLevel) = *settings.level;
    }
    return settings;
}

std::vector<ImportListLine> linesOf(const std::string& source, bool recursive,
                                    PromptSeam& prompts) {
    std::error_code error;
    if (std::filesystem::is_directory(source, error)) {
        Result<std::vector<ImportListLine>> lines =
            recursive ? listFolderTree(source, &prompts) : listFolder(source);
        if (!lines) failure(lines.error());
        return std::move(*lines);
    }
    if (!fileExists(source)) throw CliExit{kExitUsage, source + ": no such file"};
    return listChosenFiles(std::span(&source, 1));
}

// The --from archives, opened in command-line order by the kind rule of
// every command (--kind, else the extension).
std::vector<std::unique_ptr<TWMBaseImages>> openSources(const Invocation& call,
                                                        const std::vector<std::string>& paths) {
    std::vector<std::unique_ptr<TWMBaseImages>> sources;
    for (const std::string& path : paths) {
        Invocation source = call;
        source.operands = {path};
        sources.push_back(openArchive(source));
        failIfLocked(*sources.back());
    }
    return sources;
}

// --from: the archives' entries straight into the pack, each image in the
// format that draws it as the source does unless a format was asked for.
// Standard error ends with how many entries were stored and how many could
// not be and were left empty.
int importFromArchives(const Invocation& call, const ImportSettings& settings, TWMBaseImages& pack,
                       ConsolePrompts& prompts, const InterruptStop& interrupt, std::ostream& err) {
    const std::vector<std::unique_ptr<TWMBaseImages>> opened = openSources(call, settings.from);
    std::vector<TWMBaseImages*> sources;
    for (const auto& source : opened) sources.push_back(source.get());
    const ArchivePixels pixels =
        settings.formatGiven ? ArchivePixels::AsRequested : ArchivePixels::AsDrawn;
    const ArchiveImportResult result = importArchiveEntries(
        pack, settings.request, pixels, sources, prompts, prompts.progress(), interrupt.check());
    if (result.edit.outcome != EditOutcome::Ignored) {
        err << "vantoro-cli: " << result.stored << " entries stored, " << result.unstorable
            << " could not be stored (not readable, or a side outside 2..4095) and were left "
               "empty\n";
    }
    return interrupt.exitCode(result.edit, pack.FFileName + ": not a pack open for writing");
}

// The pack PACK names, by the kind rule of every command: its extension,
// or --kind unless --kind names the kind of the --from archives.
std::unique_ptr<TWMBaseImages> openPack(const Invocation& call, bool kindIsFrom) {
    Invocation pack = call;
    pack.operands.resize(1);
    if (kindIsFrom) pack.kind.reset();
    const std::string& path = pack.operands[0];
    if (!fileExists(path)) {
        throw CliExit{kExitUsage,
                      path + ": no such file; `vantoro-cli new " + path + "` makes an empty pack"};
    }
    std::unique_ptr<TWMBaseImages> archive = openArchive(pack);
    failIfLocked(*archive);
    return archive;
}

}  // namespace

std::span<const OptionEntry> importOptions() {
    return kImportOptions;
}

int runImport(const Invocation& call, std::ostream&, std::ostream& err) {
    const InterruptStop interrupt;
    const ImportSettings settings = settingsOf(call);
    const bool fromArchives = !settings.from.empty();
    if (fromArchives && call.operands.size() > 1) {
        // "--from A.wil B.wil" would take B.wil for a picture.
        usageError("'" + call.operands[1] +
                       "' beside --from: give each archive its own --from, and import files "
                       "in a run of their own",
                   call.command);
    }
    std::unique_ptr<TWMBaseImages> pack = openPack(call, fromArchives);
    ConsolePrompts prompts(err, "import", call.progressOnError, settings.yes);
    if (fromArchives) return importFromArchives(call, settings, *pack, prompts, interrupt, err);
    ImportFileList list;
    for (std::size_t i = 1; i < call.operands.size(); ++i) {
        list.add(linesOf(call.operands[i], settings.recursive, prompts));
    }
    std::vector<TImportFileItem> files;
    files.reserve(list.size());
    for (const ImportListLine& line : list.lines()) files.push_back(line.item);

    const EditResult result = importEntries(*pack, settings.request, files, prompts,
                                            prompts.progress(), interrupt.check());
    return interrupt.exitCode(result, pack->FFileName + ": not a pack open for writing");
}

}  // namespace vantoro::cli
