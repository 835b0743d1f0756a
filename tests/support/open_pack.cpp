#include "tests/support/open_pack.h"

namespace vantoro::testing {

std::unique_ptr<TWMMyImageImages> openPack(const std::string& path, const std::string& password) {
    auto pack = std::make_unique<TWMMyImageImages>();
    pack->FFileName = path;
    pack->FUseTextureCache = false;
    pack->FPassword = password;
    pack->Initialize();
    return pack;
}

}  // namespace vantoro::testing
