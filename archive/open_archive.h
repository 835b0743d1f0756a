// The one way the program opens an archive: the window, the command line,
// the tests, benchmarks and fuzzers all go through openArchive, so every
// opening reads the file the same way and reports the same things.
//
// A failed opening still hands back its reader, empty: the window keeps it
// open so that the status bar and the grid can say why.
#pragma once

#include <exception>
#include <memory>
#include <string>

#include "archive/archive_kind.h"
#include "archive/archive_reader.h"

namespace vantoro {

// What a pack's edit journal and reading gate left to tell after opening;
// nothing for any other format. Read from the pack as it stands, so a caller
// that has set a journal aside since can ask again.
struct JournalReport {
    // Another program's edit kept the pack from being read as it was opened
    // (readRefusal): none of its entries can be trusted.
    std::string readRefusal;
    // A journal that cannot be read hides the entries; lastError says why.
    bool damaged = false;
    // What was done with a journal written for another file (journalNotice).
    std::string setAside;
    // An interrupted edit could not be completed, so the pack shows its
    // entries as the edit leaves them and cannot be edited; only when
    // neither journal text above has already told of it. lastError says why.
    bool unfinishedEdit = false;
};

JournalReport journalReport(const TWMBaseImages& archive);

struct OpenedArchive {
    // Null only for a kind without a reader.
    std::unique_ptr<TWMBaseImages> archive;
    // What Initialize answered.
    bool opened = false;
    // What Initialize raised (a named archive error, lack of memory); the
    // reader stays, empty, and `opened` is false.
    std::exception_ptr raised;
    JournalReport journal;
};

// Makes the reader of `kind` and opens `path` with `password`, the texture
// cache off, as every opening in the program does.
OpenedArchive openArchive(TWMImagesKind kind, const std::string& path,
                          const std::string& password = "");

}  // namespace vantoro
