#include "cli/cli_app.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_kind.h"
#include "archive/archive_reader.h"
#include "cli/archive_commands.h"
#include "cli/cli_support.h"
#include "cli/convert_command.h"
#include "cli/export_command.h"
#include "cli/import_command.h"
#include "cli/pack_commands.h"
#include "cli/protect_command.h"
#include "cli/render_command.h"
#include "cli/sound_commands.h"
#include "io/file_stream.h"

namespace vantoro {

namespace {

using namespace cli;

struct CommandEntry {
    std::string_view name;
    std::string_view operands;  // as shown in the usage line
    std::size_t operandCount;
    std::string_view brief;    // one line for the program's help
    std::string_view summary;  // the command's own help
    int (*run)(const Invocation&, std::ostream&, std::ostream&);
    std::span<const OptionEntry> options = {};  // besides --kind and --help
    bool moreOperands = false;                  // the last operand may be repeated ("SOURCE...")
};

constexpr std::size_t kHelpWidth = 80;
constexpr std::size_t kOptionHelpColumn = 26;  // where an option's help starts, after "  "
constexpr std::string_view kHelpIndent = "             ";

// `line` followed by the items, each ended by ',' and the last by '.', broken
// before an item that would run past kHelpWidth; further lines start at
// kHelpIndent.
void appendWrapped(std::string& help, std::string line, std::span<const std::string> items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string item = items[i] + (i + 1 < items.size() ? ',' : '.');
        const bool fresh = line.ends_with(' ');  // nothing after the indent yet
        if (!fresh && line.size() + 1 + item.size() > kHelpWidth) {
            help += line + '\n';
            line = std::string(kHelpIndent) + item;
        } else {
            line += (fresh ? "" : " ") + item;
        }
    }
    help += line + '\n';
}

// "0 Mir2 .wil", "1 Mir2 16-bit .wil", ... in the order of the numbers.
std::vector<std::string> kindItems() {
    std::vector<const ArchiveKindInfo*> kinds;
    for (const ArchiveKindInfo& info : archiveKinds()) kinds.push_back(&info);
    std::ranges::sort(kinds, {}, [](const ArchiveKindInfo* info) { return info->kind; });
    std::vector<std::string> items;
    for (const ArchiveKindInfo* info : kinds) {
        items.push_back(std::to_string(kindNumber(info->kind)) + ' ' + std::string(info->label));
    }
    return items;
}

// ".wil 0 (4 when the file starts with the 16-bit value 1)", ".wis 2", ... in
// the order of the extension rule, each extension once, as the rule answers it.
std::vector<std::string> extensionItems() {
    const std::uint8_t marker[2] = {static_cast<std::uint8_t>(kMir3WilMarker & 0xFF),
                                    static_cast<std::uint8_t>(kMir3WilMarker >> 8)};
    std::vector<std::string> items;
    for (const ArchiveKindInfo& info : archiveKinds()) {
        const auto plain = kindForExtension(info.extension, {});
        if (!plain || *plain != info.kind) continue;  // no extension, or told by the marker
        std::string item =
            std::string(info.extension) + ' ' + std::to_string(kindNumber(info.kind));
        const auto marked = kindForExtension(info.extension, marker);
        if (marked && *marked != info.kind) {
            item += " (" + std::to_string(kindNumber(*marked)) +
                    " when the file starts with the 16-bit value " +
                    std::to_string(kMir3WilMarker) + ")";
        }
        items.push_back(item);
    }
    return items;
}

std::string optionsHelp() {
    std::string help = "Options:\n";
    appendWrapped(help, "  --kind N   archive kind:", kindItems());
    help += std::string(kHelpIndent) +
            "Without it the kind follows the file's extension, in any letter case:\n";
    appendWrapped(help, std::string(kHelpIndent), extensionItems());
    help +=
        "  --password TEXT\n"
        "             the password a protected pack is opened with; empty by default.\n"
        "             Only its first 8 bytes count (a single DES key)\n"
        "  --help     show this help\n"
        "\n"
        "Exit status: 0 success, 1 the archive or the entry failed, 2 usage error or\n"
        "missing file.\n";
    return help;
}

// ---- Parsing -----------------------------------------------------------------

// A kind byte the factory makes a reader for.
TWMImagesKind parseKind(std::string_view text, std::string_view command) {
    const auto number = parseNumber(text, 255);
    const auto kind = static_cast<TWMImagesKind>(number.value_or(0));
    if (!number || CreateWMImages(kind) == nullptr) {
        usageError("bad archive kind '" + std::string(text) + "'", command);
    }
    return kind;
}

// A word starting with '-' is an option, except a negative number, which is
// a (bad) operand and reported as such.
bool looksLikeOption(std::string_view word) {
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9');
}

// The k-th word of the command's operand list ("FILE INDEX OUT.bmp").
std::string operandName(const CommandEntry& entry, std::size_t k) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < k; ++i) start = entry.operands.find(' ', start) + 1;
    return std::string(entry.operands.substr(start, entry.operands.find(' ', start) - start));
}

