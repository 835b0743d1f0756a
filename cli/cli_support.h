// What the commands of vantoro-cli share: the exit codes, the parsed command
// line, the way a command ends early, and opening the archive named on it.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/open_archive.h"
#include "edit/edit_prompts.h"

namespace vantoro {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace vantoro

namespace vantoro::cli {

// What every message on the error stream starts with.
inline constexpr std::string_view kMessagePrefix = "vantoro-cli: ";

// Ends a command from any depth with an exit code and one message line.
// Deliberately not a std::exception, so it never mixes with archive errors.
struct CliExit {
    int code;
    std::string message;
};

// Exit 2, pointing at the command's help.
[[noreturn]] void usageError(const std::string& message, std::string_view command);
// Exit 1.
[[noreturn]] void failure(const std::string& message);

// How an edit command ends: exit 0 when the edit was done; exit 1 when it
// was refused (its prompt said why), when it failed (with its error) and when
// it was ignored, with `ignoredMessage`.
int exitCodeOf(const EditResult& result, const std::string& ignoredMessage);

// An option a command takes besides --kind, --password and --help.
struct OptionEntry {
    std::string_view name;   // "--zoom"
    std::string_view value;  // shown in the help; empty for a switch
    std::string_view help;   // lines after the first stand under the first
};

struct OptionValue {
    std::string_view name;
    std::string value;  // empty for a switch
};

// What the words after the command name asked for.
struct Invocation {
    std::string_view command;
    std::optional<TWMImagesKind> kind;
    std::string password;  // FPassword of the archive opened; empty by default
    std::vector<std::string> operands;
    std::vector<OptionValue> options;  // in command-line order
    bool progressOnError = false;      // the error stream is a terminal
    std::ostream* err = nullptr;       // where opening warns; nowhere when null
};

// A decimal number without sign, at most `max`.
std::optional<std::uint32_t> parseNumber(std::string_view text, std::uint32_t max);
// FIRST (operand 1) or LAST (operand 2) of a range, read as the dialogs read
// their number boxes (edit/import_text.h); exit 2 for a text that is not a
// number. A number outside the archive is the dialog's to refuse.
std::int32_t parseRangeBound(const Invocation& call, std::size_t operand);
// The INDEX operand (the second).
std::int32_t parseIndex(const Invocation& call);

// The archive FILE names, opened as the window opens it; exit 2 for a file
// that is not there or whose kind cannot be told, exit 1 when it does not open.
std::unique_ptr<TWMBaseImages> openArchive(const Invocation& call);
// The steps of openArchive, for a command that reports on the file before it
// fails (info). The kind FILE is opened as: --kind, else its extension.
TWMImagesKind kindOf(const Invocation& call);
// FILE opened as `kind`; exit 1 for a kind without a reader. Whether it
// opened is for checkOpened to tell.
OpenedArchive openFile(const Invocation& call, TWMImagesKind kind);
// Ends the command when the archive did not open, as the window would have
// shown it: an exception Initialize raised becomes a failure carrying its
// message as it stands. What a pack's journal left to tell goes to the error
// stream.
void checkOpened(const Invocation& call, const OpenedArchive& result);
// What every command that opens a pack says when a damaged edit journal
// beside it hides its entries, and how to recover.
std::string damagedJournalMessage(const std::string& pack, const std::string& reason);
// A pack read while another program edited it, or since changed by one,
// shows neither state: the command fails rather than print such entries.
void failIfReadRefused(const TWMBaseImages& archive);
// What every command says of a protected pack opened without its password.
inline constexpr std::string_view kLockedPackMessage =
    "the pack is protected; its password is missing or wrong";

// Why an archive opened with no entries: a protected pack's missing or wrong
// password, or the reader's reason; nothing when it has entries, when the
// reader gave no reason, or when opening already warned.
std::optional<std::string> emptyOpenReason(const TWMBaseImages& archive);
// Exit 1 with kLockedPackMessage for a protected pack opened without its
// password.
void failIfLocked(const TWMBaseImages& archive);
// Exit 1 for an index past the last entry (with the reason when the archive
// opened empty), or for a pack locked by its password.
void checkIndexInRange(const TWMBaseImages& archive, std::int32_t index);
// The message, with the reader's reason when it gave one.
std::string withReason(std::string message, const TWMBaseImages& archive);

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

}  // namespace vantoro::cli
