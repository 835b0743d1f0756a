#include "cli/cli_app.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "archive/archive_kind.h"
#include "archive/file_names.h"
#include "archive/std_palette.h"
#include "archive/wil.h"
#include "image_io/bmp_file.h"
#include "image_io/png_file.h"
#include "image_io/texel_rgba.h"
#include "render/dx9_textures.h"

namespace vantoro {
namespace {

constexpr std::string_view kPrefix = "vantoro-cli: ";

// Ends a command from any depth with an exit code and one message line.
// Deliberately not a std::exception, so it never mixes with archive errors.
struct CliExit {
    int code;
    std::string message;
};

[[noreturn]] void usageError(const std::string& message, std::string_view command) {
    const std::string help =
        command.empty() ? "vantoro-cli --help" : "vantoro-cli " + std::string(command) + " --help";
    throw CliExit{kExitUsage, message + " (see " + help + ")"};
}

[[noreturn]] void failure(const std::string& message) {
    throw CliExit{kExitFailure, message};
}

// What the words after the command name asked for.
struct Invocation {
    std::string_view command;
    std::optional<std::uint8_t> kind;
    std::vector<std::string> operands;
};

struct CommandSpec {
    std::string_view name;
    std::string_view operands;  // as shown in the usage line
    std::size_t operandCount;
    std::string_view brief;    // one line for the program's help
    std::string_view summary;  // the command's own help
    int (*run)(const Invocation&, std::ostream&, std::ostream&);
};

constexpr std::string_view kOptionsHelp =
    "Options:\n"
    "  --kind N   archive kind: 0 Mir2 .wil, 1 Mir2 16-bit .wil, 2 .wis, 3 pack .pak,\n"
    "             4 Mir3 .wil, 5 Woool .sgl, 6 Wuyi .521g, 7 .wzl, 8 .miz.\n"
    "             Without it the kind follows the file's extension, in any letter case:\n"
    "             .wil 0 (4 when the file starts with the 16-bit value 1), .wis 2,\n"
    "             .wzl 7, .sgl 5, .521g 6, .pak 3, .miz 8.\n"
    "  --help     show this help\n"
    "\n"
    "Exit status: 0 success, 1 the archive or the entry failed, 2 usage error or\n"
    "missing file.\n";

// ---- Parsing -----------------------------------------------------------------

// A decimal number without sign, at most `max`.
std::optional<std::uint32_t> parseNumber(std::string_view text, std::uint32_t max) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > max) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::uint8_t parseKind(std::string_view text, std::string_view command) {
    const auto kind = parseNumber(text, 255);
    if (!kind) usageError("bad archive kind '" + std::string(text) + "'", command);
    return static_cast<std::uint8_t>(*kind);
}

// A word starting with '-' is an option, except a negative number, which is
// a (bad) operand and reported as such.
bool looksLikeOption(std::string_view word) {
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9');
}

// The k-th word of the command's operand list ("FILE INDEX OUT.bmp").
std::string operandName(const CommandSpec& spec, std::size_t k) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < k; ++i) start = spec.operands.find(' ', start) + 1;
    return std::string(spec.operands.substr(start, spec.operands.find(' ', start) - start));
}

Invocation parseWords(const CommandSpec& spec, std::span<const std::string> words) {
    Invocation call{spec.name, std::nullopt, {}};
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || !looksLikeOption(word)) {
            call.operands.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "--kind") {
            if (i + 1 == words.size()) usageError("--kind needs a value", spec.name);
            call.kind = parseKind(words[++i], spec.name);
        } else if (word.rfind("--kind=", 0) == 0) {
            call.kind = parseKind(std::string_view(word).substr(7), spec.name);
        } else {
            usageError("unknown option '" + word + "'", spec.name);
        }
    }
    if (call.operands.size() > spec.operandCount) {
        usageError("unexpected argument '" + call.operands[spec.operandCount] + "'", spec.name);
    }
    if (call.operands.size() < spec.operandCount) {
        usageError("missing argument " + operandName(spec, call.operands.size()), spec.name);
    }
    return call;
}

std::int32_t parseIndex(const Invocation& call) {
    const auto index = parseNumber(call.operands[1], 0x7FFFFFFF);
    if (!index) usageError("bad index '" + call.operands[1] + "'", call.command);
    return static_cast<std::int32_t>(*index);
}