const OptionEntry* findOption(const CommandEntry& entry, std::string_view name) {
    for (const OptionEntry& option : entry.options) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

// "--name value" or "--name=value"; a value may look like an option
// ("--zoom -50"), since it is taken by position.
std::string optionValue(std::span<const std::string> words, std::size_t& i, std::string_view name,
                        std::optional<std::string> inlineValue, std::string_view command) {
    if (inlineValue) return *inlineValue;
    if (i + 1 == words.size()) usageError(std::string(name) + " needs a value", command);
    return words[++i];
}

void parseOption(const CommandEntry& entry, std::span<const std::string> words, std::size_t& i,
                 Invocation& call) {
    const std::string& word = words[i];
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    std::optional<std::string> inlineValue;
    if (equals != std::string::npos) inlineValue = word.substr(equals + 1);
    if (name == "--kind") {
        call.kind = parseKind(optionValue(words, i, name, inlineValue, entry.name), entry.name);
        return;
    }
    if (name == "--password") {
        call.password = optionValue(words, i, name, inlineValue, entry.name);
        return;
    }
    const OptionEntry* option = findOption(entry, name);
    if (!option) usageError("unknown option '" + word + "'", entry.name);
    if (option->value.empty()) {
        if (inlineValue) usageError(name + " takes no value", entry.name);
        call.options.push_back({option->name, {}});
    } else {
        call.options.push_back(
            {option->name, optionValue(words, i, name, inlineValue, entry.name)});
    }
}

Invocation parseWords(const CommandEntry& entry, std::span<const std::string> words) {
    Invocation call{entry.name, std::nullopt, {}, {}, {}};
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || !looksLikeOption(word)) {
            call.operands.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else {
            parseOption(entry, words, i, call);
        }
    }
    if (call.operands.size() > entry.operandCount && !entry.moreOperands) {
        usageError("unexpected argument '" + call.operands[entry.operandCount] + "'", entry.name);
    }
    if (call.operands.size() < entry.operandCount) {
        usageError("missing argument " + operandName(entry, call.operands.size()), entry.name);
    }
    return call;
}

const CommandEntry kCommands[] = {
    {"info", "FILE", 1, "kind, class and number of entries",
     "Print the archive's kind, class and number of entries.", runInfo},
    {"list", "FILE", 1, "one line per entry: INDEX TYPE WIDTH HEIGHT PX PY",
     "Print one line per entry: INDEX TYPE WIDTH HEIGHT PX PY, as the entry's bitmap\n"
     "gives them, or INDEX TYPE 0 0 0 0 for an entry that does not decode. A pack\n"
     "adds a seventh column: the entry's stored pixel format 0..3, or -1.",
     runList},
    {"bitmap", "FILE INDEX OUT.bmp", 3, "write an entry's bitmap as BMP",
     "Write an entry's bitmap as a BMP file: 8-bit images with the program's palette\n"
     "as colour table, 16-bit images as R5G6B5 bit fields.",
     runBitmap},
    {"texture", "FILE INDEX OUT.png", 3, "write an entry drawn into a texture as RGBA PNG",
     "Draw an entry into a texture as the view does and write the image part of it\n"
     "as an RGBA PNG file.",
     runTexture},
    {"data", "PACK INDEX OUT", 3, "write a pack entry's stored file",
     "Write the bytes a pack's sound or data entry stores, inflated when stored\n"
     "compressed. Exit 1 when the entry has none.",
     runData},
    {"render", "FILE INDEX OUT.png", 3, "draw an entry in the view as RGB PNG", kRenderSummary,
     runRender, renderOptions()},
    {"export", "ARCHIVE FIRST LAST FOLDER", 4, "write a range of entries as files", kExportSummary,
     runExport, exportOptions()},
    {"import", "PACK SOURCE...", 1, "put files into a pack", kImportSummary, runImport,
     importOptions(), true},
    {"convert", "SOURCE... OUT", 2, "convert whole archives or folders of them", kConvertSummary,
     runConvert, convertOptions(), true},
    {"new", "FILE", 1, "create an empty pack", kNewSummary, runNew, newOptions()},
    {"delete", "PACK FIRST LAST", 3, "delete a range of a pack's entries", kDeleteSummary,
     runDelete, deleteOptions()},
    {"recover", "PACK", 1, "set aside a damaged edit journal and open the pack", kRecoverSummary,
     runRecover},
    {"protect", "PACK", 1, "protect a pack with a password, or change it", kProtectSummary,
     runProtect, protectOptions()},
    {"unprotect", "PACK", 1, "remove a pack's password protection", kUnprotectSummary,
     runUnprotect},
    {"sound", "ARCHIVE INDEX", 2, "TYPE RATE CHANNELS LENGTH SECONDS of a sound entry",
     kSoundSummary, runSound},
    {"spectrum", "ARCHIVE INDEX SECONDS", 3, "the 2048 spectrum values at a position",
     kSpectrumSummary, runSpectrum},
    {"play", "ARCHIVE INDEX", 2, "play a sound entry to its end", kPlaySummary, runPlay},
};

