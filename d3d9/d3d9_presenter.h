// Where a device's finished frames go. A window implements Presenter and is
// handed to the device as its window handle; a device without a window
// (tests, the command line) renders off-screen and presents nowhere.
#pragma once

#include <cstdint>

namespace vantoro::d3d9 {

// The back buffer as Present hands it over; valid only during the call.
struct PresentedFrame {
    const std::uint8_t* bits = nullptr;  // row 0
    std::int32_t pitch = 0;              // bytes per row
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t format = 0;  // Direct3D format number
};

class Presenter {
public:
    virtual ~Presenter() = default;
    // Shows the frame stretched over the whole client area.
    virtual void presentFrame(const PresentedFrame& frame) = 0;
};

// Row y of the frame as 0xFFRRGGBB pixels (the display shows no alpha), for
// windows that draw 32-bit images. `out` holds frame.width pixels.
void frameRowToRgb32(const PresentedFrame& frame, std::int32_t y, std::uint32_t* out);

}  // namespace vantoro::d3d9

// The platform's window handle: here, the presenter of the window (null: none).
using HWND = vantoro::d3d9::Presenter*;
