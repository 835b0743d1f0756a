// vantoro-cli: the command-line companion for inspecting, converting and
// editing archives.
//
//   vantoro-cli info     [--kind N] FILE
//   vantoro-cli list     [--kind N] FILE
//   vantoro-cli data     PACK INDEX OUT
//   vantoro-cli bitmap   [--kind N] FILE INDEX OUT.bmp
//   vantoro-cli texture  [--kind N] FILE INDEX OUT.png
//   vantoro-cli render   [--kind N] FILE INDEX OUT.png [options]
//   vantoro-cli export   [--kind N] ARCHIVE FIRST LAST FOLDER [options]
//   vantoro-cli convert  [options] SOURCE... OUT
//   vantoro-cli new      [--force] FILE
//   vantoro-cli import   PACK [options] SOURCE...
//   vantoro-cli delete   PACK FIRST LAST [--placeholders]
//   vantoro-cli recover  PACK
//   vantoro-cli protect  PACK --password P [--new-password NEW]
//   vantoro-cli unprotect PACK --password P
//   vantoro-cli sound | play [--kind N] ARCHIVE INDEX
//   vantoro-cli spectrum [--kind N] ARCHIVE INDEX SECONDS
//
// Every command takes --help (its options in full) and --password for a
// protected pack.
//
// Exit codes: 0 success, 1 the archive or entry failed, 2 usage error or
// missing file. Messages on the error stream start with "vantoro-cli: ".
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_support.h"  // the exit codes

namespace vantoro {

// Runs one command. `args` are the words after the program name. Long
// commands draw their progress on `err` when it is a terminal.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal = false);

}  // namespace vantoro
