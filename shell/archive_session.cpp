#include "shell/archive_session.h"

#include <utility>

namespace vantoro {

OpenedArchive ArchiveSession::open(TWMImagesKind kind, const std::string& path) {
    lastKind = kind;
    archive.reset();
    OpenedArchive opened = openArchive(kind, path, password);
    archive = std::move(opened.archive);
    return opened;
}

}  // namespace vantoro
