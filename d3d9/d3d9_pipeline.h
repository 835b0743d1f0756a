// Everything one draw call needs to turn covered pixels into written ones,
// captured from the device's states when the call is made, and the general
// per-pixel path: sample, texture stage, alpha test, blend, write.
#pragma once

#include <cstdint>
#include <span>

#include "d3d9/d3d9_blending.h"
#include "d3d9/d3d9_rasterizer.h"
#include "d3d9/d3d9_sampling.h"
#include "d3d9/d3d9_texels.h"
#include "d3d9/d3d9_texture_stage.h"

namespace vantoro::d3d9 {

struct PipelineSetup {
    SurfaceView target;
    ClipRect clip;        // the drawable part of the target
    SurfaceView texture;  // stage 0; bits == nullptr when none is bound
    SamplerSetup sampler;
    StageSetup stage;
    AlphaTestSetup alphaTest;
    BlendSetup blend;  // BOTH* factors already resolved
    DWORD cullMode = D3DCULL_CCW;
    bool flatShading = false;
    bool lastPixel = true;
};

// Stage, alpha test, blend and write for one pixel of a target in format Dst.
// Every path ends here, so they all compute the same bytes.
template <typename Dst>
inline void finishPixelAs(const PipelineSetup& p, std::uint8_t* at, const Rgba& texel,
                          const Rgba& diffuse) {
    const Rgba src = combineStage(p.stage, texel, diffuse);
    if (!alphaTestPasses(p.alphaTest, src.a)) return;
    Dst::write(at, p.blend.enabled ? blendPixel(p.blend, src, Dst::read(at)) : src);
}

// The general path for one covered pixel.
void shadePixel(const PipelineSetup& p, std::int32_t x, std::int32_t y, double u, double v,
                const Rgba& diffuse, bool minified);

// The general path for whole primitives: three vertices per triangle, two
// per line, one per point.
void drawTrianglesGeneral(const PipelineSetup& p, std::span<const RasterVertex> vertices);
void drawLinesGeneral(const PipelineSetup& p, std::span<const RasterVertex> vertices);
void drawPointsGeneral(const PipelineSetup& p, std::span<const RasterVertex> vertices);

// Fills rect (already inside the target) with one colour, pixel by pixel.
void clearGeneral(const SurfaceView& target, const ClipRect& rect, const Rgba& color);

}  // namespace vantoro::d3d9
