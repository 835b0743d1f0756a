#include "archive/open_archive.h"

#include "archive/my_image_images.h"

namespace vantoro {

JournalReport journalReport(const TWMBaseImages& archive) {
    JournalReport report;
    const auto* pack = dynamic_cast<const TWMMyImageImages*>(&archive);
    if (pack == nullptr) return report;
    report.readRefusal = pack->readRefusal();
    report.damaged = pack->journalDamaged();
    report.setAside = pack->journalNotice();
    // editBlock probes the editing lock, briefly taking it: asked only of a
    // pack whose edit was left unfinished, so that reading a pack never holds
    // up another program's edit.
    report.unfinishedEdit = pack->editUnfinished() && !report.damaged && report.setAside.empty() &&
                            pack->editBlock() == PackEditBlock::UnfinishedEdit;
    return report;
}

OpenedArchive openArchive(TWMImagesKind kind, const std::string& path,
                          const std::string& password) {
    OpenedArchive result;
    result.archive = CreateWMImages(kind);
    if (!result.archive) return result;
    TWMBaseImages& archive = *result.archive;
    archive.FFileName = path;
    // Each entry is decoded when it is shown; nothing is kept.
    archive.FUseTextureCache = false;
    archive.FPassword = password;
    try {
        result.opened = archive.Initialize();
    } catch (...) {
        result.raised = std::current_exception();
    }
    result.journal = journalReport(archive);
    return result;
}

}  // namespace vantoro