// ---- Opening the archive --------------------------------------------------------

std::uint8_t kindOf(const Invocation& call) {
    const std::string& path = call.operands[0];
    if (!fileExists(path)) throw CliExit{kExitUsage, path + ": no such file"};
    if (call.kind) return *call.kind;
    const auto kind = kindForFile(path);
    if (!kind) {
        usageError(path + ": cannot tell the archive kind from the extension '" +
                       std::string(fileExtension(path)) + "'; pass --kind N",
                   call.command);
    }
    return *kind;
}

std::unique_ptr<TWMBaseImages> createArchive(const std::string& path, std::uint8_t kind) {
    std::unique_ptr<TWMBaseImages> archive = CreateWMImages(kind);
    if (!archive) failure("archive kind " + std::to_string(kind) + " has no reader");
    archive->FFileName = path;
    archive->FUseTextureCache = false;
    return archive;
}

// Initialize as the main window calls it; an exception it raises becomes a
// failure carrying the exception's message as it stands.
void initialize(TWMBaseImages& archive) {
    bool opened = false;
    try {
        opened = archive.Initialize();
    } catch (const std::exception& error) {
        failure(error.what());
    } catch (...) {
        failure("unknown error while opening " + archive.FFileName);
    }
    if (!opened) {
        std::string message =
            archive.FFileName + ": cannot open as " + std::string(archive.className());
        if (!archive.lastError().empty()) message += ": " + archive.lastError();
        failure(message);
    }
}

std::unique_ptr<TWMBaseImages> openArchive(const Invocation& call) {
    std::unique_ptr<TWMBaseImages> archive = createArchive(call.operands[0], kindOf(call));
    initialize(*archive);
    return archive;
}

// An entry past the end has no bitmap and cannot be drawn: that is the
// command's own failure (exit 1), told more plainly than the reader would.
void checkIndexInRange(const TWMBaseImages& archive, std::int32_t index) {
    if (index < archive.FImageCount) return;
    const std::string range = archive.FImageCount == 0
                                  ? "the archive has no entries"
                                  : "0.." + std::to_string(archive.FImageCount - 1);
    failure("index " + std::to_string(index) + " out of range (" + range + ")");
}

// The reader's reason, when it gave one.
std::string withReason(std::string message, const TWMBaseImages& archive) {
    if (!archive.lastError().empty()) message += ": " + archive.lastError();
    return message;
}

// ---- Commands -----------------------------------------------------------------

int runInfo(const Invocation& call, std::ostream& out, std::ostream&) {
    const std::uint8_t kind = kindOf(call);
    std::unique_ptr<TWMBaseImages> archive = createArchive(call.operands[0], kind);
    out << "file: " << call.operands[0] << '\n'
        << "kind: " << static_cast<int>(kind) << '\n'
        << "class: " << archive->className() << '\n';
    std::optional<CliExit> failed;
    try {
        initialize(*archive);
    } catch (const CliExit& error) {
        failed = error;
    }
    out << "entries: " << archive->FImageCount << '\n';
    if (failed) throw *failed;
    return kExitOk;
}

// "INDEX TYPE WIDTH HEIGHT PX PY", or zeros for an entry that does not decode.
std::string listLine(TWMBaseImages& archive, std::int32_t index, std::ostream& err) {
    std::uint8_t dataType = kDataTypeImage;
    bool decoded = false;
    try {
        decoded = archive.GetBitmap(index, dataType).has_value();
    } catch (const std::exception& error) {
        err << kPrefix << "entry " << index << ": " << error.what() << '\n';
    } catch (...) {
        err << kPrefix << "entry " << index << ": unknown error\n";
    }
    std::string line = std::to_string(index) + ' ' + std::to_string(dataType) + ' ';
    if (!decoded) return line + "0 0 0 0";
    const TWMImageInfo& info = archive.FLastImageInfo;
    return line + std::to_string(info.Width) + ' ' + std::to_string(info.Height) + ' ' +
           std::to_string(info.PX) + ' ' + std::to_string(info.PY);
}

int runList(const Invocation& call, std::ostream& out, std::ostream& err) {
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    for (std::int32_t index = 0; index < archive->FImageCount; ++index) {
        out << listLine(*archive, index, err) << '\n';
    }
    return kExitOk;
}

