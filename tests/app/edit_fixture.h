// The main window with a pack open, pictures to import and a way to read
// the pack back as a fresh opening sees it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/my_image_images.h"
#include "tests/app/form_fixture.h"

namespace vantoro::testing {

class EditFormTest : public FormTest {
protected:
    // writeImagePack (tests/app/pack_files.h) in the test's folder.
    std::string writePackFile(const std::string& name, int count, const std::string& password = {});
    void openPack(const std::string& path) { openArchive(path, TWMImagesKind::MyImage); }
    // A w x h PNG picture, with an offsets file beside it when `offsets`.
    std::string writePicture(const std::string& name, int w, int h, bool offsets = false);
    std::unique_ptr<TWMMyImageImages> reopen(const std::string& path,
                                             const std::string& password = {}) const;
    // "width:x" of each of a pack's entries, 0:0 for an empty slot.
    std::string entriesOf(const std::string& path) const;
    // The texts of the messages shown so far.
    std::vector<QString> messages() const;
};

}  // namespace vantoro::testing
