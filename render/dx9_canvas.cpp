#include "render/dx9_canvas.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>

#include "d3d9/d3d9_device.h"
#include "pixels/dx9_textures.h"
#include "pixels/shared_device.h"
#include "render/dx9_notify.h"

namespace vantoro {

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::int32_t kQuadVertices = 4;
constexpr std::int32_t kQuadIndices = 6;
constexpr std::uint32_t kVertexBytes = sizeof(TDXVertex);
constexpr DWORD kBufferUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;

// Factor index -> D3DBLEND (the index plus one); nothing past the table.
std::optional<DWORD> blendFactorOf(std::uint32_t index) {
    if (index > 14) return std::nullopt;
    return index + 1;
}

// Operation index -> D3DBLENDOP. Index 1 is reverse subtraction and 2
// subtraction: the codes stored in the blend lists were made that way.
std::optional<DWORD> blendOperationOf(std::uint32_t index) {
    static constexpr std::array<DWORD, 5> kOperations = {D3DBLENDOP_ADD, D3DBLENDOP_REVSUBTRACT,
                                                         D3DBLENDOP_SUBTRACT, D3DBLENDOP_MIN,
                                                         D3DBLENDOP_MAX};
    if (index >= kOperations.size()) return std::nullopt;
    return kOperations[index];
}

struct SpecialBlend {
    std::uint32_t key;
    DWORD source;
    DWORD destination;
    DWORD colorOperation;
    DWORD alphaOperation;  // 0: left as it is
};

// The special codes. None names an operation: ADD, the platform's default,
// is set so an earlier subtracting key does not carry over. The dot-product
// code names no factors either; it takes SRCALPHA / INVSRCALPHA, the ones
// the view's 0x504 copy of every frame leaves set, and so blends by its own
// result (which DOTPRODUCT3 also writes into alpha).
constexpr std::array<SpecialBlend, 7> kSpecialBlends = {{
    {kBlendAlphaAddModulate2X, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DTOP_MODULATE2X, D3DTOP_MODULATE},
    {kBlendDestAddModulate2X, D3DBLEND_DESTCOLOR, D3DBLEND_ONE, D3DTOP_MODULATE2X, D3DTOP_MODULATE},
    {kBlendDestAddModulate4X, D3DBLEND_DESTCOLOR, D3DBLEND_ONE, D3DTOP_MODULATE4X, D3DTOP_MODULATE},
    {kBlendAlphaModulate2X, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_MODULATE2X,
     D3DTOP_MODULATE},
    {kBlendAlphaModulate4X, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_MODULATE4X,
     D3DTOP_MODULATE},
    {kBlendDotProduct3, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_DOTPRODUCT3, 0},
    {kBlendMultiplyAdd, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTOP_MULTIPLYADD,
     D3DTOP_MODULATE},
}};

const SpecialBlend* specialBlendOf(std::uint32_t key) {
    for (const SpecialBlend& s : kSpecialBlends) {
        if (s.key == key) return &s;
    }
    return nullptr;
}

constexpr DWORD kDotProductFactor = 0xBBFFBBFF;

bool allWhite(const QuadColors& colors) {
    return std::all_of(colors.begin(), colors.end(), [](std::uint32_t c) { return c == kWhite; });
}

std::uint16_t flipWord(bool flipVertical, bool flipHorizontal) {
    return static_cast<std::uint16_t>((flipVertical ? kFlipVertical : 0) |
                                      (flipHorizontal ? kFlipHorizontal : 0));
}

std::int32_t saturate32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// The corners of the rectangle (x, y, w, h) in quad order, as floats.
QuadPositions rectPositions(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
    const auto f = [](std::int64_t v) { return static_cast<float>(v); };
    return {FloatPoint{f(x), f(y)}, FloatPoint{f(x + w), f(y)}, FloatPoint{f(x + w), f(y + h)},
            FloatPoint{f(x), f(y + h)}};
}

struct SourceSpan {
    std::int64_t x, y, w, h;
};

// The part of a source rectangle an unscaled draw shows of an image of
// width x height. The size is taken before a negative origin moves to 0,
// so such a rectangle keeps its width from column 0; what reaches past the
// right or bottom edge is cut. Nothing when the rectangle starts at or
// past an edge or is empty.
std::optional<SourceSpan> unscaledSource(const IntRect& source, std::int32_t width,
                                         std::int32_t height) {
    SourceSpan s{source.Left, source.Top, std::int64_t{source.Right} - source.Left,
                 std::int64_t{source.Bottom} - source.Top};
    s.x = std::max<std::int64_t>(s.x, 0);
    s.y = std::max<std::int64_t>(s.y, 0);
    if (width < s.x + s.w) s.w = width - s.x;
    if (height < s.y + s.h) s.h = height - s.y;
    if (width <= s.x || height <= s.y) return std::nullopt;
    // An empty or inverted rectangle would otherwise be stretched from the
    // whole rest of the image into a degenerate or mirrored quad.
    if (s.w <= 0 || s.h <= 0) return std::nullopt;
    return s;
}

template <typename Buffer>
bool uploadDiscarding(Buffer* buffer, const void* data, std::uint32_t bytes) {
    void* target = nullptr;
    if (FAILED(buffer->Lock(0, bytes, &target, D3DLOCK_DISCARD))) return false;
    std::memcpy(target, data, bytes);
    return SUCCEEDED(buffer->Unlock());
}

template <typename T>
void releaseInterface(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

}  // namespace

TDXCanvas::TDXCanvas() = default;

TDXCanvas::~TDXCanvas() {
    releaseBuffers();
}

bool TDXCanvas::HandleNotify(std::uint32_t code) {
    switch (code) {
        case NotifyDeviceCreated:
            return InitializeCanvas();
        case NotifyDeviceDestroying:
            FinalizeCanvas();
            break;
        case NotifyDeviceLost:
            if (FInitialized) {
                releaseBuffers();
                FDeviceLost = true;
            }
            break;
        case NotifyDeviceReset:
            if (FInitialized && !CreateBuffers()) FinalizeCanvas();
            FDeviceLost = false;
            break;
        case NotifyEndScene:
        case NotifyCanvasFlush:
            if (FInitialized) {
                Flush();
                FStatesDirty = true;
            }
            break;
        default:
            break;
    }
    return true;
}

bool TDXCanvas::InitializeCanvas() {
    if (FInitialized) return false;
    const bool created = CreateBuffers();
    if (created) {
        // Z = 0 and RHW = 1 are written here once and never again.
        FVertices.assign(static_cast<std::size_t>(FCapacity), TDXVertex{});
        FIndices.assign(static_cast<std::size_t>(FCapacity), 0);
        FStatesDirty = true;
    }
    FInitialized = created;
    return created;
}

bool TDXCanvas::CreateBuffers() {
    releaseBuffers();
    IDirect3DDevice9* device = sharedDevice().device;
    const auto capacity = static_cast<UINT>(FCapacity);
    // 16-bit indices address at most 65536 vertices.
    bool created = device != nullptr && FCapacity > 0 && FCapacity <= 65536 &&
                   SUCCEEDED(device->CreateVertexBuffer(capacity * kVertexBytes, kBufferUsage,
                                                        kCanvasVertexFormat, D3DPOOL_DEFAULT,
                                                        &FVertexBuffer, nullptr)) &&
                   SUCCEEDED(device->CreateIndexBuffer(capacity * 2, kBufferUsage, D3DFMT_INDEX16,
                                                       D3DPOOL_DEFAULT, &FIndexBuffer, nullptr));
    // A buffer left over from a half success would keep the device from
    // being reset.
    if (!created) releaseBuffers();
    emptyBatch();
    FCurrentTexture = nullptr;
    FCurrentBlend = kNoBlendKey;
    return created;
}

void TDXCanvas::FinalizeCanvas() {
    releaseBuffers();
    FVertices = {};
    FIndices = {};
    emptyBatch();
    FCurrentTexture = nullptr;
    FCurrentBlend = kNoBlendKey;
    FDeviceLost = false;  // a device created later starts whole
    FInitialized = false;
}

void TDXCanvas::releaseBuffers() {
    releaseInterface(FVertexBuffer);
    releaseInterface(FIndexBuffer);
}

void TDXCanvas::emptyBatch() {
    FVertexCount = 0;
    FIndexCount = 0;
    FPrimitiveCount = 0;
    FPrimitiveKind = kPrimitiveNone;
}

void TDXCanvas::PrepareBatch(std::uint8_t kind, std::int32_t verticesNeeded, std::uint32_t key,
                             TDXTexture* texture, std::int32_t indicesNeeded) {
    if (FStatesDirty) ResetStates();
    if (FCapacity < FVertexCount + verticesNeeded || FCapacity < FIndexCount + indicesNeeded ||
        (kind != FPrimitiveKind && FPrimitiveKind != kPrimitiveNone)) {
        Flush();
    }
    if (key == kNoBlendKey || key != FCurrentBlend) {
        Flush();
        ApplyBlend(key);
        FCurrentBlend = key;
    }
    if (texture != FCurrentTexture) {
        Flush();
        if (texture != nullptr) {
            texture->BindToStage(0);
        } else if (IDirect3DDevice9* device = sharedDevice().device) {
            device->SetTexture(0, nullptr);
        }
        FCurrentTexture = texture;
    }
    FPrimitiveKind = kind;
}

bool TDXCanvas::submitBatch(IDirect3DDevice9& device) {
    if (FVertexBuffer == nullptr || FIndexBuffer == nullptr) return false;
    const bool bound = uploadDiscarding(FVertexBuffer, FVertices.data(),
                                        static_cast<std::uint32_t>(FVertexCount) * kVertexBytes) &&
                       uploadDiscarding(FIndexBuffer, FIndices.data(),
                                        static_cast<std::uint32_t>(FIndexCount) * 2) &&
                       SUCCEEDED(device.SetStreamSource(0, FVertexBuffer, 0, kVertexBytes)) &&
                       SUCCEEDED(device.SetIndices(FIndexBuffer)) &&
                       SUCCEEDED(device.SetVertexShader(nullptr)) &&
                       SUCCEEDED(device.SetFVF(kCanvasVertexFormat));
    if (!bound) return false;
    const auto vertices = static_cast<UINT>(FVertexCount);
    const auto primitives = static_cast<UINT>(FPrimitiveCount);
    switch (FPrimitiveKind) {
        case kPrimitiveLines:
            return SUCCEEDED(
                device.DrawIndexedPrimitive(D3DPT_LINELIST, 0, 0, vertices, 0, primitives));
        case kPrimitiveTriangles:
            return SUCCEEDED(
                device.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, 0, primitives));
        case kPrimitivePoints:
            return SUCCEEDED(device.DrawPrimitive(D3DPT_POINTLIST, 0, primitives));
        default:
            return false;
    }
}

