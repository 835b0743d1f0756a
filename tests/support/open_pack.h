// A pack opened as the program opens it, for tests and benchmarks; a header
// of its own so that the window's tests, where Qt's keywords are macros, can
// use it without the pack writer.
#pragma once

#include <memory>
#include <string>

#include "archive/my_image_images.h"

namespace vantoro::testing {

// Opens the pack at `path` with `password`, the texture cache off; the
// caller checks FInitialized where the opening must succeed.
std::unique_ptr<TWMMyImageImages> openPack(const std::string& path,
                                           const std::string& password = "");

}  // namespace vantoro::testing
