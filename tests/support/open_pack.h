// Archives opened as the program opens them, for tests and benchmarks; a
// header of its own so that the window's tests, where Qt's keywords are
// macros, can use it without the pack writer.
#pragma once

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

#include "archive/my_image_images.h"
#include "archive/open_archive.h"

namespace vantoro::testing {

// The archive at `path` opened as `kind` through openArchive, held as
// `Reader`, the class of that kind or one of its bases; what opening raised
// is raised again. The caller checks FInitialized where the opening must
// succeed.
template <typename Reader>
std::unique_ptr<Reader> openAs(TWMImagesKind kind, const std::string& path,
                               const std::string& password = "") {
    OpenedArchive opened = openArchive(kind, path, password);
    if (opened.raised) std::rethrow_exception(opened.raised);
    auto* reader = dynamic_cast<Reader*>(opened.archive.get());
    if (reader == nullptr) throw std::logic_error("the kind is not read by this class");
    opened.archive.release();
    return std::unique_ptr<Reader>(reader);
}

// The pack at `path` opened with `password`.
std::unique_ptr<TWMMyImageImages> openPack(const std::string& path,
                                           const std::string& password = "");

}  // namespace vantoro::testing