// A failed lock, bind or draw drops the batch silently: it is emptied either way.
void TDXCanvas::Flush() {
    IDirect3DDevice9* device = sharedDevice().device;
    if (FVertexCount > 0 && FPrimitiveCount > 0 && !FDeviceLost && device != nullptr) {
        submitBatch(*device);
        ++FBatchCount;
    }
    emptyBatch();
}

void TDXCanvas::ResetStates() {
    IDirect3DDevice9* device = sharedDevice().device;
    if (device == nullptr || !FInitialized) return;
    emptyBatch();
    FCurrentTexture = nullptr;
    FCurrentBlend = kNoBlendKey;
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 1);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetRenderState(D3DRS_DITHERENABLE, FDither ? 1 : 0);
    const DWORD filter = FLinearFilter ? D3DTEXF_LINEAR : D3DTEXF_POINT;
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
    m_colorArgIsFactor = false;
    FStatesDirty = false;
    FBatchCount = 0;
}

void TDXCanvas::ApplyBlend(std::uint32_t key) {
    IDirect3DDevice9* device = sharedDevice().device;
    if (device == nullptr) return;
    const std::uint32_t source = key & 0xFF;
    const std::uint32_t destination = (key >> 8) & 0xFF;
    const std::uint32_t operation = (key >> 16) & 0xFF;
    const SpecialBlend* special = specialBlendOf(key);
    const bool opaque = special == nullptr && source == 1 && destination == 0 && operation == 0;
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, opaque ? 0 : 1);
    if (FAlphaTest) device->SetRenderState(D3DRS_ALPHATESTENABLE, opaque ? 0 : 1);
    DWORD colorOperation = D3DTOP_MODULATE;
    DWORD alphaOperation = D3DTOP_MODULATE;
    if (special != nullptr) {
        device->SetRenderState(D3DRS_SRCBLEND, special->source);
        device->SetRenderState(D3DRS_DESTBLEND, special->destination);
        device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        colorOperation = special->colorOperation;
        alphaOperation = special->alphaOperation;
    } else if (!opaque) {
        // Indices past the tables fall back to the platform's defaults
        // rather than to whatever lies beyond them.
        device->SetRenderState(D3DRS_SRCBLEND, blendFactorOf(source).value_or(D3DBLEND_ONE));
        device->SetRenderState(D3DRS_DESTBLEND, blendFactorOf(destination).value_or(D3DBLEND_ZERO));
        device->SetRenderState(D3DRS_BLENDOP, blendOperationOf(operation).value_or(D3DBLENDOP_ADD));
    }
    device->SetTextureStageState(0, D3DTSS_COLOROP, colorOperation);
    if (alphaOperation != 0) device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOperation);
    if (key == kBlendDotProduct3) {
        device->SetRenderState(D3DRS_TEXTUREFACTOR, kDotProductFactor);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
        m_colorArgIsFactor = true;
    } else if (m_colorArgIsFactor) {
        // Later quads of the scene modulate by their own colours again.
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        m_colorArgIsFactor = false;
    }
}

