// Packs for the window's tests, written where no Qt header is seen (the
// pack writer's fields include a name Qt takes as a keyword).
#pragma once

#include <string>

namespace vantoro::testing {

// A pack of `count` images; image i is (4 + i) x (3 + i) in pixel format 1
// at offsets (i, -i). A password makes it a protected pack.
void writeImagePack(const std::string& path, int count, const std::string& password);

}  // namespace vantoro::testing