// Entry operations may raise (the named archive errors); those end the
// command with the exception's message.
template <typename Operation>
auto guarded(Operation operation) -> decltype(operation()) {
    try {
        return operation();
    } catch (const std::exception& error) {
        failure(error.what());
    } catch (...) {
        failure("unknown error");
    }
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

// The image part of a drawn texture, read back through a read-only lock.
Result<std::vector<std::uint8_t>> textureRgba(TDXImageTexture& texture) {
    TDXLockedRect rect;
    if (!texture.Lock(kLockRead, rect)) return fail("cannot lock the texture");
    const std::uint64_t lockedBytes =
        rect.Pitch > 0 && texture.FHeight > 0
            ? static_cast<std::uint64_t>(rect.Pitch) * static_cast<std::uint64_t>(texture.FHeight)
            : 0;
    const LockedTexels texels{
        std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(rect.Bits), lockedBytes),
        rect.Pitch, texture.FFormat};
    Result<std::vector<std::uint8_t>> rgba =
        texelsToRgba(texels, texture.GetWidth(), texture.GetHeight());
    texture.Unlock();
    return rgba;
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

constexpr CommandSpec kCommands[] = {
    {"info", "FILE", 1, "kind, class and number of entries",
     "Print the archive's kind, class and number of entries.", runInfo},
    {"list", "FILE", 1, "one line per entry: INDEX TYPE WIDTH HEIGHT PX PY",
     "Print one line per entry: INDEX TYPE WIDTH HEIGHT PX PY, as the entry's bitmap\n"
     "gives them, or INDEX TYPE 0 0 0 0 for an entry that does not decode.",
     runList},
    {"bitmap", "FILE INDEX OUT.bmp", 3, "write an entry's bitmap as BMP",
     "Write an entry's bitmap as a BMP file: 8-bit images with the program's palette\n"
     "as colour table, 16-bit images as R5G6B5 bit fields.",
     runBitmap},
    {"texture", "FILE INDEX OUT.png", 3, "write an entry drawn into a texture as RGBA PNG",
     "Draw an entry into a texture as the view does and write the image part of it\n"
     "as an RGBA PNG file.",
     runTexture},
};

// ---- Help and dispatch -----------------------------------------------------------

void printProgramHelp(std::ostream& out) {
    out << "Usage: vantoro-cli COMMAND [--kind N] FILE [INDEX OUT]\n\n"
        << "Inspect the image archives Vantoro reads.\n\nCommands:\n";
    for (const CommandSpec& spec : kCommands) {
        std::string usage = std::string(spec.name) + " [--kind N] " + std::string(spec.operands);
        usage.resize(std::max<std::size_t>(usage.size() + 2, 40), ' ');
        out << "  " << usage << spec.brief << '\n';
    }
    out << '\n' << kOptionsHelp;
}

void printCommandHelp(const CommandSpec& spec, std::ostream& out) {
    out << "Usage: vantoro-cli " << spec.name << " [--kind N] " << spec.operands << "\n\n"
        << spec.summary << "\n\n"
        << kOptionsHelp;
}

bool asksForHelp(std::span<const std::string> words) {
    for (const std::string& word : words) {
        if (word == "--") return false;
        if (word == "--help" || word == "-h") return true;
    }
    return false;
}

const CommandSpec* findCommand(std::string_view name) {
    for (const CommandSpec& spec : kCommands) {
        if (spec.name == name) return &spec;
    }
    return nullptr;
}

int dispatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) usageError("missing command", {});
    if (args[0] == "--help" || args[0] == "-h") {
        printProgramHelp(out);
        return kExitOk;
    }
    const CommandSpec* spec = findCommand(args[0]);
    if (!spec) usageError("unknown command '" + args[0] + "'", {});
    const std::span<const std::string> words(args.data() + 1, args.size() - 1);
    if (asksForHelp(words)) {
        printCommandHelp(*spec, out);
        return kExitOk;
    }
    return spec->run(parseWords(*spec, words), out, err);
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        return dispatch(args, out, err);
    } catch (const CliExit& exit) {
        out.flush();
        err << kPrefix << exit.message << '\n';
        return exit.code;
    } catch (const std::exception& error) {
        // Anything the archive layer raised outside a guarded call, such as
        // running out of memory.
        out.flush();
        err << kPrefix << error.what() << '\n';
        return kExitFailure;
    }
}

}  // namespace vantoro
