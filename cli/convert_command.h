// vantoro-cli convert [--to png|bmp|pak] [--jobs N] [--alpha] [--recursive]
//                     SOURCE... OUT
//
// Whole archives, or folders of them, converted in one run on several
// threads: each archive into OUT/NAME/ as `export` of all its entries
// writes it (png, the default, or bmp), or into the pack OUT/NAME.pak as
// `import --from` makes it (pak). NAME and the choice of archives are
// cli/convert_sources.h's.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

#include "cli/cli_support.h"

namespace vantoro::cli {

inline constexpr std::string_view kConvertSummary =
    "Convert every entry of each SOURCE archive, or of the archives in a SOURCE\n"
    "folder (the kind from the extension; --recursive: the whole tree), into the\n"
    "folder OUT, which is created. png and bmp write OUT/NAME/ as `export ARCHIVE\n"
    "0 LAST OUT/NAME --png` (or without --png) writes it: numbered pictures with\n"
    "their offsets in Placements/, a pack's sounds and data as files. pak writes\n"
    "the pack OUT/NAME.pak as `import --from ARCHIVE` makes it in a new pack.\n"
    "NAME is the archive's file name with its extension (Items.wil), below a\n"
    "folder taken with --recursive its path from that folder (sub/Items.wil);\n"
    "two archives of one NAME are refused. Files and packs of the same names are\n"
    "replaced. Archives, and for png and bmp ranges of an archive's entries, are\n"
    "converted on --jobs threads; the files are the same whatever their number.\n"
    "Progress is drawn on standard error when that is a terminal, and a summary\n"
    "line goes to standard output. An archive that fails is named on standard\n"
    "error and the others are still converted; the exit status is then 1.\n"
    "Ctrl-C stops after the entries being written (exit 130); what is written\n"
    "stays. --kind applies to the SOURCE files named themselves, --password to\n"
    "every protected pack among the sources.";

std::span<const OptionEntry> convertOptions();

int runConvert(const Invocation& call, std::ostream& out, std::ostream& err);

}  // namespace vantoro::cli
