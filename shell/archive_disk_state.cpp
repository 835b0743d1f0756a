#include "shell/archive_disk_state.h"

#include "archive/my_image_images.h"

namespace vantoro {

void ArchiveDiskState::remember(const TWMBaseImages& archive) {
    m_files.clear();
    for (const std::string& path : {archive.FFileName, archive.indexFileName()}) {
        if (!path.empty()) m_files.push_back({path, fileSignature(path)});
    }
}

ArchiveOnDisk ArchiveDiskState::check(TWMBaseImages& archive) const {
    // A pack that opened tells its own edits from another program's; one
    // that did not is a file like any other.
    auto* pack = dynamic_cast<TWMMyImageImages*>(&archive);
    if (pack != nullptr && pack->FInitialized) {
        switch (pack->diskState()) {
            case TWMMyImageImages::DiskState::AsRead:
                return ArchiveOnDisk::AsRead;
            case TWMMyImageImages::DiskState::BeingEdited:
                return ArchiveOnDisk::BeingEdited;
            case TWMMyImageImages::DiskState::Changed:
                return ArchiveOnDisk::Changed;
        }
    }
    for (const SeenFile& file : m_files) {
        if (fileSignature(file.path) != file.signature) return ArchiveOnDisk::Changed;
    }
    return ArchiveOnDisk::AsRead;
}

std::vector<std::string> ArchiveDiskState::paths() const {
    std::vector<std::string> paths;
    for (const SeenFile& file : m_files) paths.push_back(file.path);
    return paths;
}

}  // namespace vantoro
