// The sprite canvas: textured, colour-modulated quads in screen coordinates,
// batched by texture and blend code into indexed draw calls on the shared
// device, and the table of blend codes.
//
// A blend code names source factor (bits 0-7), destination factor (bits
// 8-15) and blend operation (bits 16-23) by index, or is one of the special
// codes 0x7FFFFFF0..0x7FFFFFF6 that also change the stage-0 colour
// operation. Quads sharing a texture and a blend key go into one batch of at
// most 32 vertices and 32 indices (five quads); the end of a scene flushes
// the batch and marks the states dirty, so every scene starts from the same
// render states.
#pragma once

#include <cstdint>
#include <vector>

#include "pixels/dx9_types.h"

class IDirect3DDevice9;
class IDirect3DIndexBuffer9;
class IDirect3DVertexBuffer9;

namespace vantoro {

class TDXTexture;

// A pre-transformed vertex with one colour and one texture-coordinate set
// (XYZRHW | DIFFUSE | TEX1), laid out exactly as the device reads it.
struct TDXVertex {
    float X = 0.0f;
    float Y = 0.0f;
    float Z = 0.0f;
    float RHW = 1.0f;
    std::uint32_t Diffuse = 0;  // 0xAARRGGBB
    float U = 0.0f;
    float V = 0.0f;
};
static_assert(sizeof(TDXVertex) == 28, "the device reads 28-byte vertices");

inline constexpr std::uint32_t kCanvasVertexFormat = 0x144;  // XYZRHW | DIFFUSE | TEX1

// FPrimitiveKind values.
inline constexpr std::uint8_t kPrimitivePoints = 0;
inline constexpr std::uint8_t kPrimitiveLines = 1;
inline constexpr std::uint8_t kPrimitiveTriangles = 2;
inline constexpr std::uint8_t kPrimitiveNone = 3;  // empty batch

// Blend codes.
inline constexpr std::uint32_t kBlendOpaque = 0x000001;       // ONE, ZERO, ADD: no blending
inline constexpr std::uint32_t kBlendSourceAlpha = 0x000504;  // SRCALPHA, INVSRCALPHA, ADD
// Set in the batch key of quads whose colours are not all opaque white:
// forces a batch of their own, selects the same states.
inline constexpr std::uint32_t kBlendColoredBit = 0x10000000;
// FCurrentBlend when no blend has been applied (-1).
inline constexpr std::uint32_t kNoBlendKey = 0xFFFFFFFF;

// Special codes. Each enables blending with its own factors and stage-0
// colour operation (alpha MODULATE unless noted).
inline constexpr std::uint32_t kBlendAlphaAddModulate2X = 0x7FFFFFF0;  // SRCALPHA, ONE, x2
inline constexpr std::uint32_t kBlendDestAddModulate2X = 0x7FFFFFF1;   // DESTCOLOR, ONE, x2
inline constexpr std::uint32_t kBlendDestAddModulate4X = 0x7FFFFFF2;   // DESTCOLOR, ONE, x4
inline constexpr std::uint32_t kBlendAlphaModulate2X = 0x7FFFFFF3;     // SRCALPHA, INVSRCALPHA, x2
inline constexpr std::uint32_t kBlendAlphaModulate4X = 0x7FFFFFF4;     // SRCALPHA, INVSRCALPHA, x4
inline constexpr std::uint32_t kBlendDotProduct3 = 0x7FFFFFF5;  // texel . 0xBBFFBBFF, alpha from it
inline constexpr std::uint32_t kBlendMultiplyAdd =
    0x7FFFFFF6;  // SRCALPHA, INVSRCALPHA, diffuse*(1+texel)

class TDXCanvas {
public:
    TDXCanvas();
    virtual ~TDXCanvas();

    TDXCanvas(const TDXCanvas&) = delete;
    TDXCanvas& operator=(const TDXCanvas&) = delete;

    // Called by the device for every notification before its listener.
    // Answers InitializeCanvas's result for NotifyDeviceCreated, true for
    // every other code.
    bool HandleNotify(std::uint32_t code);

    // The source rectangle of the texture, unscaled, its top-left corner at
    // (x, y), in white. Colours are 0xAABBGGRR, corners top-left, top-right,
    // bottom-right, bottom-left; each multiplies the texel.
    void Draw(std::int32_t x, std::int32_t y, std::uint32_t blend, TDXTexture* texture,
              const IntRect& source);
    void DrawColored(std::int32_t x, std::int32_t y, const QuadColors& colors, std::uint32_t blend,
                     TDXTexture* texture, const IntRect& source);
    void DrawEx(std::int32_t x, std::int32_t y, bool flipVertical, bool flipHorizontal,
                const QuadColors& colors, std::uint32_t blend, TDXTexture* texture,
                const IntRect& source);
    // The source rectangle scaled into the destination rectangle.
    void StretchDraw(const IntRect& dest, const IntRect& source, bool flipVertical,
                     bool flipHorizontal, const QuadColors& colors, std::uint32_t blend,
                     TDXTexture* texture);
    // A quad of an active texture, its coordinates mapped from the source.
    void DrawTextureQuad(TDXTexture* texture, const QuadPositions& positions, std::uint32_t blend,
                         const TextureSource& source, const QuadColors& colors);
    // The primitive under all of the above: two triangles, 0-1-3 and 1-2-3.
    void DrawQuad(const QuadPositions& positions, const QuadTexCoords& coords, std::uint32_t blend,
                  TDXTexture* texture, const QuadColors& colors);

    bool InitializeCanvas();
    void FinalizeCanvas();
    // Submits the current batch (if any) and empties it.
    void Flush();

    bool FInitialized = false;    // buffers exist
    bool FDeviceLost = false;     // nothing is drawn between loss and reset
    std::int32_t FCapacity = 32;  // vertices and indices per batch
    IDirect3DVertexBuffer9* FVertexBuffer = nullptr;
    IDirect3DIndexBuffer9* FIndexBuffer = nullptr;
    bool FLinearFilter = true;  // bilinear sampling from the next scene on
    bool FDither = false;
    bool FAlphaTest = true;  // alpha test switched together with blending
    bool FStatesDirty = false;
    std::vector<TDXVertex> FVertices;
    std::vector<std::uint16_t> FIndices;
    std::int32_t FVertexCount = 0;
    std::int32_t FIndexCount = 0;
    std::int32_t FPrimitiveCount = 0;
    std::uint8_t FPrimitiveKind = kPrimitiveNone;
    TDXTexture* FCurrentTexture = nullptr;
    std::uint32_t FCurrentBlend = kNoBlendKey;
    std::int32_t FBatchCount = 0;  // batches submitted since the last state reset

protected:
    bool CreateBuffers();
    void PrepareBatch(std::uint8_t kind, std::int32_t verticesNeeded, std::uint32_t key,
                      TDXTexture* texture, std::int32_t indicesNeeded);
    void ResetStates();
    void ApplyBlend(std::uint32_t key);

private:
    void releaseBuffers();
    void emptyBatch();
    bool submitBatch(IDirect3DDevice9& device);

    // Stage 0 reads TEXTUREFACTOR instead of the vertex colour (left by
    // the dot-product code until another key or the next state reset).
    bool m_colorArgIsFactor = false;
};

// The device's canvas; adds nothing of its own.
class TDXDrawCanvas : public TDXCanvas {};

}  // namespace vantoro
