#include "edit/new_pack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <span>

#include "edit/edit_messages.h"
#include "io/edit_journal.h"
#include "io/file_names.h"
#include "io/file_stream.h"
#include "io/result.h"

namespace vantoro {
namespace {

constexpr std::string_view kPackEnding = ".pak";

Error systemError(const std::string& what, int code) {
    return fail(what + ": " + std::strerror(code));
}

Status writeAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return systemError("write failed", put < 0 ? errno : EIO);
        bytes = bytes.subspan(static_cast<std::size_t>(put));
    }
    if (::fsync(fd) != 0) return systemError("write failed", errno);
    return Status::success();
}

// Writes the bytes to a new file and closes it; on any failure the file is
// removed again.
Status writeNewFile(int fd, const std::string& path, std::span<const std::uint8_t> bytes) {
    Status written = writeAll(fd, bytes);
    if (::close(fd) != 0 && written) written = systemError("cannot close " + path, errno);
    if (!written) ::unlink(path.c_str());
    return written;
}

// A file that must not exist yet: created exclusively, so a file appearing
// meanwhile is not overwritten.
Status createExclusive(const std::string& path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return systemError("cannot create " + path, errno);
    return writeNewFile(fd, path, bytes);
}

// Replaces an existing file: the new bytes go to a file of their own in the
// same folder, which then takes the name in one step.
Status replaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    struct stat old {};
    if (::stat(path.c_str(), &old) != 0) return systemError("cannot measure " + path, errno);
    if (!S_ISREG(old.st_mode)) return fail("not a regular file: " + path);
    std::string scratch = path + ".XXXXXX";
    const int fd = ::mkstemp(scratch.data());
    if (fd < 0) return systemError("cannot create a file beside " + path, errno);
    (void)::fchmod(fd, old.st_mode & 07777);
    if (Status s = writeNewFile(fd, scratch, bytes); !s) return s;
    if (::rename(scratch.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(scratch.c_str());
        return systemError("cannot replace " + path, code);
    }
    return Status::success();
}

NewPackResult blockedBy(NewPackBlock block, const std::string& path) {
    const std::string why =
        block == NewPackBlock::BeingEdited
            ? path + ": another program is editing the pack; it is not replaced"
            : path + ": " + journalPath(path) +
                  " lies beside it, left by an interrupted edit; the pack is not replaced "
                  "(opening the pack completes the edit; vantoro-cli recover sets a damaged "
                  "journal aside)";
    return {{EditOutcome::Refused, why}, path, block};
}

// Why the pack at `path` must not be replaced now; `lock`, when given, keeps
// the editing lock taken for the replacing.
NewPackBlock replaceBlock(const std::string& path, std::unique_ptr<FileStream>* lock) {
    auto pack = FileStream::open(path, FileStream::Mode::ReadOnly);
    if (pack && !pack->tryLockForEditing()) return NewPackBlock::BeingEdited;
    // Looked for under the lock: no edit is running, so a journal there is
    // one an interrupted edit left.
    if (hasJournal(path)) return NewPackBlock::HasJournal;
    if (lock != nullptr) *lock = std::move(pack);
    return NewPackBlock::None;
}

}  // namespace

std::string newPackPath(std::string_view chosen) {
    std::string path(chosen);
    const bool ends =
        path.size() >= kPackEnding.size() &&
        equalsIgnoringCase(std::string_view(path).substr(path.size() - kPackEnding.size()),
                           kPackEnding);
    if (!ends) path += kPackEnding;
    return path;
}

NewPackResult createNewPack(std::string_view chosen, PromptSeam& prompts, double creationTime) {
    if (chosen.empty()) return {{EditOutcome::Ignored, {}}, {}};
    const std::string path = newPackPath(chosen);
    const PackHeaderBytes header = newPackHeader(creationTime);
    Status written;
    if (fileExists(path)) {
        if (const NewPackBlock block = replaceBlock(path, nullptr); block != NewPackBlock::None) {
            return blockedBy(block, path);
        }
        if (prompts.ask(editPrompt(EditMessage::NewPackOverwrite)) != PromptAnswer::Ok) {
            return {{EditOutcome::Refused, {}}, path};
        }
        // Held until the new file has the name: an edit cannot start on the
        // old one meanwhile (and one that opened it before finds it replaced).
        std::unique_ptr<FileStream> lock;
        if (const NewPackBlock block = replaceBlock(path, &lock); block != NewPackBlock::None) {
            return blockedBy(block, path);
        }
        written = replaceFile(path, header);
    } else {
        written = createExclusive(path, header);
    }
    if (!written) return {{EditOutcome::Failed, written.error()}, path};
    return {{EditOutcome::Done, {}}, path};
}

}  // namespace vantoro
