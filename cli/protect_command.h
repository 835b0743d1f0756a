// vantoro-cli protect PACK --password P [--new-password NEW]
// vantoro-cli unprotect PACK --password P
//
// Password protection of a pack: made, changed or removed in place, as one
// edit that an interruption cannot leave half done.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

#include "cli/cli_support.h"

namespace vantoro::cli {

inline constexpr std::string_view kProtectSummary =
    "Protect a plain pack with the password given by --password: the header's\n"
    "check block and flag, and the first 128 stored bytes of every entry of 128\n"
    "bytes or more enciphered (single DES). With --new-password, change the\n"
    "password of a protected pack from --password to NEW instead. Exit 1 on a\n"
    "wrong password, or when the pack is already protected (without\n"
    "--new-password) or not protected (with it). Only the first 8 bytes of a\n"
    "password count. This keeps casual readers out; it is not strong encryption.";

inline constexpr std::string_view kUnprotectSummary =
    "Remove the password protection of a pack, whose password --password gives:\n"
    "every entry is stored plain again. Exit 1 on a wrong password or a pack that\n"
    "is not protected.";

std::span<const OptionEntry> protectOptions();

int runProtect(const Invocation& call, std::ostream& out, std::ostream& err);
int runUnprotect(const Invocation& call, std::ostream& out, std::ostream& err);

// The warning line for a password longer than the 8 bytes that count, or
// nothing.
void warnLongPassword(std::string_view password, std::string_view option, std::ostream& err);

}  // namespace vantoro::cli
