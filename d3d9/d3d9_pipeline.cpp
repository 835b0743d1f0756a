#include "d3d9/d3d9_pipeline.h"

namespace vantoro::d3d9 {

namespace {

class ShadingSink final : public FragmentSink {
public:
    explicit ShadingSink(const PipelineSetup& setup) : m_setup(setup) {}

    void beginPrimitive(const PrimitiveGradients& g) override {
        const SurfaceView& t = m_setup.texture;
        m_minified =
            t.bits != nullptr && isMinified(g.dudx, g.dvdx, g.dudy, g.dvdy, t.width, t.height);
    }

    void fragment(std::int32_t x, std::int32_t y, double u, double v,
                  const Rgba& diffuse) override {
        shadePixel(m_setup, x, y, u, v, diffuse, m_minified);
    }

private:
    const PipelineSetup& m_setup;
    bool m_minified = false;
};

}  // namespace

void shadePixel(const PipelineSetup& p, std::int32_t x, std::int32_t y, double u, double v,
                const Rgba& diffuse, bool minified) {
    Rgba texel{0.0f, 0.0f, 0.0f, 1.0f};
    if (p.texture.bits != nullptr) {
        const bool linear = usesLinearFilter(p.sampler, minified);
        const AxisTap tu = axisTap(u, p.texture.width, p.sampler.addressU, linear);
        const AxisTap tv = axisTap(v, p.texture.height, p.sampler.addressV, linear);
        texel = filterTexels(p.texture, tu, tv, linear, p.sampler.border);
    }
    std::uint8_t* at = p.target.at(x, y);
    withColorFormat(p.target.format,
                    [&](auto target) { finishPixelAs<decltype(target)>(p, at, texel, diffuse); });
}

void drawTrianglesGeneral(const PipelineSetup& p, std::span<const RasterVertex> vertices) {
    ShadingSink sink(p);
    for (std::size_t i = 0; i + 3 <= vertices.size(); i += 3) {
        rasterizeTriangle(vertices[i], vertices[i + 1], vertices[i + 2], p.cullMode, p.flatShading,
                          p.clip, sink);
    }
}

void drawLinesGeneral(const PipelineSetup& p, std::span<const RasterVertex> vertices) {
    ShadingSink sink(p);
    for (std::size_t i = 0; i + 2 <= vertices.size(); i += 2) {
        rasterizeLine(vertices[i], vertices[i + 1], p.flatShading, p.lastPixel, p.clip, sink);
    }
}

void drawPointsGeneral(const PipelineSetup& p, std::span<const RasterVertex> vertices) {
    ShadingSink sink(p);
    for (const RasterVertex& v : vertices) rasterizePoint(v, p.clip, sink);
}

void clearGeneral(const SurfaceView& target, const ClipRect& rect, const Rgba& color) {
    for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
        for (std::int32_t x = rect.left; x < rect.right; ++x)
            writeTexel(target.format, target.at(x, y), color);
    }
}

}  // namespace vantoro::d3d9
