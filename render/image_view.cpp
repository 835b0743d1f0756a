#include "render/image_view.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "d3d9/d3d9_formats.h"
#include "image_io/picture_reader.h"
#include "io/decimal_text.h"
#include "pixels/dx9_textures.h"
#include "pixels/shared_device.h"
#include "render/dx9_canvas.h"
#include "render/dx9_device.h"
#include "render/dx9_notify.h"

namespace vantoro {
namespace {

constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFF;
constexpr double kZoomOfItem[] = {0.5, 1.0, 2.0, 4.0, 8.0};

// A zoomed side may be any size the user types; past this it is held, so
// the arithmetic of the destination rectangle stays inside 32 bits (an image
// this large covers the view many times over anyway).
constexpr double kMaxScaledSide = 16777216.0;

std::int32_t saturate32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

// side x zoom, rounded to the nearest integer with halves to even.
std::int32_t scaledSide(std::int32_t side, double zoom) {
    const double scaled = std::nearbyint(static_cast<double>(side) * zoom);
    if (std::isnan(scaled)) return 0;
    return static_cast<std::int32_t>(std::clamp(scaled, -kMaxScaledSide, kMaxScaledSide));
}

// One step of a drag along one axis: the new position is held so that at
// least kDragMargin pixels of the panel stay reachable, and below `max`.
std::int32_t draggedPosition(std::int32_t position, std::int64_t delta, std::int32_t panelSide,
                             std::int32_t max) {
    std::int64_t next = position + delta;
    if (next + panelSide < kDragMargin) next = std::int64_t{kDragMargin} - panelSide;
    return saturate32(std::min<std::int64_t>(next, max));
}

std::unique_ptr<TDXImageTexture> makeImageTexture(bool activate) {
    auto texture = std::make_unique<TDXImageTexture>();
    texture->SetSize(kViewTextureSide, kViewTextureSide);
    texture->SetImageSize(1, 1);
    if (activate) {
        texture->SetFormat(D3DFMT_A8R8G8B8);
        texture->SetActive(true);
    }
    return texture;
}

}  // namespace

std::optional<int> blendModeIndex(std::string_view name) {
    for (std::size_t i = 0; i < kBlendModes.size(); ++i) {
        if (kBlendModes[i].name == name) return static_cast<int>(i);
    }
    return std::nullopt;
}

std::optional<int> blendFactorIndex(std::string_view name) {
    for (std::size_t i = 0; i < kBlendFactorNames.size(); ++i) {
        if (kBlendFactorNames[i] == name) return static_cast<int>(i);
    }
    return std::nullopt;
}

std::optional<double> zoomOfItem(int index) {
    if (index < 0 || index >= kZoomCustomIndex) return std::nullopt;
    return kZoomOfItem[index];
}

double customZoom(std::string_view text) {
    return parseDecimalInt32(text).value_or(100) / 100.0;
}

// --- ImageView -------------------------------------------------------------------

ImageView::ImageView() = default;
ImageView::~ImageView() = default;

void ImageView::attachTo(TDX9Device& device) {
    device.OnInitialize = [this](TDX9Device& sender, bool& success, std::string& errorMsg) {
        MyDeviceInitialize(sender, success, errorMsg);
    };
    device.OnFinalize = [this](TDX9Device& sender) { MyDeviceFinalize(sender); };
    device.OnNotifyEvent = [this](TDX9Device& sender, std::uint32_t msg) {
        MyDeviceNotifyEvent(sender, msg);
    };
    device.OnRender = [this](TDX9Device& sender) { MyDeviceRender(sender); };
}

// The success flag is not consulted: the device only calls this once it has
// started. A device that finalised itself during start-up has no device
// interface left, and textures made now would belong to nothing.
void ImageView::MyDeviceInitialize(TDX9Device& sender, bool& /*success*/,
                                   std::string& /*errorMsg*/) {
    ++m_deviceEvents;
    const SharedDevice& shared = sharedDevice();
    if (!sender.Initialized() || shared.device == nullptr) return;
    if (onTimerSwitch) onTimerSwitch(true);
    BackImageTexture = makeImageTexture(true);
    m_hasBackground = false;
    // Inactive until an archive decodes an image into it.
    ImageTexture = makeImageTexture(false);
    FSceneTarget = std::make_unique<TDXRenderTargetTexture>();
    FSceneTarget->SetSize(static_cast<std::int32_t>(shared.presentParams.BackBufferWidth),
                          static_cast<std::int32_t>(shared.presentParams.BackBufferHeight));
    FSceneTarget->SetMipmaps(false);
    FSceneTarget->SetActive(true);
}

void ImageView::MyDeviceFinalize(TDX9Device& /*sender*/) {
    ++m_deviceEvents;
    if (onTimerSwitch) onTimerSwitch(false);
    FSceneTarget.reset();
    ImageTexture.reset();
    BackImageTexture.reset();
    m_hasBackground = false;
}

void ImageView::MyDeviceNotifyEvent(TDX9Device& /*sender*/, std::uint32_t msg) {
    if (msg == NotifyDeviceLost || msg == NotifyDeviceReset) ++m_deviceEvents;
    if (!FSceneTarget) return;
    if (msg == NotifyDeviceLost) FSceneTarget->MarkLost();
    if (msg == NotifyDeviceReset) FSceneTarget->Activate();
}

void ImageView::MyDeviceRender(TDX9Device& sender) {
    if (!FSceneTarget) return;
    const QuadColors white = {kOpaqueWhite, kOpaqueWhite, kOpaqueWhite, kOpaqueWhite};
    sender.Canvas().DrawColored(0, 0, white, kBlendSourceAlpha, FSceneTarget.get(),
                                FSceneTarget->GetBounds());
}

std::uint32_t ImageView::imageColor() const {
    return ((static_cast<std::uint32_t>(alpha) & 0xFF) << 24) | (BlendColor & 0xFFFFFF);
}

IntRect ImageView::imageDestination(std::int32_t width, std::int32_t height) const {
    const std::int32_t w = scaledSide(width, FZoom);
    const std::int32_t h = scaledSide(height, FZoom);
    std::int64_t x = 0;
    std::int64_t y = 0;
    if (placement == ViewPlacement::Centred) {
        // Truncating division: W' = 801 stands at 0, W' = 802 at -1.
        x = alignToOffsets ? std::int64_t{FImageOffsetX} + kAlignOriginX : (kViewWidth - w) / 2;
        y = alignToOffsets ? std::int64_t{FImageOffsetY} + kAlignOriginY : (kViewHeight - h) / 2;
    } else if (placement == ViewPlacement::User) {
        x = alignToOffsets ? std::int64_t{FImageOffsetX} + FUserX : FUserX;
        y = alignToOffsets ? std::int64_t{FImageOffsetY} + FUserY : FUserY;
    }
    return IntRect{saturate32(x), saturate32(y), saturate32(x + w), saturate32(y + h)};
}

void ImageView::DrawScene(TDX9Device& device) {
    TDXCanvas& canvas = device.Canvas();
    if (BackImageTexture && m_hasBackground) {
        canvas.Draw(0, 0, kBlendOpaque, BackImageTexture.get(), BackImageTexture->GetBounds());
    }
    if (!ImageTexture) return;
    const std::uint32_t color = imageColor();
    const QuadColors colors = {color, color, color, color};
    const IntRect bounds = ImageTexture->GetBounds();
    const IntRect dest = imageDestination(bounds.Right, bounds.Bottom);
    if (FZoom != 1.0) {
        canvas.StretchDraw(dest, bounds, flipVertical, flipHorizontal, colors, FBlendCode,
                           ImageTexture.get());
    } else {
        canvas.DrawEx(dest.Left, dest.Top, flipVertical, flipHorizontal, colors, FBlendCode,
                      ImageTexture.get(), bounds);
    }
}

bool ImageView::renderFrame(TDX9Device& device) {
    device.RenderTo(FSceneTarget.get(), BackColor, true,
                    [this](TDX9Device& target) { DrawScene(target); });
    device.Render(BackColor, true);
    return device.Flip();
}

namespace {

TextureFrameState textureFrameState(const TDXTexture* texture) {
    if (!texture) return {};
    return {texture, texture->ContentVersion(), texture->FState, texture->GetWidth(),
            texture->GetHeight()};
}

}  // namespace

ViewFrameState ImageView::frameState() const {
    ViewFrameState state;
    state.backColor = BackColor;
    state.blendColor = BlendColor;
    state.blendCode = FBlendCode;
    state.imageOffsetX = FImageOffsetX;
    state.imageOffsetY = FImageOffsetY;
    state.userX = FUserX;
    state.userY = FUserY;
    state.zoom = FZoom;
    state.placement = placement;
    state.alignToOffsets = alignToOffsets;
    state.flipHorizontal = flipHorizontal;
    state.flipVertical = flipVertical;
    state.alpha = alpha;
    state.hasBackground = m_hasBackground;
    state.background = textureFrameState(BackImageTexture.get());
    state.image = textureFrameState(ImageTexture.get());
    state.sceneTarget = textureFrameState(FSceneTarget.get());
    state.deviceEvents = m_deviceEvents;
    return state;
}

// The state is taken before drawing: a loss or reset during the present
// changes it, so the frame is drawn again on the next tick. A frame that was
// not presented is tried again too.
bool ImageView::renderFrameIfChanged(TDX9Device& device) {
    const ViewFrameState state = frameState();
    if (m_presented && *m_presented == state && device.Presentable()) return false;
    const bool presented = renderFrame(device);
    m_presented = presented ? std::optional<ViewFrameState>(state) : std::nullopt;
    return true;
}

// The picture's rows go to the texture as they are: B, G, R and a fourth
// byte that becomes the texel's alpha, which the opaque background draw
// ignores. Texels outside the picture keep what they held.
bool ImageView::loadBackground(const Picture& picture) {
    if (!BackImageTexture || BackImageTexture->FFormat != D3DFMT_A8R8G8B8) return false;
    const std::int32_t width =
        static_cast<std::int32_t>(std::min<std::uint32_t>(BackImageTexture->FWidth, picture.width));
    const std::int32_t height = static_cast<std::int32_t>(
        std::min<std::uint32_t>(BackImageTexture->FHeight, picture.height));
    if (width <= 0 || height <= 0) return false;
    TDXLockedRect rect;
    if (!BackImageTexture->Lock(kLockWrite, rect)) return false;
    auto* bits = static_cast<std::uint8_t*>(rect.Bits);
    for (std::int32_t y = 0; y < height; ++y) {
        std::memcpy(bits + static_cast<std::ptrdiff_t>(y) * rect.Pitch,
                    picture.row(static_cast<std::uint32_t>(y)),
                    static_cast<std::size_t>(width) * 4);
    }
    BackImageTexture->SetImageSize(width, height);
    BackImageTexture->Unlock();
    m_hasBackground = true;
    return true;
}

void ImageView::PanelDrawMouseDown(std::int32_t x, std::int32_t y) {
    FLastMouseX = x;
    FLastMouseY = y;
    FDragging = placement == ViewPlacement::User;
}

bool ImageView::PanelDrawMouseMove(std::int32_t x, std::int32_t y, std::int32_t panelWidth,
                                   std::int32_t panelHeight) {
    if (!FDragging || (x == FLastMouseX && y == FLastMouseY)) return false;
    FUserX = draggedPosition(FUserX, std::int64_t{x} - FLastMouseX, panelWidth, kDragMaxX);
    FUserY = draggedPosition(FUserY, std::int64_t{y} - FLastMouseY, panelHeight, kDragMaxY);
    FLastMouseX = x;
    FLastMouseY = y;
    return true;
}

void ImageView::PanelDrawMouseUp() {
    FDragging = false;
}

// --- FrameKeeper -----------------------------------------------------------------

void FrameKeeper::presentFrame(const d3d9::PresentedFrame& frame) {
    ++m_frames;
    if (frame.bits == nullptr || frame.width <= 0 || frame.height <= 0) return;
    m_width = frame.width;
    m_height = frame.height;
    m_pixels.resize(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height));
    // 32-bit back buffers are already 0xXXRRGGBB: a copy and an opaque top
    // byte; other formats go through the texel conversion.
    const bool wide = frame.format == D3DFMT_X8R8G8B8 || frame.format == D3DFMT_A8R8G8B8;
    for (std::int32_t y = 0; y < m_height; ++y) {
        std::uint32_t* out = m_pixels.data() + static_cast<std::size_t>(y) * m_width;
        if (!wide) {
            d3d9::frameRowToRgb32(frame, y, out);
            continue;
        }
        std::memcpy(out, frame.bits + static_cast<std::ptrdiff_t>(y) * frame.pitch,
                    static_cast<std::size_t>(m_width) * 4);
        for (std::int32_t x = 0; x < m_width; ++x) out[x] |= 0xFF000000u;
    }
}

}  // namespace vantoro
