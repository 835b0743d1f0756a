// Coverage under the top-left rule and attribute interpolation.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "d3d9/d3d9_rasterizer.h"

namespace vantoro::d3d9 {
namespace {

// Counts how often each pixel is produced and remembers its attributes.
class RecordingSink final : public FragmentSink {
public:
    void beginPrimitive(const PrimitiveGradients&) override {}
    void fragment(std::int32_t x, std::int32_t y, double u, double v,
                  const Rgba& diffuse) override {
        ++hits[{x, y}];
        us[{x, y}] = u;
        vs[{x, y}] = v;
        colors[{x, y}] = diffuse;
    }
    std::map<std::pair<int, int>, int> hits;
    std::map<std::pair<int, int>, double> us, vs;
    std::map<std::pair<int, int>, Rgba> colors;
};

RasterVertex at(double x, double y, double u = 0.0, double v = 0.0) {
    RasterVertex r;
    r.x = x;
    r.y = y;
    r.u = u;
    r.v = v;
    return r;
}

const ClipRect kWide{-100, -100, 100, 100};

// The canvas's quad: corners at (X - 0.5, Y - 0.5) .. (X + W - 0.5, Y + H - 0.5),
// triangles 0-1-3 and 1-2-3.
void drawCanvasQuad(double x, double y, double w, double h, FragmentSink& sink,
                    DWORD cull = D3DCULL_NONE) {
    const RasterVertex c[4] = {at(x - 0.5, y - 0.5, 0, 0), at(x + w - 0.5, y - 0.5, 1, 0),
                               at(x + w - 0.5, y + h - 0.5, 1, 1), at(x - 0.5, y + h - 0.5, 0, 1)};
    rasterizeTriangle(c[0], c[1], c[3], cull, false, kWide, sink);
    rasterizeTriangle(c[1], c[2], c[3], cull, false, kWide, sink);
}

TEST(D3D9Rasterizer, HalfOffsetQuadCoversExactlyItsPixelsOnce) {
    // 3 x 1 puts a pixel centre exactly on the diagonal; the others vary the slope.
    const int sizes[][2] = {{3, 1}, {5, 5}, {1, 7}, {13, 4}, {2, 6}, {1, 1}, {6, 3}};
    for (const auto& s : sizes) {
        RecordingSink sink;
        drawCanvasQuad(2, 3, s[0], s[1], sink);
        EXPECT_EQ(sink.hits.size(), static_cast<std::size_t>(s[0] * s[1])) << s[0] << "x" << s[1];
        for (const auto& [pixel, count] : sink.hits) {
            EXPECT_EQ(count, 1) << "pixel drawn twice at " << pixel.first << "," << pixel.second;
            EXPECT_TRUE(pixel.first >= 2 && pixel.first < 2 + s[0] && pixel.second >= 3 &&
                        pixel.second < 3 + s[1]);
        }
    }
}

TEST(D3D9Rasterizer, MirroredQuadCoversTheSamePixels) {
    RecordingSink straight, mirrored;
    drawCanvasQuad(4, 1, 5, 3, straight);
    drawCanvasQuad(9, 1, -5, 3, mirrored);  // x from 9 back to 4
    EXPECT_EQ(straight.hits, mirrored.hits);
}

TEST(D3D9Rasterizer, SharedDiagonalGoesToTheTriangleWhoseLeftEdgeItIs) {
    RecordingSink first, second;
    rasterizeTriangle(at(0, 0), at(5, 0), at(5, 5), D3DCULL_NONE, false, kWide, first);
    rasterizeTriangle(at(0, 5), at(0, 0), at(5, 5), D3DCULL_NONE, false, kWide, second);
    EXPECT_EQ(first.hits.size(), 15u);
    EXPECT_EQ(second.hits.size(), 10u);
    for (const auto& [pixel, count] : first.hits) EXPECT_EQ(second.hits.count(pixel), 0u);
}

TEST(D3D9Rasterizer, CullModesRemoveTheNamedWinding) {
    const RasterVertex cw[3] = {at(0, 0), at(4, 0), at(0, 4)};   // clockwise on screen
    const RasterVertex ccw[3] = {at(0, 0), at(0, 4), at(4, 0)};  // counter-clockwise
    RecordingSink a, b, c;
    rasterizeTriangle(cw[0], cw[1], cw[2], D3DCULL_CCW, false, kWide, a);
    rasterizeTriangle(ccw[0], ccw[1], ccw[2], D3DCULL_CCW, false, kWide, b);
    rasterizeTriangle(ccw[0], ccw[1], ccw[2], D3DCULL_NONE, false, kWide, c);
    EXPECT_FALSE(a.hits.empty());
    EXPECT_TRUE(b.hits.empty());
    EXPECT_EQ(a.hits, c.hits);
}

TEST(D3D9Rasterizer, ClipKeepsPixelsInsideTheTarget) {
    RecordingSink sink;
    rasterizeTriangle(at(-50, -50), at(150, -50), at(-50, 150), D3DCULL_NONE, false,
                      ClipRect{0, 0, 4, 3}, sink);
    for (const auto& [pixel, count] : sink.hits) {
        EXPECT_TRUE(pixel.first >= 0 && pixel.first < 4 && pixel.second >= 0 && pixel.second < 3);
    }
    EXPECT_EQ(sink.hits.size(), 12u);
}

TEST(D3D9Rasterizer, CoordinatesAreTakenAtPixelCentres) {
    RecordingSink sink;
    drawCanvasQuad(0, 0, 8, 2, sink);
    for (int k = 0; k < 8; ++k) EXPECT_NEAR(sink.us[std::make_pair(k, 0)], (k + 0.5) / 8.0, 1e-12);
    EXPECT_NEAR(sink.vs[std::make_pair(3, 1)], 0.75, 1e-12);
}

TEST(D3D9Rasterizer, EqualCornerColoursStayExactAndFlatTakesTheFirstVertex) {
    RasterVertex a = at(0, 0), b = at(9, 0), c = at(0, 9);
    a.diffuse = b.diffuse = c.diffuse = Rgba{0.2f, 0.7f, 0.1f, 0.3f};
    RecordingSink same;
    rasterizeTriangle(a, b, c, D3DCULL_NONE, false, kWide, same);
    for (const auto& [pixel, col] : same.colors) {
        EXPECT_EQ(col.r, 0.2f);
        EXPECT_EQ(col.a, 0.3f);
    }
    b.diffuse = Rgba{1, 1, 1, 1};
    RecordingSink flat;
    rasterizeTriangle(a, b, c, D3DCULL_NONE, true, kWide, flat);
    for (const auto& [pixel, col] : flat.colors) EXPECT_EQ(col.g, 0.7f);
}

TEST(D3D9Rasterizer, LinesAndPointsLandOnTheNearestPixels) {
    RecordingSink line;
    rasterizeLine(at(0, 0), at(4, 2), false, false, kWide, line);
    EXPECT_EQ(line.hits.size(), 4u);  // x = 0..3, end pixel left out
    EXPECT_EQ(line.hits.count({3, 2}), 1u);
    RecordingSink point;
    rasterizePoint(at(2.4, 7.6), kWide, point);
    EXPECT_EQ(point.hits.count({2, 8}), 1u);
}

}  // namespace
}  // namespace vantoro::d3d9
