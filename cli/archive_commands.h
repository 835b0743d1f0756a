// The commands that read an archive and print or write what it holds:
// info, list, data, bitmap and texture.
#pragma once

#include <ostream>

#include "cli/cli_support.h"

namespace vantoro::cli {

// The file, its kind, its class and its number of entries.
int runInfo(const Invocation& call, std::ostream& out, std::ostream& err);
// One line per entry: index, type, width, height and offsets (and a pack's
// pixel format).
int runList(const Invocation& call, std::ostream& out, std::ostream& err);
// An entry's stored data, as the pack holds it, into a file.
int runData(const Invocation& call, std::ostream& out, std::ostream& err);
// An entry's bitmap as a BMP file.
int runBitmap(const Invocation& call, std::ostream& out, std::ostream& err);
// An entry as drawn into a texture, as a PNG file with its alpha.
int runTexture(const Invocation& call, std::ostream& out, std::ostream& err);

}  // namespace vantoro::cli
