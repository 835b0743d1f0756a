#include "d3d9/d3d9_texture_stage.h"

#include <algorithm>

namespace vantoro::d3d9 {

namespace {

float saturate(float v) {
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

Rgba saturate(const Rgba& c) {
    return Rgba{saturate(c.r), saturate(c.g), saturate(c.b), saturate(c.a)};
}

struct StageInputs {
    const StageSetup& stage;
    const Rgba& texel;
    const Rgba& diffuse;
};

// One argument with its modifiers: ALPHAREPLICATE copies alpha into every
// channel, COMPLEMENT takes 1 - x.
Rgba argument(const StageInputs& in, DWORD arg) {
    Rgba v;
    switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE:
        case D3DTA_CURRENT:
            v = in.diffuse;
            break;  // stage 0: current is the vertex colour
        case D3DTA_TEXTURE:
            v = in.texel;
            break;
        case D3DTA_TFACTOR:
            v = in.stage.textureFactor;
            break;
        case D3DTA_CONSTANT:
            v = in.stage.constant;
            break;
        default:
            v = Rgba{};
            break;  // no specular in our vertices; TEMP starts at 0
    }
    if (arg & D3DTA_ALPHAREPLICATE) v = Rgba{v.a, v.a, v.a, v.a};
    if (arg & D3DTA_COMPLEMENT) v = Rgba{1.0f - v.r, 1.0f - v.g, 1.0f - v.b, 1.0f - v.a};
    return v;
}

bool readsTexture(DWORD op, DWORD a0, DWORD a1, DWORD a2) {
    auto isTexture = [](DWORD a) { return (a & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
    switch (op) {
        case D3DTOP_SELECTARG1:
            return isTexture(a1);
        case D3DTOP_SELECTARG2:
            return isTexture(a2);
        case D3DTOP_MULTIPLYADD:
        case D3DTOP_LERP:
            return isTexture(a0) || isTexture(a1) || isTexture(a2);
        case D3DTOP_BLENDTEXTUREALPHA:
            return true;
        default:
            return isTexture(a1) || isTexture(a2);
    }
}

// The operation on one channel; x0, x1, x2 are the three arguments.
float operate(DWORD op, float x0, float x1, float x2, const StageInputs& in) {
    switch (op) {
        case D3DTOP_SELECTARG1:
            return x1;
        case D3DTOP_SELECTARG2:
            return x2;
        case D3DTOP_MODULATE:
            return x1 * x2;
        case D3DTOP_MODULATE2X:
            return 2.0f * x1 * x2;
        case D3DTOP_MODULATE4X:
            return 4.0f * x1 * x2;
        case D3DTOP_ADD:
            return x1 + x2;
        case D3DTOP_ADDSIGNED:
            return x1 + x2 - 0.5f;
        case D3DTOP_ADDSIGNED2X:
            return 2.0f * (x1 + x2 - 0.5f);
        case D3DTOP_SUBTRACT:
            return x1 - x2;
        case D3DTOP_ADDSMOOTH:
            return x1 + x2 - x1 * x2;
        case D3DTOP_BLENDDIFFUSEALPHA:
            return x1 * in.diffuse.a + x2 * (1.0f - in.diffuse.a);
        case D3DTOP_BLENDTEXTUREALPHA:
            return x1 * in.texel.a + x2 * (1.0f - in.texel.a);
        case D3DTOP_BLENDFACTORALPHA:
            return x1 * in.stage.textureFactor.a + x2 * (1.0f - in.stage.textureFactor.a);
        case D3DTOP_BLENDCURRENTALPHA:
            return x1 * in.diffuse.a + x2 * (1.0f - in.diffuse.a);
        case D3DTOP_MULTIPLYADD:
            return x0 + x1 * x2;
        case D3DTOP_LERP:
            return x0 * x1 + (1.0f - x0) * x2;
        default:
            return x1;  // an operation we do not model selects its first argument
    }
}

// Expanded to [-1, 1], the dot product of the colours, replicated everywhere.
float dotProduct3(const Rgba& x1, const Rgba& x2) {
    const float sum = (x1.r - 0.5f) * (x2.r - 0.5f) + (x1.g - 0.5f) * (x2.g - 0.5f) +
                      (x1.b - 0.5f) * (x2.b - 0.5f);
    return saturate(4.0f * sum);
}

Rgba colorResult(const StageInputs& in) {
    const StageSetup& s = in.stage;
    if (s.colorOp == D3DTOP_DISABLE ||
        (!s.hasTexture && readsTexture(s.colorOp, s.colorArg0, s.colorArg1, s.colorArg2))) {
        return in.diffuse;
    }
    const Rgba x0 = argument(in, s.colorArg0);
    const Rgba x1 = argument(in, s.colorArg1);
    const Rgba x2 = argument(in, s.colorArg2);
    if (s.colorOp == D3DTOP_DOTPRODUCT3) {
        const float d = dotProduct3(x1, x2);
        return Rgba{d, d, d, d};
    }
    return Rgba{operate(s.colorOp, x0.r, x1.r, x2.r, in), operate(s.colorOp, x0.g, x1.g, x2.g, in),
                operate(s.colorOp, x0.b, x1.b, x2.b, in), 0.0f};
}

float alphaResult(const StageInputs& in) {
    const StageSetup& s = in.stage;
    if (s.alphaOp == D3DTOP_DISABLE ||
        (!s.hasTexture && readsTexture(s.alphaOp, s.alphaArg0, s.alphaArg1, s.alphaArg2))) {
        return in.diffuse.a;
    }
    const float x0 = argument(in, s.alphaArg0).a;
    const float x1 = argument(in, s.alphaArg1).a;
    const float x2 = argument(in, s.alphaArg2).a;
    return operate(s.alphaOp, x0, x1, x2, in);
}

// Whether one side of the stage (colour or alpha) hands the texel through.
bool passesTexel(DWORD op, DWORD a1, DWORD a2, const StageInputs& in, bool alphaSide) {
    const bool plain1 = a1 == D3DTA_TEXTURE;
    const bool plain2 = a2 == D3DTA_TEXTURE;
    auto isOne = [&](DWORD a) {
        if ((a & D3DTA_SELECTMASK) == D3DTA_TEXTURE) return false;
        const Rgba v = argument(in, a);
        return alphaSide ? v.a == 1.0f : (v.r == 1.0f && v.g == 1.0f && v.b == 1.0f);
    };
    if (op == D3DTOP_SELECTARG1) return plain1;
    if (op == D3DTOP_SELECTARG2) return plain2;
    if (op == D3DTOP_MODULATE) return (plain1 && isOne(a2)) || (plain2 && isOne(a1));
    return false;
}

}  // namespace

Rgba combineStage(const StageSetup& stage, const Rgba& texel, const Rgba& diffuse) {
    const StageInputs in{stage, texel, diffuse};
    Rgba result = colorResult(in);
    // DOTPRODUCT3 writes alpha too and the alpha operation is skipped.
    if (stage.colorOp != D3DTOP_DOTPRODUCT3 || !stage.hasTexture) result.a = alphaResult(in);
    return saturate(result);
}

bool stagePassesTexel(const StageSetup& stage, const Rgba& diffuse) {
    if (!stage.hasTexture) return false;
    const Rgba texel{};
    const StageInputs in{stage, texel, diffuse};
    return passesTexel(stage.colorOp, stage.colorArg1, stage.colorArg2, in, false) &&
           passesTexel(stage.alphaOp, stage.alphaArg1, stage.alphaArg2, in, true);
}

}  // namespace vantoro::d3d9
