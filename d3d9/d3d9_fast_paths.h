// Fast paths for what the view draws every frame: clears, and quads whose
// corners form an axis-aligned rectangle (two triangles sharing a diagonal,
// one vertex colour, u following x and v following y). Such a quad is drawn
// a row at a time with the texture taps of each column and row worked out
// once, instead of per pixel through the rasteriser.
//
// Every fast path computes exactly the bytes the general path computes; the
// run-time switch turns them all off so tests can compare the two. Paths are
// entries of one table keyed by (kind, texture format, target format).
#pragma once

#include <cstdint>
#include <span>

#include "d3d9/d3d9_pipeline.h"

namespace vantoro::d3d9 {

enum class FastPathKind : std::uint8_t {
    Clear,            // one colour into a rectangle
    TexelCopy,        // unscaled, texel-aligned, blending off: texels converted and stored
    BinaryAlphaCopy,  // as TexelCopy under SRCALPHA / INVSRCALPHA with texel alpha 0 or 1
    AxisAlignedQuad,  // any scale, filter and blend: taps per column and row
    SourceAlphaQuad,  // as AxisAlignedQuad, texel handed through, SRCALPHA / INVSRCALPHA / ADD
    // As BinaryAlphaCopy, the texel's colour times an opaque vertex colour
    // (MODULATE / MODULATE of TEXTURE and DIFFUSE).
    ModulateBinaryAlphaCopy,
    // As SourceAlphaQuad, the texel times the vertex colour (MODULATE / MODULATE).
    ModulateSourceAlphaQuad,
};

struct FastPathKey {
    FastPathKind kind = FastPathKind::Clear;
    std::uint32_t source = 0;  // texture format; 0 for a clear
    std::uint32_t target = 0;
};

// On by default; tests turn it off to get the general path.
void setFastPathsEnabled(bool enabled);
bool fastPathsEnabled();

// Whether the table holds a path for the key.
bool hasFastPath(const FastPathKey& key);

// How often each kind ran since start-up (tests check that a path was taken).
std::uint64_t fastPathUseCount(FastPathKind kind);

// A triangle list (three vertices per triangle) through the fast paths where
// they apply and the general path everywhere else.
void drawTriangleList(const PipelineSetup& p, std::span<const RasterVertex> vertices);

// Fills `rect` (already within the target) with the colour.
void clearRect(const SurfaceView& target, const ClipRect& rect, const Rgba& color);

}  // namespace vantoro::d3d9
