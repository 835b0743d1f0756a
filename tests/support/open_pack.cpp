#include "tests/support/open_pack.h"

#include <exception>
#include <utility>

#include "archive/open_archive.h"

namespace vantoro::testing {

std::unique_ptr<TWMMyImageImages> openPack(const std::string& path, const std::string& password) {
    OpenedArchive opened = openArchive(TWMImagesKind::MyImage, path, password);
    if (opened.raised) std::rethrow_exception(opened.raised);
    // The pack's kind makes a pack reader.
    return std::unique_ptr<TWMMyImageImages>(
        static_cast<TWMMyImageImages*>(opened.archive.release()));
}

}  // namespace vantoro::testing
