// The sprite canvas: textured, colour-modulated quads in screen coordinates,
// batched by texture and blend code.
#pragma once

#include <cstdint>

namespace vantoro {

class TDXCanvas {
public:
    virtual ~TDXCanvas() = default;
    // Called by the device for every notification before its listener.
    bool HandleNotify(std::uint32_t code);
};

class TDXDrawCanvas : public TDXCanvas {};

}  // namespace vantoro
