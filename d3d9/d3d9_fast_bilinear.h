// Bilinear quads under SRCALPHA / INVSRCALPHA / ADD, many pixels a step.
//
// The view's zoomed image is a bilinear quad blended over the scene: per
// pixel, the vertical blend of two horizontally blended texture rows, the
// vertex colour, the alpha test, the blend with the target and the store.
// Here the channels of N pixels sit in vectors of N floats (one vector per
// channel), and every operation is the one the general path does per
// pixel, in the same order and in the same float precision: IEEE arithmetic
// rounds each lane as it rounds a lone float, so the bytes are the general
// path's (d3d9_fast_lanes.h shows how decoding, encoding and the alpha test
// keep to that). Choices are masks; blocks whose pixels all fail the test
// are skipped, and blocks without a pixel to blend never read the target.
// The texels a block of columns reads are picked from a window of 2N
// decoded texels by shuffles where the instruction set has them.
#pragma once

namespace vantoro::d3d9 {

struct FastPathJob;

// Draws a job with linear taps (job.linear) the way axisAlignedKernel does
// with SourceAlphaShading, or with ModulateSourceAlphaShading when
// `modulate` is set (the vertex colour is job.color). False, with nothing
// drawn, when a texture or target format is not one the lanes read (texels
// of 2 or 4 bytes).
bool drawBilinearSourceAlpha(const FastPathJob& job, bool modulate);

// How many lanes a step takes: 16 where the processor has AVX-512 (the
// x86-64-v4 set), 8 with AVX2, else 4 (SSE2). Each width is its own build of
// the kernel; tests narrow the width to run the narrower builds too (a
// request wider than the processor allows gets its widest).
int bilinearLaneWidth();
void setBilinearLaneWidth(int lanes);

}  // namespace vantoro::d3d9
