// vantoro-cli new [--force] FILE
// vantoro-cli delete PACK FIRST LAST [--placeholders]
//
// The New command and the delete dialog's Execute. Their messages go to the
// error stream with their exact texts.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

#include "cli/cli_support.h"

namespace vantoro::cli {

inline constexpr std::string_view kNewSummary =
    "Create an empty pack: the 64-byte header with the creation time, no entries.\n"
    "\".pak\" is appended when the name does not end in it (in any letter case).\n"
    "An existing file is left alone unless --force is given.";

inline constexpr std::string_view kDeleteSummary =
    "Delete the entries FIRST..LAST of a pack as the delete dialog does: their\n"
    "bytes are cut out of the file, and the entries leave the index (the later\n"
    "ones move down in number) or, with --placeholders, stay as empty entries.\n"
    "FIRST and LAST are whole numbers (\"$\" for hexadecimal). The dialog's\n"
    "messages go to standard error. A protected pack opened without its\n"
    "password is refused.";

std::span<const OptionEntry> newOptions();
std::span<const OptionEntry> deleteOptions();

int runNew(const Invocation& call, std::ostream& out, std::ostream& err);
int runDelete(const Invocation& call, std::ostream& out, std::ostream& err);

}  // namespace vantoro::cli
