#include "cli/cli_support.h"

#include <exception>
#include <new>

#include "archive/archive_kind.h"
#include "archive/my_image_images.h"
#include "edit/import_text.h"
#include "io/file_names.h"

namespace vantoro::cli {

void usageError(const std::string& message, std::string_view command) {
    const std::string help =
        command.empty() ? "vantoro-cli --help" : "vantoro-cli " + std::string(command) + " --help";
    throw CliExit{kExitUsage, message + " (see " + help + ")"};
}

void failure(const std::string& message) {
    throw CliExit{kExitFailure, message};
}

int exitCodeOf(const EditResult& result, const std::string& ignoredMessage) {
    switch (result.outcome) {
        case EditOutcome::Done:
            return kExitOk;
        case EditOutcome::Refused:
            return kExitFailure;
        case EditOutcome::Ignored:
            failure(ignoredMessage);
        case EditOutcome::Failed:
            break;
    }
    failure(result.error);
}

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

std::int32_t parseRangeBound(const Invocation& call, std::size_t operand) {
    const auto bound = parseIntegerText(call.operands[operand]);
    if (!bound) {
        const std::string name = operand == 1 ? "FIRST" : "LAST";
        usageError("bad " + name + " '" + call.operands[operand] + "'", call.command);
    }
    return *bound;
}

std::int32_t parseIndex(const Invocation& call) {
    const auto index = parseNumber(call.operands[1], 0x7FFFFFFF);
    if (!index) usageError("bad index '" + call.operands[1] + "'", call.command);
    return static_cast<std::int32_t>(*index);
}

TWMImagesKind kindOf(const Invocation& call) {
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

OpenedArchive openFile(const Invocation& call, TWMImagesKind kind) {
    OpenedArchive result = vantoro::openArchive(kind, call.operands[0], call.password);
    if (!result.archive) {
        failure("archive kind " + std::to_string(kindNumber(kind)) + " has no reader");
    }
    return result;
}

void failIfReadRefused(const TWMBaseImages& archive) {
    const auto* pack = dynamic_cast<const TWMMyImageImages*>(&archive);
    if (pack != nullptr && !pack->readRefusal().empty()) {
        failure(archive.FFileName + ": " + pack->readRefusal());
    }
}

void checkOpened(const Invocation& call, const OpenedArchive& result) {
    const TWMBaseImages& archive = *result.archive;
    if (result.raised) {
        try {
            std::rethrow_exception(result.raised);
        } catch (const std::bad_alloc&) {
            failure("not enough memory to open " + archive.FFileName);
        } catch (const std::exception& error) {
            failure(error.what());
        } catch (...) {
            failure("unknown error while opening " + archive.FFileName);
        }
    }
    if (!result.opened) {
        std::string message =
            archive.FFileName + ": cannot open as " + std::string(archive.className());
        if (!archive.lastError().empty()) message += ": " + archive.lastError();
        failure(message);
    }
    // A damaged journal hides the entries: no command can trust what it
    // shows. A journal of another file was set aside (or could not be), and
    // a pack whose interrupted edit could not be completed shows its entries
    // as the edit leaves them but cannot be edited: say so.
    const JournalReport& journal = result.journal;
    if (!journal.readRefusal.empty()) failure(archive.FFileName + ": " + journal.readRefusal);
    if (journal.damaged) failure(damagedJournalMessage(archive.FFileName, archive.lastError()));
    if (call.err == nullptr) return;
    if (!journal.setAside.empty()) {
        *call.err << kMessagePrefix << "warning: " << archive.FFileName << ": " << journal.setAside
                  << '\n';
    } else if (journal.unfinishedEdit) {
        *call.err << kMessagePrefix << "warning: " << archive.lastError() << '\n';
    }
}

std::string damagedJournalMessage(const std::string& pack, const std::string& reason) {
    return pack + ": a damaged edit journal hides the pack's entries (" + reason +
           "); vantoro-cli recover " + pack +
           " sets it aside (renamed, kept) and opens the pack as the file holds it";
}

std::unique_ptr<TWMBaseImages> openArchive(const Invocation& call) {
    OpenedArchive result = openFile(call, kindOf(call));
    checkOpened(call, result);
    return std::move(result.archive);
}

bool lockedPack(const TWMBaseImages& archive) {
    const auto* pack = dynamic_cast<const TWMMyImageImages*>(&archive);
    return pack != nullptr && pack->FHeader.isProtected() && !pack->FCipherActive;
}

std::optional<std::string> emptyOpenReason(const TWMBaseImages& archive) {
    if (lockedPack(archive)) return std::string(kLockedPackMessage);
    if (archive.FImageCount != 0 || archive.lastError().empty()) return std::nullopt;
    // Opening already warned of an edit it could not complete.
    const auto* pack = dynamic_cast<const TWMMyImageImages*>(&archive);
    if (pack != nullptr && pack->editBlock() == PackEditBlock::UnfinishedEdit) return std::nullopt;
    return archive.lastError();
}

void failIfLocked(const TWMBaseImages& archive) {
    if (lockedPack(archive)) failure(archive.FFileName + ": " + std::string(kLockedPackMessage));
}

// An entry past the end has no bitmap and cannot be drawn: that is the
// command's own failure (exit 1), told more plainly than the reader would.
// A pack locked by its password shows no entries: that is said instead.
void checkIndexInRange(const TWMBaseImages& archive, std::int32_t index) {
    failIfLocked(archive);
    if (index < archive.FImageCount) return;
    std::string range = "0.." + std::to_string(archive.FImageCount - 1);
    if (archive.FImageCount == 0) {
        range = "the archive has no entries";
        if (const auto reason = emptyOpenReason(archive)) range += ": " + *reason;
    }
    failure("index " + std::to_string(index) + " out of range (" + range + ")");
}

std::string withReason(std::string message, const TWMBaseImages& archive) {
    if (!archive.lastError().empty()) message += ": " + archive.lastError();
    return message;
}

}  // namespace vantoro::cli
