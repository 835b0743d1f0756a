// Helpers for the stand-in's tests: an off-screen device, textures filled
// from a function, and quads drawn the way the sprite canvas draws them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "d3d9/d3d9_device.h"

namespace vantoro::d3d9::testing {

// A windowed device without a window (presents nowhere).
class TestDevice {
public:
    TestDevice(UINT width, UINT height, D3DFORMAT format = D3DFMT_X8R8G8B8, bool autoDepth = false);
    ~TestDevice();
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    IDirect3DDevice9* operator->() const { return m_device; }
    IDirect3DDevice9* get() const { return m_device; }
    IDirect3D9* d3d() const { return m_d3d; }
    // The current render target's texels.
    SurfaceView target() const;

private:
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};

// A MANAGED texture whose texel (x, y) is fill(x, y) as a raw value of the format.
IDirect3DTexture9* makeTexture(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                               const std::function<std::uint32_t(int, int)>& fill);

// One quad as the canvas sends it: corners top-left, top-right, bottom-right,
// bottom-left at these positions (the -0.5 offset is added here).
struct Quad {
    std::array<float, 4> x{};
    std::array<float, 4> y{};
    std::array<float, 4> u{};
    std::array<float, 4> v{};
    std::array<DWORD, 4> colors{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
};

// The quad of a destination rectangle and a texture-coordinate rectangle.
Quad rectQuad(float left, float top, float right, float bottom, float u0, float v0, float u1,
              float v1, DWORD color = 0xFFFFFFFF);

// Draws the quads in one scene as an indexed triangle list (0-1-3, 1-2-3)
// from dynamic buffers locked with DISCARD, with `texture` on stage 0.
void drawQuads(IDirect3DDevice9* device, IDirect3DTexture9* texture,
               const std::vector<Quad>& quads);

// The texels of a view without row padding.
std::vector<std::uint8_t> packedTexels(const SurfaceView& view);

std::uint32_t readRaw(const SurfaceView& view, int x, int y);
void writeRaw(const SurfaceView& view, int x, int y, std::uint32_t value);

}  // namespace vantoro::d3d9::testing
