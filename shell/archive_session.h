// The archive the program has open and what goes with it, without the
// window: the archive itself, the selection in it, the password a pack is
// opened with and the kind of the last opening. The window keeps one and
// reads it under the names the rest of the program knows (CurrentArchive,
// selection, PackPassword, LastOpenKind).
#pragma once

#include <memory>
#include <string>

#include "archive/archive_reader.h"
#include "archive/open_archive.h"
#include "shell/entry_selection.h"

namespace vantoro {

struct ArchiveSession {
    std::unique_ptr<TWMBaseImages> archive;  // null until a kind with a reader is opened
    SelectionState selection;
    std::string password;
    TWMImagesKind lastKind = TWMImagesKind::M2Def;

    // Opens `path` as `kind` with the session's password. The archive open
    // before is closed first, so a pack's file is let go before the next
    // file opens, even the same one. The new archive becomes the current one
    // even when it did not open (it is then empty, and the report says why);
    // the report's own archive is left empty. The selection is the caller's
    // to carry over or clear.
    OpenedArchive open(TWMImagesKind kind, const std::string& path);
};

}  // namespace vantoro
