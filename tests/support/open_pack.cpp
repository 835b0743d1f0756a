#include "tests/support/open_pack.h"

namespace vantoro::testing {

std::unique_ptr<TWMMyImageImages> openPack(const std::string& path, const std::string& password) {
    return openAs<TWMMyImageImages>(TWMImagesKind::MyImage, path, password);
}

}  // namespace vantoro::testing
