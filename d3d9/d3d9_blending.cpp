#include "d3d9/d3d9_blending.h"

#include <algorithm>

namespace vantoro::d3d9 {

namespace {

Rgba splat(float v) {
    return Rgba{v, v, v, v};
}

Rgba inverse(const Rgba& c) {
    return Rgba{1.0f - c.r, 1.0f - c.g, 1.0f - c.b, 1.0f - c.a};
}

float combine(DWORD op, float s, float fs, float d, float fd) {
    switch (op) {
        case D3DBLENDOP_SUBTRACT:
            return s * fs - d * fd;
        case D3DBLENDOP_REVSUBTRACT:
            return d * fd - s * fs;
        case D3DBLENDOP_MIN:
            return std::min(s, d);  // factors do not enter
        case D3DBLENDOP_MAX:
            return std::max(s, d);
        default:
            return s * fs + d * fd;  // ADD, and the fallback for unknown values
    }
}

}  // namespace

BlendSetup resolveBothAlphaFactors(BlendSetup blend) {
    if (blend.srcBlend == D3DBLEND_BOTHSRCALPHA) {
        blend.srcBlend = D3DBLEND_SRCALPHA;
        blend.destBlend = D3DBLEND_INVSRCALPHA;
    } else if (blend.srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
        blend.srcBlend = D3DBLEND_INVSRCALPHA;
        blend.destBlend = D3DBLEND_SRCALPHA;
    } else if (blend.destBlend == D3DBLEND_BOTHSRCALPHA) {
        blend.destBlend = D3DBLEND_SRCALPHA;
    } else if (blend.destBlend == D3DBLEND_BOTHINVSRCALPHA) {
        blend.destBlend = D3DBLEND_INVSRCALPHA;
    }
    return blend;
}

Rgba blendFactorValue(DWORD factor, const Rgba& src, const Rgba& dst, const Rgba& constant) {
    switch (factor) {
        case D3DBLEND_ZERO:
            return splat(0.0f);
        case D3DBLEND_SRCCOLOR:
            return src;
        case D3DBLEND_INVSRCCOLOR:
            return inverse(src);
        case D3DBLEND_SRCALPHA:
            return splat(src.a);
        case D3DBLEND_INVSRCALPHA:
            return splat(1.0f - src.a);
        case D3DBLEND_DESTALPHA:
            return splat(dst.a);
        case D3DBLEND_INVDESTALPHA:
            return splat(1.0f - dst.a);
        case D3DBLEND_DESTCOLOR:
            return dst;
        case D3DBLEND_INVDESTCOLOR:
            return inverse(dst);
        case D3DBLEND_SRCALPHASAT: {
            const float f = std::min(src.a, 1.0f - dst.a);
            return Rgba{f, f, f, 1.0f};
        }
        case D3DBLEND_BLENDFACTOR:
            return constant;
        case D3DBLEND_INVBLENDFACTOR:
            return inverse(constant);
        default:
            return splat(1.0f);  // ONE, and the fallback for unknown values
    }
}

Rgba blendPixel(const BlendSetup& blend, const Rgba& src, const Rgba& dst) {
    if (!blend.enabled) return src;
    const Rgba fs = blendFactorValue(blend.srcBlend, src, dst, blend.blendFactor);
    const Rgba fd = blendFactorValue(blend.destBlend, src, dst, blend.blendFactor);
    return Rgba{clampUnit(combine(blend.op, src.r, fs.r, dst.r, fd.r)),
                clampUnit(combine(blend.op, src.g, fs.g, dst.g, fd.g)),
                clampUnit(combine(blend.op, src.b, fs.b, dst.b, fd.b)),
                clampUnit(combine(blend.op, src.a, fs.a, dst.a, fd.a))};
}

bool alphaTestPasses(const AlphaTestSetup& test, float alpha) {
    if (!test.enabled) return true;
    const float ref = static_cast<float>(test.ref & 0xFF) / 255.0f;
    switch (test.func) {
        case D3DCMP_NEVER:
            return false;
        case D3DCMP_LESS:
            return alpha < ref;
        case D3DCMP_EQUAL:
            return alpha == ref;
        case D3DCMP_LESSEQUAL:
            return alpha <= ref;
        case D3DCMP_GREATER:
            return alpha > ref;
        case D3DCMP_NOTEQUAL:
            return alpha != ref;
        case D3DCMP_GREATEREQUAL:
            return alpha >= ref;
        default:
            return true;  // ALWAYS
    }
}

}  // namespace vantoro::d3d9
