// vantoro-cli import PACK [options] SOURCE...
//
// Runs the import dialog's Execute on the pack: the sources make the file
// list as its buttons do (files; a folder's files as "目录"; with
// --recursive a whole tree as "目录ALL"), ordered by display name, and each
// control is an option with the dialog's default. Its messages go to the
// error stream; the questions about single files are answered OK with --yes
// and Cancel otherwise. With --from the entries of other archives are the
// sources, their offsets kept, one archive after the other.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

#include "cli/cli_support.h"

namespace vantoro::cli {

inline constexpr std::string_view kImportSummary =
    "Put files into the pack as the import dialog does: pictures (BMP, PNG, TGA) as\n"
    "image entries, WAV and MP3 files as sound entries, any file as a data entry,\n"
    "or a number of empty entries; added at the end, inserted at --start, or\n"
    "overwriting the entries from --start. A SOURCE folder gives its files (with\n"
    "--recursive those of the whole tree, named a_b_x.bmp for a/b/x.bmp); the list\n"
    "is ordered by those names, and each picture's offsets come from\n"
    "Placements/NAME.txt in its folder. A file that cannot be stored leaves an\n"
    "empty entry (with --yes; otherwise the run stops there, keeping what was\n"
    "stored). The dialog's messages go to standard error; progress too when that\n"
    "is a terminal. Exit 1 when the import was refused or stopped early, and\n"
    "for a PACK that is not a pack (vantoro-cli new makes one).";

std::span<const OptionEntry> importOptions();

int runImport(const Invocation& call, std::ostream& out, std::ostream& err);

}  // namespace vantoro::cli
