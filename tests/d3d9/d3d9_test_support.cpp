#include "tests/d3d9/d3d9_test_support.h"

#include <cstring>
#include <stdexcept>

namespace vantoro::d3d9::testing {

TestDevice::TestDevice(UINT width, UINT height, D3DFORMAT format, bool autoDepth) {
    m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (m_d3d == nullptr) throw std::runtime_error("no Direct3D object");
    D3DPRESENT_PARAMETERS params;
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.BackBufferFormat = format;
    params.Windowed = 1;
    params.EnableAutoDepthStencil = autoDepth ? 1 : 0;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    params.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    if (FAILED(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                   &params, &m_device))) {
        m_d3d->Release();
        throw std::runtime_error("no device");
    }
}

TestDevice::~TestDevice() {
    m_device->Release();
    m_d3d->Release();
}

SurfaceView TestDevice::target() const {
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(m_device->GetRenderTarget(0, &surface))) return SurfaceView{};
    const SurfaceView view = surface->view();
    surface->Release();
    return view;
}

IDirect3DTexture9* makeTexture(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                               const std::function<std::uint32_t(int, int)>& fill) {
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture,
                                     nullptr))) {
        return nullptr;
    }
    const SurfaceView view = texture->view();
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x)
            writeRaw(view, static_cast<int>(x), static_cast<int>(y), fill(x, y));
    }
    return texture;
}

Quad rectQuad(float left, float top, float right, float bottom, float u0, float v0, float u1,
              float v1, DWORD color) {
    Quad q;
    q.x = {left, right, right, left};
    q.y = {top, top, bottom, bottom};
    q.u = {u0, u1, u1, u0};
    q.v = {v0, v0, v1, v1};
    q.colors = {color, color, color, color};
    return q;
}

namespace {

void putVertex(std::uint8_t* at, float x, float y, DWORD color, float u, float v) {
    const float head[4] = {x - 0.5f, y - 0.5f, 0.0f, 1.0f};
    std::memcpy(at, head, sizeof head);
    std::memcpy(at + 16, &color, 4);
    std::memcpy(at + 20, &u, 4);
    std::memcpy(at + 24, &v, 4);
}

}  // namespace

void drawQuads(IDirect3DDevice9* device, IDirect3DTexture9* texture,
               const std::vector<Quad>& quads) {
    const UINT vertexCount = static_cast<UINT>(quads.size() * 4);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    device->CreateVertexBuffer(vertexCount * 28, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0x144,
                               D3DPOOL_DEFAULT, &vb, nullptr);
    device->CreateIndexBuffer(static_cast<UINT>(quads.size() * 12),
                              D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                              D3DPOOL_DEFAULT, &ib, nullptr);
    void* data = nullptr;
    vb->Lock(0, 0, &data, D3DLOCK_DISCARD);
    auto* bytes = static_cast<std::uint8_t*>(data);
    for (std::size_t q = 0; q < quads.size(); ++q) {
        for (int c = 0; c < 4; ++c) {
            putVertex(bytes + (q * 4 + c) * 28, quads[q].x[c], quads[q].y[c], quads[q].colors[c],
                      quads[q].u[c], quads[q].v[c]);
        }
    }
    vb->Unlock();
    ib->Lock(0, 0, &data, D3DLOCK_DISCARD);
    auto* indices = static_cast<std::uint16_t*>(data);
    for (std::size_t q = 0; q < quads.size(); ++q) {
        const auto b = static_cast<std::uint16_t>(q * 4);
        const std::uint16_t order[6] = {b,
                                        static_cast<std::uint16_t>(b + 1),
                                        static_cast<std::uint16_t>(b + 3),
                                        static_cast<std::uint16_t>(b + 1),
                                        static_cast<std::uint16_t>(b + 2),
                                        static_cast<std::uint16_t>(b + 3)};
        std::memcpy(indices + q * 6, order, sizeof order);
    }
    ib->Unlock();
    device->SetFVF(0x144);
    device->SetStreamSource(0, vb, 0, 28);
    device->SetIndices(ib);
    device->SetTexture(0, texture);
    device->BeginScene();
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertexCount, 0,
                                 static_cast<UINT>(quads.size() * 2));
    device->EndScene();
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    device->SetTexture(0, nullptr);
    vb->Release();
    ib->Release();
}

std::vector<std::uint8_t> packedTexels(const SurfaceView& view) {
    const int bytes = texelLayoutOf(view.format).bytes;
    std::vector<std::uint8_t> out;
    for (int y = 0; y < view.height; ++y)
        out.insert(out.end(), view.row(y), view.row(y) + view.width * bytes);
    return out;
}

std::uint32_t readRaw(const SurfaceView& view, int x, int y) {
    std::uint32_t v = 0;
    std::memcpy(&v, view.at(x, y), static_cast<std::size_t>(texelLayoutOf(view.format).bytes));
    return v;
}

void writeRaw(const SurfaceView& view, int x, int y, std::uint32_t value) {
    std::memcpy(view.at(x, y), &value, static_cast<std::size_t>(texelLayoutOf(view.format).bytes));
}

}  // namespace vantoro::d3d9::testing
