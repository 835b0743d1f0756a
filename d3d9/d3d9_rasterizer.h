// Coverage and attribute interpolation of pre-transformed primitives: the
// general path every draw can take.
//
// Pixel centres sit at integer coordinates. A pixel belongs to a triangle when
// its centre is inside; a centre exactly on an edge belongs to it only when
// that is a top edge (horizontal, above the interior) or a left edge, so two
// triangles sharing an edge never both draw a pixel on it. Edge functions are
// evaluated directly per pixel in double precision: with corners on
// half-integers, as the canvas places them, every evaluation is exact.
// Attributes (vertex colour, texture coordinates) are planes over the
// triangle, evaluated at the pixel centre.
#pragma once

#include <cstdint>

#include "d3d9/d3d9_texels.h"
#include "d3d9/d3d9_types.h"

namespace vantoro::d3d9 {

struct RasterVertex {
    double x = 0.0;
    double y = 0.0;
    Rgba diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    double u = 0.0;
    double v = 0.0;
};

// Pixels x in [left, right), y in [top, bottom) may be written.
struct ClipRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Texture-coordinate derivatives of one primitive, per pixel step.
struct PrimitiveGradients {
    double dudx = 0.0;
    double dvdx = 0.0;
    double dudy = 0.0;
    double dvdy = 0.0;
};

class FragmentSink {
public:
    virtual ~FragmentSink() = default;
    virtual void beginPrimitive(const PrimitiveGradients& gradients) = 0;
    virtual void fragment(std::int32_t x, std::int32_t y, double u, double v,
                          const Rgba& diffuse) = 0;
};

// Twice the signed area in pixel space (y down): positive for a triangle
// whose corners run clockwise on screen.
double signedArea(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c);

// CULL_CCW removes counter-clockwise triangles, CULL_CW clockwise ones;
// degenerate triangles are always dropped.
bool isCulled(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, DWORD cullMode);

// flat: every pixel takes the first vertex's colour.
void rasterizeTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                       DWORD cullMode, bool flat, const ClipRect& clip, FragmentSink& sink);

// One pixel per step along the major axis, the row (or column) nearest the
// line; the start pixel is drawn, the end pixel only when lastPixel is set.
void rasterizeLine(const RasterVertex& a, const RasterVertex& b, bool flat, bool lastPixel,
                   const ClipRect& clip, FragmentSink& sink);

// The pixel whose cell holds the point.
void rasterizePoint(const RasterVertex& p, const ClipRect& clip, FragmentSink& sink);

}  // namespace vantoro::d3d9
