// The archives a `convert` run works on, from its SOURCE operands, and the
// name each one's output takes below OUT.
//
// A SOURCE file is an archive, its kind from --kind or its extension. A
// SOURCE folder gives the files in it whose extension names an archive kind
// (index files such as .wix are not archives); with `recursive`, those of
// the whole tree. The output name is the archive's file name with its
// extension ("Items.wil"), so Items.wil and Items.wzl never meet; below a
// folder taken with `recursive`, it keeps the path from that folder
// ("sub/Items.wil"), as the tree was. The same file reached twice is taken
// once; two different files that would get the same output name are
// refused before anything is written, so neither overwrites the other.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_reader.h"

namespace vantoro::cli {

struct ConvertSource {
    std::string path;                   // as named or found
    std::string name;                   // below OUT
    std::optional<TWMImagesKind> kind;  // --kind for a file named itself
};

// In the order of the operands, a folder's archives ordered by path. Exit 2
// (CliExit) for a SOURCE that is not there, a folder without archives, a
// file whose kind cannot be told, and two archives of one output name.
std::vector<ConvertSource> collectConvertSources(std::span<const std::string> operands,
                                                 bool recursive, std::optional<TWMImagesKind> kind);

// The path by which a file is known however it is named: its canonical
// path, as far as it exists.
std::string fileIdentity(const std::string& path);

}  // namespace vantoro::cli