void TDXCanvas::DrawQuad(const QuadPositions& positions, const QuadTexCoords& coords,
                         std::uint32_t blend, TDXTexture* texture, const QuadColors& colors) {
    // Without buffers (before creation, after a failed re-creation) or while
    // the device is lost there is nowhere to put the quad.
    if (!FInitialized || FDeviceLost) return;
    const std::uint32_t key = allWhite(colors) ? blend : (blend | kBlendColoredBit);
    PrepareBatch(kPrimitiveTriangles, kQuadVertices, key, texture, kQuadIndices);
    if (static_cast<std::size_t>(FVertexCount) + kQuadVertices > FVertices.size() ||
        static_cast<std::size_t>(FIndexCount) + kQuadIndices > FIndices.size()) {
        return;  // a capacity changed after the arrays were made
    }
    const auto base = static_cast<std::uint16_t>(FVertexCount);
    const std::array<std::uint16_t, kQuadIndices> order = {base,
                                                           static_cast<std::uint16_t>(base + 1),
                                                           static_cast<std::uint16_t>(base + 3),
                                                           static_cast<std::uint16_t>(base + 1),
                                                           static_cast<std::uint16_t>(base + 2),
                                                           static_cast<std::uint16_t>(base + 3)};
    std::copy(order.begin(), order.end(), FIndices.begin() + FIndexCount);
    for (std::size_t i = 0; i < 4; ++i) {
        TDXVertex& v = FVertices[static_cast<std::size_t>(FVertexCount) + i];
        // Pixel centres lie on integers: corners half a pixel up and left
        // make texels land exactly on pixels.
        v.X = positions[i].X - 0.5f;
        v.Y = positions[i].Y - 0.5f;
        v.Diffuse = toDeviceColor(colors[i]);
        v.U = coords[i].U;
        v.V = coords[i].V;
    }
    FVertexCount += kQuadVertices;
    FIndexCount += kQuadIndices;
    FPrimitiveCount += 2;
}

