// The stand-in renderer's frame work, fast paths against the general path
// in the same run (argument 1: fast paths on, 0: off).
#include <benchmark/benchmark.h>

#include "d3d9/d3d9_device.h"
#include "d3d9/d3d9_fast_paths.h"
#include "tests/d3d9/d3d9_test_support.h"

namespace {

using namespace vantoro::d3d9;

struct Scene {
    testing::TestDevice device{800, 600};
    IDirect3DTexture9* texture = nullptr;
    Scene(UINT w, UINT h, D3DFORMAT format) {
        texture = testing::makeTexture(device.get(), w, h, format, [](int x, int y) {
            const std::uint32_t v = static_cast<std::uint32_t>(x * 2654435761u ^ y * 40503u);
            return (v & 7) == 0 ? 0u : v | 0x8000u;  // some transparent texels
        });
    }
    ~Scene() { texture->Release(); }
};

void setBlend(IDirect3DDevice9* device, bool blend, DWORD filter) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, blend);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
}

void runQuad(benchmark::State& state, Scene& scene, const testing::Quad& quad) {
    setFastPathsEnabled(state.range(0) != 0);
    for (auto _ : state) testing::drawQuads(scene.device.get(), scene.texture, {quad});
    setFastPathsEnabled(true);
}

void BM_OpaqueQuad800x600(benchmark::State& state) {
    Scene scene(1024, 1024, D3DFMT_X8R8G8B8);
    setBlend(scene.device.get(), false, D3DTEXF_LINEAR);
    runQuad(state, scene, testing::rectQuad(0, 0, 800, 600, 0, 0, 800.0f / 1024, 600.0f / 1024));
}

void BM_BlendedA1R5G5B5Quad400x300(benchmark::State& state) {
    Scene scene(512, 512, D3DFMT_A1R5G5B5);
    setBlend(scene.device.get(), true, D3DTEXF_LINEAR);
    runQuad(state, scene, testing::rectQuad(200, 150, 600, 450, 0, 0, 400.0f / 512, 300.0f / 512));
}

void BM_BilinearQuad200Percent(benchmark::State& state) {
    Scene scene(512, 512, D3DFMT_A1R5G5B5);
    setBlend(scene.device.get(), true, D3DTEXF_LINEAR);
    runQuad(state, scene, testing::rectQuad(0, 0, 800, 600, 0, 0, 400.0f / 512, 300.0f / 512));
}

void BM_Clear800x600(benchmark::State& state) {
    testing::TestDevice device(800, 600);
    setFastPathsEnabled(state.range(0) != 0);
    for (auto _ : state) device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    setFastPathsEnabled(true);
}

BENCHMARK(BM_OpaqueQuad800x600)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlendedA1R5G5B5Quad400x300)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BilinearQuad200Percent)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Clear800x600)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
