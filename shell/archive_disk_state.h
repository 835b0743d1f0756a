// Whether the files of the archive the window shows are still the ones it
// read. Another program may edit an open pack, or a client folder may be
// copied over the archives being browsed; the window then opens the archive
// again rather than read entries where its index no longer fits the file.
//
// A pack answers for itself (it tells its own edits from another
// program's); for the formats the program only reads, any change of the
// data or index file's signature (io/file_signature.h) since opening counts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "io/file_signature.h"

namespace vantoro {

enum class ArchiveOnDisk : std::uint8_t {
    AsRead,       // nothing to do
    BeingEdited,  // another program edits the pack now: ask again later
    Changed,      // open the archive again
};

class ArchiveDiskState {
public:
    // The files of `archive` as they are now, just after it was opened.
    void remember(const TWMBaseImages& archive);
    void forget() { m_files.clear(); }

    ArchiveOnDisk check(TWMBaseImages& archive) const;

    // The files to watch: the data file and the index file, if any.
    std::vector<std::string> paths() const;

private:
    struct SeenFile {
        std::string path;
        std::optional<FileSignature> signature;
    };
    std::vector<SeenFile> m_files;
};

}  // namespace vantoro
