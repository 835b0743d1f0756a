#include "d3d9/d3d9_rasterizer.h"

#include <algorithm>
#include <cmath>

namespace vantoro::d3d9 {

namespace {

struct Edge {
    double a = 0.0;  // dE/dx
    double b = 0.0;  // dE/dy
    double x0 = 0.0;
    double y0 = 0.0;
    bool topLeft = false;

    double at(double x, double y) const { return a * (x - x0) + b * (y - y0); }
    bool covers(double x, double y) const {
        const double e = at(x, y);
        return e > 0.0 || (e == 0.0 && topLeft);
    }
};

// Edge from p to q, signed so the triangle's interior is positive.
Edge makeEdge(const RasterVertex& p, const RasterVertex& q, double orientation) {
    Edge e;
    e.a = -(q.y - p.y) * orientation;
    e.b = (q.x - p.x) * orientation;
    e.x0 = p.x;
    e.y0 = p.y;
    e.topLeft = e.a > 0.0 || (e.a == 0.0 && e.b > 0.0);
    return e;
}

// value = q0 + dx * (x - x0) + dy * (y - y0). Equal corner values give
// gradients of exactly 0, so a constant attribute stays bit-exact.
struct Plane {
    double q0 = 0.0;
    double dx = 0.0;
    double dy = 0.0;
};

struct TriangleFrame {
    const RasterVertex& v0;
    double ex1, ey1, ex2, ey2, area;

    Plane plane(double q0, double q1, double q2) const {
        const double d1 = q1 - q0;
        const double d2 = q2 - q0;
        return Plane{q0, (d1 * ey2 - d2 * ey1) / area, (ex1 * d2 - ex2 * d1) / area};
    }
    double at(const Plane& p, double x, double y) const {
        return p.q0 + p.dx * (x - v0.x) + p.dy * (y - v0.y);
    }
};

// The pixel range [first, last] whose centres lie in [lo, hi], within the clip.
bool pixelSpan(double lo, double hi, std::int32_t clipLo, std::int32_t clipHi, std::int32_t& first,
               std::int32_t& last) {
    if (!(lo <= hi)) return false;  // also rejects NaN
    const double f = std::max(std::ceil(lo), static_cast<double>(clipLo));
    const double l = std::min(std::floor(hi), static_cast<double>(clipHi) - 1.0);
    if (f > l) return false;
    first = static_cast<std::int32_t>(f);
    last = static_cast<std::int32_t>(l);
    return true;
}

}  // namespace

double signedArea(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c) {
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

bool isCulled(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, DWORD cullMode) {
    const double area = signedArea(a, b, c);
    if (!(area != 0.0) || !std::isfinite(area)) return true;
    if (cullMode == D3DCULL_CCW) return area < 0.0;
    if (cullMode == D3DCULL_CW) return area > 0.0;
    return false;
}

void rasterizeTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                       DWORD cullMode, bool flat, const ClipRect& clip, FragmentSink& sink) {
    if (isCulled(a, b, c, cullMode)) return;
    const TriangleFrame frame{a, b.x - a.x, b.y - a.y, c.x - a.x, c.y - a.y, signedArea(a, b, c)};
    const double orientation = frame.area > 0.0 ? 1.0 : -1.0;
    const Edge edges[3] = {makeEdge(a, b, orientation), makeEdge(b, c, orientation),
                           makeEdge(c, a, orientation)};
    std::int32_t x0, x1, y0, y1;
    if (!pixelSpan(std::min({a.x, b.x, c.x}), std::max({a.x, b.x, c.x}), clip.left, clip.right, x0,
                   x1) ||
        !pixelSpan(std::min({a.y, b.y, c.y}), std::max({a.y, b.y, c.y}), clip.top, clip.bottom, y0,
                   y1)) {
        return;
    }
    const Plane pu = frame.plane(a.u, b.u, c.u);
    const Plane pv = frame.plane(a.v, b.v, c.v);
    const Plane pr = frame.plane(a.diffuse.r, b.diffuse.r, c.diffuse.r);
    const Plane pg = frame.plane(a.diffuse.g, b.diffuse.g, c.diffuse.g);
    const Plane pb = frame.plane(a.diffuse.b, b.diffuse.b, c.diffuse.b);
    const Plane pa = frame.plane(a.diffuse.a, b.diffuse.a, c.diffuse.a);
    sink.beginPrimitive(PrimitiveGradients{pu.dx, pv.dx, pu.dy, pv.dy});
    for (std::int32_t y = y0; y <= y1; ++y) {
        for (std::int32_t x = x0; x <= x1; ++x) {
            const double px = x;
            const double py = y;
            if (!edges[0].covers(px, py) || !edges[1].covers(px, py) || !edges[2].covers(px, py))
                continue;
            const Rgba diffuse = flat ? a.diffuse
                                      : Rgba{static_cast<float>(frame.at(pr, px, py)),
                                             static_cast<float>(frame.at(pg, px, py)),
                                             static_cast<float>(frame.at(pb, px, py)),
                                             static_cast<float>(frame.at(pa, px, py))};
            sink.fragment(x, y, frame.at(pu, px, py), frame.at(pv, px, py), diffuse);
        }
    }
}

void rasterizeLine(const RasterVertex& a, const RasterVertex& b, bool flat, bool lastPixel,
                   const ClipRect& clip, FragmentSink& sink) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const double length = xMajor ? dx : dy;
    if (!(length != 0.0) || !std::isfinite(length)) return;
    const double start = xMajor ? a.x : a.y;
    const double step = length > 0.0 ? 1.0 : -1.0;
    sink.beginPrimitive(PrimitiveGradients{});
    // Pixel centres along the major axis from the start towards the end.
    const double first = length > 0.0 ? std::ceil(start) : std::floor(start);
    const double count = std::floor(std::fabs(start + length - first)) + 1.0;
    for (double i = 0.0; i < std::min(count, 65536.0); i += 1.0) {
        const double major = first + i * step;
        const double t = (major - start) / length;
        if (t >= 1.0 && !(lastPixel && t == 1.0)) break;
        const double minor = (xMajor ? a.y + t * dy : a.x + t * dx);
        const double px = xMajor ? major : std::floor(minor + 0.5);
        const double py = xMajor ? std::floor(minor + 0.5) : major;
        if (px < clip.left || px >= clip.right || py < clip.top || py >= clip.bottom) continue;
        const auto mix = [t](float p, float q) { return static_cast<float>(p + (q - p) * t); };
        const Rgba diffuse =
            flat ? a.diffuse
                 : Rgba{mix(a.diffuse.r, b.diffuse.r), mix(a.diffuse.g, b.diffuse.g),
                        mix(a.diffuse.b, b.diffuse.b), mix(a.diffuse.a, b.diffuse.a)};
        sink.fragment(static_cast<std::int32_t>(px), static_cast<std::int32_t>(py),
                      a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t, diffuse);
    }
}

void rasterizePoint(const RasterVertex& p, const ClipRect& clip, FragmentSink& sink) {
    const double px = std::floor(p.x + 0.5);
    const double py = std::floor(p.y + 0.5);
    if (!(px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom)) return;
    sink.beginPrimitive(PrimitiveGradients{});
    sink.fragment(static_cast<std::int32_t>(px), static_cast<std::int32_t>(py), p.u, p.v,
                  p.diffuse);
}

}  // namespace vantoro::d3d9
