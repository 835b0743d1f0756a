#include "pixels/shared_device.h"

namespace vantoro {

SharedDevice& sharedDevice() {
    static SharedDevice shared;
    return shared;
}

}  // namespace vantoro
