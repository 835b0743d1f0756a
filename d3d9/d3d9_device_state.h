// The device's render, texture-stage and sampler states, their values after
// creation or a reset, and the per-draw pipeline setup read from them.
#pragma once

#include <array>

#include "d3d9/d3d9_pipeline.h"
#include "d3d9/d3d9_types.h"

namespace vantoro::d3d9 {

struct DeviceStates {
    std::array<DWORD, kRenderStateCount> render{};
    std::array<std::array<DWORD, kTextureStageStateCount>, kTextureStageCount> stage{};
    std::array<std::array<DWORD, kSamplerStateCount>, kSamplerCount> sampler{};
};

// The platform's defaults; ZENABLE follows whether the device has an
// automatic depth-stencil surface.
DeviceStates defaultDeviceStates(bool autoDepthStencil);

// What a draw into `target` with stage 0 reading `texture` (bits null for
// none) does under these states. Texture stage 1 and above are taken as
// disabled (their default), as nothing here enables them.
PipelineSetup pipelineFromStates(const DeviceStates& states, const SurfaceView& target,
                                 const ClipRect& clip, const SurfaceView& texture);

}  // namespace vantoro::d3d9