// ---- Help and dispatch -----------------------------------------------------------

std::string usageOf(const CommandEntry& entry, bool withOptions) {
    std::string usage = std::string(entry.name) + " [--kind N] " + std::string(entry.operands);
    if (withOptions && !entry.options.empty()) usage += " [options]";
    return usage;
}

void printProgramHelp(std::ostream& out) {
    out << "Usage: vantoro-cli COMMAND [--kind N] FILE [INDEX OUT]\n\n"
        << "Inspect the image archives Vantoro reads.\n\nCommands:\n";
    for (const CommandEntry& entry : kCommands) {
        std::string usage = usageOf(entry, false);
        usage.resize(std::max<std::size_t>(usage.size() + 2, 40), ' ');
        out << "  " << usage << entry.brief << '\n';
    }
    out << '\n' << optionsHelp();
}

void printCommandHelp(const CommandEntry& entry, std::ostream& out) {
    out << "Usage: vantoro-cli " << usageOf(entry, true) << "\n\n" << entry.summary << "\n\n";
    if (!entry.options.empty()) {
        out << "Options of " << entry.name << ":\n";
        for (const OptionEntry& option : entry.options) {
            std::string left = std::string(option.name);
            if (!option.value.empty()) left.append(" ").append(option.value);
            left.resize(std::max<std::size_t>(left.size() + 2, kOptionHelpColumn), ' ');
            std::string_view help = option.help;
            for (std::size_t end = help.find('\n'); end != std::string_view::npos;
                 end = help.find('\n')) {
                out << "  " << left << help.substr(0, end) << '\n';
                left.assign(kOptionHelpColumn, ' ');
                help.remove_prefix(end + 1);
            }
            out << "  " << left << help << '\n';
        }
        out << '\n';
    }
    out << optionsHelp();
}

bool asksForHelp(std::span<const std::string> words) {
    for (const std::string& word : words) {
        if (word == "--") return false;
        if (word == "--help" || word == "-h") return true;
    }
    return false;
}

const CommandEntry* findCommand(std::string_view name) {
    for (const CommandEntry& entry : kCommands) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

int dispatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             bool errIsTerminal) {
    if (args.empty()) usageError("missing command", {});
    if (args[0] == "--help" || args[0] == "-h") {
        printProgramHelp(out);
        return kExitOk;
    }
    const CommandEntry* entry = findCommand(args[0]);
    if (!entry) usageError("unknown command '" + args[0] + "'", {});
    const std::span<const std::string> words(args.data() + 1, args.size() - 1);
    if (asksForHelp(words)) {
        printCommandHelp(*entry, out);
        return kExitOk;
    }
    Invocation call = parseWords(*entry, words);
    call.progressOnError = errIsTerminal;
    call.err = &err;
    warnLongPassword(call.password, "--password", err);
    // A read kept waiting by another program's edit says so, once.
    struct ReadWaitNotice {
        FileStream::ReadWaits before = FileStream::readWaits();
        explicit ReadWaitNotice(std::ostream& err) {
            FileStream::ReadWaits waits = before;
            waits.notice = [&err] {
                err << kMessagePrefix << "waiting for another program's edit of the pack\n"
                    << std::flush;
            };
            FileStream::setReadWaits(std::move(waits));
        }
        ~ReadWaitNotice() { FileStream::setReadWaits(before); }
    } const notice(err);
    return entry->run(call, out, err);
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal) {
    try {
        return dispatch(args, out, err, errIsTerminal);
    } catch (const CliExit& exit) {
        out.flush();
        err << kMessagePrefix << exit.message << '\n';
        return exit.code;
    } catch (const std::exception& error) {
        // Anything the archive layer raised outside a guarded call, such as
        // running out of memory.
        out.flush();
        err << kMessagePrefix << error.what() << '\n';
        return kExitFailure;
    }
}

}  // namespace vantoro
