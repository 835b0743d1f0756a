#include "d3d9/d3d9_device_state.h"

namespace vantoro::d3d9 {

namespace {

void setRenderDefaults(std::array<DWORD, kRenderStateCount>& rs, bool autoDepthStencil) {
    rs[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = 1;
    rs[D3DRS_ALPHATESTENABLE] = 0;
    rs[D3DRS_LASTPIXEL] = 1;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAREF] = 0;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_DITHERENABLE] = 0;
    rs[D3DRS_ALPHABLENDENABLE] = 0;
    rs[D3DRS_FOGENABLE] = 0;
    rs[D3DRS_SPECULARENABLE] = 0;
    rs[D3DRS_STENCILENABLE] = 0;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_CLIPPING] = 1;
    rs[D3DRS_LIGHTING] = 1;
    rs[D3DRS_COLORVERTEX] = 1;
    rs[D3DRS_MULTISAMPLEANTIALIAS] = 1;
    rs[D3DRS_COLORWRITEENABLE] = 0x0000000F;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_SCISSORTESTENABLE] = 0;
    rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_SRGBWRITEENABLE] = 0;
    rs[D3DRS_SEPARATEALPHABLENDENABLE] = 0;
    rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
}

void setStageDefaults(std::array<DWORD, kTextureStageStateCount>& ts, DWORD index) {
    ts[D3DTSS_COLOROP] = index == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = index == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = index;
    ts[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
    ts[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
}

void setSamplerDefaults(std::array<DWORD, kSamplerStateCount>& ss) {
    ss[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_BORDERCOLOR] = 0;
    ss[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
}

}  // namespace

DeviceStates defaultDeviceStates(bool autoDepthStencil) {
    DeviceStates s;
    setRenderDefaults(s.render, autoDepthStencil);
    for (DWORD i = 0; i < kTextureStageCount; ++i) setStageDefaults(s.stage[i], i);
    for (auto& sampler : s.sampler) setSamplerDefaults(sampler);
    return s;
}

PipelineSetup pipelineFromStates(const DeviceStates& states, const SurfaceView& target,
                                 const ClipRect& clip, const SurfaceView& texture) {
    const auto& rs = states.render;
    const auto& ts = states.stage[0];
    const auto& ss = states.sampler[0];
    PipelineSetup p;
    p.target = target;
    p.clip = clip;
    p.texture = texture;
    p.sampler = SamplerSetup{ss[D3DSAMP_MAGFILTER], ss[D3DSAMP_MINFILTER], ss[D3DSAMP_ADDRESSU],
                             ss[D3DSAMP_ADDRESSV], rgbaOfColor(ss[D3DSAMP_BORDERCOLOR])};
    p.stage = StageSetup{ts[D3DTSS_COLOROP],
                         ts[D3DTSS_COLORARG0],
                         ts[D3DTSS_COLORARG1],
                         ts[D3DTSS_COLORARG2],
                         ts[D3DTSS_ALPHAOP],
                         ts[D3DTSS_ALPHAARG0],
                         ts[D3DTSS_ALPHAARG1],
                         ts[D3DTSS_ALPHAARG2],
                         rgbaOfColor(rs[D3DRS_TEXTUREFACTOR]),
                         rgbaOfColor(ts[D3DTSS_CONSTANT]),
                         texture.bits != nullptr};
    p.alphaTest =
        AlphaTestSetup{rs[D3DRS_ALPHATESTENABLE] != 0, rs[D3DRS_ALPHAFUNC], rs[D3DRS_ALPHAREF]};
    p.blend = resolveBothAlphaFactors(
        BlendSetup{rs[D3DRS_ALPHABLENDENABLE] != 0, rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND],
                   rs[D3DRS_BLENDOP], rgbaOfColor(rs[D3DRS_BLENDFACTOR])});
    p.cullMode = rs[D3DRS_CULLMODE];
    p.flatShading = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    p.lastPixel = rs[D3DRS_LASTPIXEL] != 0;
    return p;
}

}  // namespace vantoro::d3d9
