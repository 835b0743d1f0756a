// Draw calls: checks, vertex fetch from the bound buffers, and the hand-off
// to the rasteriser and the fast paths.
#include <algorithm>
#include <cstring>

#include "d3d9/d3d9_device.h"
#include "d3d9/d3d9_fast_paths.h"

using vantoro::d3d9::RasterVertex;

namespace {

// The one vertex layout drawn: XYZRHW | DIFFUSE | TEX1.
constexpr DWORD kVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr UINT kVertexSize = 28;
// More vertices than one call may draw (a bound on the work a bad count asks for).
constexpr std::uint64_t kMaxVerticesPerCall = 1u << 22;

std::uint64_t verticesPerCall(D3DPRIMITIVETYPE type, UINT count) {
    switch (type) {
        case D3DPT_POINTLIST:
            return count;
        case D3DPT_LINELIST:
            return std::uint64_t{count} * 2;
        case D3DPT_TRIANGLELIST:
            return std::uint64_t{count} * 3;
        default:
            return 0;  // strips and fans are not drawn here
    }
}

float floatAt(const std::uint8_t* p) {
    float f;
    std::memcpy(&f, p, sizeof f);
    return f;
}

RasterVertex decodeVertex(const std::uint8_t* p) {
    DWORD diffuse;
    std::memcpy(&diffuse, p + 16, sizeof diffuse);
    // z and rhw (offsets 8, 12) do not enter: rhw is 1 for screen-space quads,
    // so interpolation in screen space is exact.
    return RasterVertex{floatAt(p), floatAt(p + 4), vantoro::d3d9::rgbaOfColor(diffuse),
                        floatAt(p + 20), floatAt(p + 24)};
}

}  // namespace

HRESULT IDirect3DDevice9::fetchVertices(D3DPRIMITIVETYPE type, UINT count, std::int32_t base,
                                        UINT startIndex, bool indexed,
                                        std::vector<RasterVertex>& out) const {
    const std::uint64_t needed = verticesPerCall(type, count);
    if (needed == 0 || needed > kMaxVerticesPerCall) return D3DERR_INVALIDCALL;
    if (m_fvf != kVertexFormat || m_stream.buffer == nullptr || m_stream.stride < kVertexSize) {
        return D3DERR_INVALIDCALL;
    }
    const auto vertices = m_stream.buffer->store().bytes();
    std::span<const std::uint8_t> indices;
    UINT indexSize = 0;
    if (indexed) {
        if (m_indices == nullptr) return D3DERR_INVALIDCALL;
        indices = m_indices->store().bytes();
        indexSize = m_indices->format() == D3DFMT_INDEX32 ? 4 : 2;
        if (std::uint64_t{startIndex} + needed > indices.size() / indexSize)
            return D3DERR_INVALIDCALL;
    }
    out.clear();
    out.reserve(static_cast<std::size_t>(needed));
    for (std::uint64_t i = 0; i < needed; ++i) {
        std::int64_t vertex = static_cast<std::int64_t>(startIndex) + static_cast<std::int64_t>(i);
        if (indexed) {
            std::uint32_t index = 0;
            std::memcpy(&index, indices.data() + (startIndex + i) * indexSize, indexSize);
            vertex = std::int64_t{base} + index;
        }
        // The vertex must lie wholly inside the buffer; compared before multiplying.
        const std::uint64_t size = vertices.size();
        if (vertex < 0 || m_stream.offset > size || size - m_stream.offset < kVertexSize ||
            static_cast<std::uint64_t>(vertex) >
                (size - m_stream.offset - kVertexSize) / m_stream.stride) {
            return D3DERR_INVALIDCALL;
        }
        const std::uint64_t offset =
            m_stream.offset + static_cast<std::uint64_t>(vertex) * m_stream.stride;
        out.push_back(decodeVertex(vertices.data() + offset));
    }
    return D3D_OK;
}

vantoro::d3d9::PipelineSetup IDirect3DDevice9::pipeline() {
    const auto target = m_renderTarget->view();
    const vantoro::d3d9::ClipRect clip{static_cast<std::int32_t>(m_viewport.X),
                                       static_cast<std::int32_t>(m_viewport.Y),
                                       static_cast<std::int32_t>(std::min<std::uint64_t>(
                                           std::uint64_t{m_viewport.X} + m_viewport.Width,
                                           static_cast<std::uint64_t>(target.width))),
                                       static_cast<std::int32_t>(std::min<std::uint64_t>(
                                           std::uint64_t{m_viewport.Y} + m_viewport.Height,
                                           static_cast<std::uint64_t>(target.height)))};
    vantoro::d3d9::SurfaceView texture;
    if (auto* t = dynamic_cast<IDirect3DTexture9*>(m_textures[0])) texture = t->view();
    return vantoro::d3d9::pipelineFromStates(m_states, target, clip, texture);
}

HRESULT IDirect3DDevice9::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                                        UINT PrimitiveCount) {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    if (!operational() || m_renderTarget == nullptr) return D3D_OK;
    std::vector<RasterVertex> vertices;
    const HRESULT fetched =
        fetchVertices(PrimitiveType, PrimitiveCount, 0, StartVertex, false, vertices);
    if (FAILED(fetched)) return fetched;
    const auto setup = pipeline();
    switch (PrimitiveType) {
        case D3DPT_POINTLIST:
            vantoro::d3d9::drawPointsGeneral(setup, vertices);
            break;
        case D3DPT_LINELIST:
            vantoro::d3d9::drawLinesGeneral(setup, vertices);
            break;
        default:
            vantoro::d3d9::drawTriangleList(setup, vertices);
            break;
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice9::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType,
                                               std::int32_t BaseVertexIndex,
                                               UINT /*MinVertexIndex*/, UINT /*NumVertices*/,
                                               UINT startIndex, UINT primCount) {
    if (!m_inScene || PrimitiveType == D3DPT_POINTLIST) return D3DERR_INVALIDCALL;
    if (!operational() || m_renderTarget == nullptr) return D3D_OK;
    std::vector<RasterVertex> vertices;
    const HRESULT fetched =
        fetchVertices(PrimitiveType, primCount, BaseVertexIndex, startIndex, true, vertices);
    if (FAILED(fetched)) return fetched;
    const auto setup = pipeline();
    if (PrimitiveType == D3DPT_LINELIST) {
        vantoro::d3d9::drawLinesGeneral(setup, vertices);
    } else {
        vantoro::d3d9::drawTriangleList(setup, vertices);
    }
    return D3D_OK;
}
