// vantoro-cli export [--kind N] ARCHIVE FIRST LAST FOLDER [options]
//
// Runs the export dialog's Execute on the entries FIRST..LAST: the numbers
// are read as the dialog reads its boxes, its range messages and closing
// message go to the error stream, and its check boxes are options.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

#include "cli/cli_support.h"

namespace vantoro::cli {

inline constexpr std::string_view kExportSummary =
    "Write the entries FIRST..LAST of the archive into FOLDER as the export dialog\n"
    "does: each image as NNNNNN.bmp (at least six digits) with its offsets in\n"
    "Placements/NNNNNN.txt, data and sound entries as NNNNNN.dat, .wav or .mp3,\n"
    "and a 1 x 1 placeholder picture for an entry that cannot be written.\n"
    "FIRST and LAST are whole numbers (\"$\" for hexadecimal); LAST may be the\n"
    "word LAST, the archive's last entry. The dialog's messages go to standard\n"
    "error; progress too when that is a terminal.";

std::span<const OptionEntry> exportOptions();

int runExport(const Invocation& call, std::ostream& out, std::ostream& err);

}  // namespace vantoro::cli
