// vantoro-cli new [--force] FILE
// vantoro-cli delete PACK FIRST LAST [--placeholders]
// vantoro-cli recover PACK
//
// The New command and the delete dialog's Execute. Their messages go to the
// error stream with their exact texts. recover sets aside an edit journal
// that hides a pack's entries.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/cli_support.h"

namespace vantoro::cli {

inline constexpr std::string_view kNewSummary =
    "Create an empty pack: the 64-byte header with the creation time, no entries.\n"
    "\".pak\" is appended when the name does not end in it (in any letter case).\n"
    "An existing file is left alone unless --force is given. It is never replaced\n"
    "while another program edits it, nor while the journal of an interrupted edit\n"
    "lies beside it (PACK.journal), with --force or without: opening the pack\n"
    "completes that edit, and recover sets an unusable journal aside.";

inline constexpr std::string_view kDeleteSummary =
    "Delete the entries FIRST..LAST of a pack as the delete dialog does: their\n"
    "bytes are cut out of the file, and the entries leave the index (the later\n"
    "ones move down in number) or, with --placeholders, stay as empty entries.\n"
    "FIRST and LAST are whole numbers (\"$\" for hexadecimal). The dialog's\n"
    "messages go to standard error. A protected pack opened without its\n"
    "password is refused.";

inline constexpr std::string_view kRecoverSummary =
    "Set aside the edit journal beside a pack (PACK.journal) that is damaged or\n"
    "belongs to another file, and open the pack as the file holds it. The journal\n"
    "is renamed, not deleted: PACK.journal.damaged or PACK.journal.orphan (with\n"
    "\"-2\", \"-3\" ... when that name is taken). Says what it does first, then\n"
    "prints the pack's entry count. A journal that belongs to the pack is left to\n"
    "be completed by opening it. Refused while another program edits the pack.";

std::span<const OptionEntry> newOptions();
std::span<const OptionEntry> deleteOptions();

int runNew(const Invocation& call, std::ostream& out, std::ostream& err);
int runDelete(const Invocation& call, std::ostream& out, std::ostream& err);
int runRecover(const Invocation& call, std::ostream& out, std::ostream& err);

}  // namespace vantoro::cli