void TDXCanvas::DrawTextureQuad(TDXTexture* texture, const QuadPositions& positions,
                                std::uint32_t blend, const TextureSource& source,
                                const QuadColors& colors) {
    if (FDeviceLost || texture == nullptr || !texture->IsActive()) return;
    QuadTexCoords coords;
    if (texture->MapCoords(source, coords)) DrawQuad(positions, coords, blend, texture, colors);
}

void TDXCanvas::Draw(std::int32_t x, std::int32_t y, std::uint32_t blend, TDXTexture* texture,
                     const IntRect& source) {
    DrawColored(x, y, QuadColors{kWhite, kWhite, kWhite, kWhite}, blend, texture, source);
}

void TDXCanvas::DrawColored(std::int32_t x, std::int32_t y, const QuadColors& colors,
                            std::uint32_t blend, TDXTexture* texture, const IntRect& source) {
    DrawEx(x, y, false, false, colors, blend, texture, source);
}

void TDXCanvas::DrawEx(std::int32_t x, std::int32_t y, bool flipVertical, bool flipHorizontal,
                       const QuadColors& colors, std::uint32_t blend, TDXTexture* texture,
                       const IntRect& source) {
    if (texture == nullptr) return;
    const auto span = unscaledSource(source, texture->GetWidth(), texture->GetHeight());
    if (!span) return;
    const TextureSource mapped{saturate32(span->x), saturate32(span->y), saturate32(span->w),
                               saturate32(span->h), flipWord(flipVertical, flipHorizontal)};
    DrawTextureQuad(texture, rectPositions(x, y, span->w, span->h), blend, mapped, colors);
}

void TDXCanvas::StretchDraw(const IntRect& dest, const IntRect& source, bool flipVertical,
                            bool flipHorizontal, const QuadColors& colors, std::uint32_t blend,
                            TDXTexture* texture) {
    if (texture == nullptr) return;
    const TextureSource mapped{source.Left, source.Top,
                               saturate32(std::int64_t{source.Right} - source.Left),
                               saturate32(std::int64_t{source.Bottom} - source.Top),
                               flipWord(flipVertical, flipHorizontal)};
    const QuadPositions positions =
        rectPositions(dest.Left, dest.Top, std::int64_t{dest.Right} - dest.Left,
                      std::int64_t{dest.Bottom} - dest.Top);
    DrawTextureQuad(texture, positions, blend, mapped, colors);
}

}  // namespace vantoro
