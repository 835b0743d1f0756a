// The end of the pixel pipeline: the alpha test and frame-buffer blending,
// Final = Src * SrcFactor (op) Dst * DestFactor per channel, clamped to
// [0, 1]. The alpha channel uses each factor's alpha component (no separate
// alpha blending). A target without alpha reads its alpha as 1.
#pragma once

#include "d3d9/d3d9_texels.h"
#include "d3d9/d3d9_types.h"

namespace vantoro::d3d9 {

// Clamps to [0, 1]; NaN becomes 0.
inline float clampUnit(float v) {
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

struct BlendSetup {
    bool enabled = false;
    DWORD srcBlend = D3DBLEND_ONE;
    DWORD destBlend = D3DBLEND_ZERO;
    DWORD op = D3DBLENDOP_ADD;
    Rgba blendFactor{1.0f, 1.0f, 1.0f, 1.0f};
};

// Turns the obsolete BOTHSRCALPHA / BOTHINVSRCALPHA into plain factors. As a
// source factor each overrides the destination factor; as a destination
// factor alone each stands for SRCALPHA / INVSRCALPHA.
BlendSetup resolveBothAlphaFactors(BlendSetup blend);

// One factor as four channels.
Rgba blendFactorValue(DWORD factor, const Rgba& src, const Rgba& dst, const Rgba& constant);

// Src and Dst blended by a resolved setup (enabled or not).
Rgba blendPixel(const BlendSetup& blend, const Rgba& src, const Rgba& dst);

struct AlphaTestSetup {
    bool enabled = false;
    DWORD func = D3DCMP_ALWAYS;
    DWORD ref = 0;  // low byte used
};

// Alpha compared with ref / 255 in floating point.
bool alphaTestPasses(const AlphaTestSetup& test, float alpha);

}  // namespace vantoro::d3d9
