// Device notifications: sent by the device first to its canvas, then to its
// listener, with the same code.
#pragma once

#include <cstdint>

namespace vantoro {

enum DeviceNotification : std::uint32_t {
    NotifyDeviceCreated = 0x100,     // the device was created and accepted
    NotifyDeviceDestroying = 0x101,  // the device is being released
    NotifyDeviceLost = 0x102,        // before a reset
    NotifyDeviceReset = 0x103,       // after a successful reset
    NotifyBeginScene = 0x104,        // after a successful BeginScene
    NotifyEndScene = 0x105,          // before EndScene is issued
    NotifyCanvasFlush = 0x201,       // understood by the canvas like NotifyEndScene
};

}  // namespace vantoro
