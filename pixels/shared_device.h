// The process-wide device state. The one initialised TDX9Device fills it in;
// textures and the sprite canvas read it directly. Empty (null interfaces)
// while no device is initialised.
#pragma once

#include "d3d9/d3d9_records.h"

class IDirect3D9;
class IDirect3DDevice9;

namespace vantoro {

struct SharedDevice {
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    D3DPRESENT_PARAMETERS presentParams{};
    D3DCAPS9 caps{};
};

SharedDevice& sharedDevice();

}  // namespace vantoro
