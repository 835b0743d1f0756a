// Texture stage 0 of the fixed-function pipeline: the colour and alpha
// operations combine the sampled texel with the vertex colour, the texture
// factor or a constant. Every result is clamped to [0, 1], so later stages
// (alpha test, blending) always see values in range.
#pragma once

#include "d3d9/d3d9_texels.h"
#include "d3d9/d3d9_types.h"

namespace vantoro::d3d9 {

struct StageSetup {
    DWORD colorOp = D3DTOP_MODULATE;
    DWORD colorArg0 = D3DTA_CURRENT;
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_CURRENT;
    DWORD alphaOp = D3DTOP_SELECTARG1;
    DWORD alphaArg0 = D3DTA_CURRENT;
    DWORD alphaArg1 = D3DTA_TEXTURE;
    DWORD alphaArg2 = D3DTA_CURRENT;
    Rgba textureFactor{1.0f, 1.0f, 1.0f, 1.0f};
    Rgba constant{};
    bool hasTexture = true;
};

// The stage's output for one pixel. In stage 0 the current colour is the
// vertex colour.
Rgba combineStage(const StageSetup& stage, const Rgba& texel, const Rgba& diffuse);

// True when combineStage gives back the texel itself, bit for bit, for every
// texel under this vertex colour: the texel is selected, or multiplied by an
// argument that is exactly 1.
bool stagePassesTexel(const StageSetup& stage, const Rgba& diffuse);

}  // namespace vantoro::d3d9
