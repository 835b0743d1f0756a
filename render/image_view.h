// The large image view of the main window, without the window: its settings
// (background and blend colours, blend code, alpha, zoom, flips, where the
// image stands, the dragged position), the three textures it keeps on the
// device, the device's events, and what one frame draws.
//
// The window owns the device and one ImageView, hands the view's handlers to
// the device (attachTo), forwards its controls to the fields below, and runs
// renderFrame on every tick of its 10 ms timer.
//
// Colours are the window system's 0x00BBGGRR. The view is 800 x 600: the
// device's back buffer has that size, and centring uses those fixed numbers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "d3d9/d3d9_presenter.h"
#include "pixels/dx9_types.h"

namespace vantoro {

class TDX9Device;
class TDXImageTexture;
class TDXRenderTargetTexture;
struct Picture;

inline constexpr std::int32_t kViewWidth = 800;
inline constexpr std::int32_t kViewHeight = 600;
// Both image textures: the largest picture part they hold.
inline constexpr std::int32_t kViewTextureSide = 1024;
// Centred and aligned: the image's own drawing offsets from this point.
inline constexpr std::int32_t kAlignOriginX = 266;
inline constexpr std::int32_t kAlignOriginY = 200;
// Dragging keeps at least this much of the panel reachable: the dragged
// position stays within [kDragMargin - panel side, kDragMaxX or kDragMaxY].
inline constexpr std::int32_t kDragMargin = 60;
inline constexpr std::int32_t kDragMaxX = 740;
inline constexpr std::int32_t kDragMaxY = 540;

// --- Blend modes, factors and zoom: the items of the view's lists --------------

struct BlendMode {
    std::string_view name;
    std::uint32_t code;
};

inline constexpr std::array<BlendMode, 12> kBlendModes = {{
    {"Blend_None", 0x000001},
    {"Blend_Default", 0x000504},
    {"Blend_Anti", 0x000109},
    {"Blend_AlphaAdd", 0x000104},
    {"Blend_AlphaAdd2", 0x000101},
    {"Blend_AlphaAdd3", 0x000302},
    {"Blend_AlphaAdd4", 0x7FFFFFF0},
    {"Blend_ColorAdd", 0x000102},
    {"Blend_Shadow", 0x000500},
    {"Blend_Bright", 0x000201},
    {"Blend_IgnoreColor", 0x7FFFFFF6},
    {"Blend_Custom", 0x000001},
}};
inline constexpr int kBlendDefaultIndex = 1;
inline constexpr int kBlendCustomIndex = 11;

// Index = factor index of a blend code.
inline constexpr std::array<std::string_view, 15> kBlendFactorNames = {
    "Zero",        "One",          "SrcColor",        "InvSrcColor", "SrcAlpha",
    "InvSrcAlpha", "DestAlpha",    "InvDestAlpha",    "DestColor",   "InvDestColor",
    "SrcAlphasat", "BothSrcAlpha", "BothInvSrcAlpha", "BlendFactor", "InvBlendFactor"};
inline constexpr int kSrcFactorStartIndex = 1;   // "One"
inline constexpr int kDestFactorStartIndex = 0;  // "Zero"

// Exact names; nothing for a name not in the list.
std::optional<int> blendModeIndex(std::string_view name);
std::optional<int> blendFactorIndex(std::string_view name);

// The custom mode: destination factor in the second byte, source factor in
// the first, operation 0 (add).
constexpr std::uint32_t customBlendCode(int srcIndex, int destIndex) {
    return (static_cast<std::uint32_t>(destIndex) & 0xFF) * 256 +
           (static_cast<std::uint32_t>(srcIndex) & 0xFF);
}

inline constexpr std::array<std::string_view, 6> kZoomItems = {"50%",  "100%", "200%",
                                                               "400%", "800%", "自定义"};
inline constexpr int kZoomStartIndex = 1;
inline constexpr int kZoomCustomIndex = 5;

// The zoom of a fixed item (0..4); nothing for the custom item or outside.
std::optional<double> zoomOfItem(int index);
// The custom zoom box's answer: the text as a whole number of per cent,
// 100 when it is not one. Neither 0 nor negative values are refused: 0
// hides the image, a negative zoom mirrors it.
double customZoom(std::string_view text);

// --- The view -------------------------------------------------------------------

// Where the image stands: at the dragged position (the "自定义位置" button),
// centred ("居中显示"), or, with neither button down, at the origin.
enum class ViewPlacement : std::uint8_t { Origin, User, Centred };

// What a texture contributes to a frame, short of its pixels: which texture,
// its state and size, and how often it changed.
struct TextureFrameState {
    const void* texture = nullptr;
    std::uint64_t version = 0;
    std::uint8_t state = 0;
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    bool operator==(const TextureFrameState&) const = default;
};

// Everything a frame of the view is drawn from; equal states draw equal
// frames.
struct ViewFrameState {
    std::uint32_t backColor = 0, blendColor = 0, blendCode = 0;
    std::int32_t imageOffsetX = 0, imageOffsetY = 0, userX = 0, userY = 0;
    double zoom = 0;
    ViewPlacement placement = ViewPlacement::User;
    bool alignToOffsets = false, flipHorizontal = false, flipVertical = false;
    std::int32_t alpha = 0;
    bool hasBackground = false;
    TextureFrameState background, image, sceneTarget;
    std::uint64_t deviceEvents = 0;
    bool operator==(const ViewFrameState&) const = default;
};

class ImageView {
public:
    ImageView();
    ~ImageView();
    ImageView(const ImageView&) = delete;
    ImageView& operator=(const ImageView&) = delete;

    // Makes the four handlers below the device's events. The view must
    // outlive the device's use of them.
    void attachTo(TDX9Device& device);

    // --- Device events ----------------------------------------------------------
    // Starts the frame timer and creates the three textures; nothing on a
    // device that is not (or no longer) initialised.
    void MyDeviceInitialize(TDX9Device& sender, bool& success, std::string& errorMsg);
    // Stops the frame timer and frees the textures.
    void MyDeviceFinalize(TDX9Device& sender);
    // The scene target lives in device memory: released on loss, re-created
    // after the reset.
    void MyDeviceNotifyEvent(TDX9Device& sender, std::uint32_t msg);
    // Copies the scene target onto the back buffer.
    void MyDeviceRender(TDX9Device& sender);

    // Draws the background picture and the image into the current target.
    void DrawScene(TDX9Device& device);
    // The drawing steps of one frame tick: the scene into its target, the
    // target onto the back buffer, present. Answers whether it was presented.
    bool renderFrame(TDX9Device& device);
    // renderFrame unless the frame would show what the last presented one
    // shows: same settings, textures and device, nothing exposed since, and
    // a device that can present. Answers whether it drew.
    bool renderFrameIfChanged(TDX9Device& device);
    // The next renderFrameIfChanged draws (the window was exposed).
    void invalidateFrame() { m_presented.reset(); }
    ViewFrameState frameState() const;

    // Where the image of `width` x `height` goes this frame: (X, Y) and
    // (X + W', Y + H'), W' and H' the zoomed sides (rounded half to even).
    IntRect imageDestination(std::int32_t width, std::int32_t height) const;

    // The background picture's top-left 1024 x 1024 pixels into the
    // background texture. False, changing nothing, without the texture or
    // when it cannot be locked.
    bool loadBackground(const Picture& picture);

    // Dragging on the panel. A move answers whether the dragged position
    // changed (the window then refreshes its status bar).
    void PanelDrawMouseDown(std::int32_t x, std::int32_t y);
    bool PanelDrawMouseMove(std::int32_t x, std::int32_t y, std::int32_t panelWidth,
                            std::int32_t panelHeight);
    void PanelDrawMouseUp();

    // The colour of the image's four corners: alpha on top, blend colour below.
    std::uint32_t imageColor() const;

    // Called with true when the device has started the view, false when it
    // ends it: the window's frame timer follows.
    std::function<void(bool)> onTimerSwitch;

    std::uint32_t BackColor = 0x808080;
    std::uint32_t BlendColor = 0xFFFFFF;
    std::uint32_t FBlendCode = 0x000504;
    std::int32_t FImageOffsetX = 0;  // the selected image's drawing offsets
    std::int32_t FImageOffsetY = 0;
    std::int32_t FUserX = 0;  // the dragged position
    std::int32_t FUserY = 0;
    double FZoom = 1.0;
    std::int32_t FLastMouseX = 0;
    std::int32_t FLastMouseY = 0;
    bool FDragging = false;
    ViewPlacement placement = ViewPlacement::User;
    bool alignToOffsets = false;  // "对齐坐标"
    bool flipHorizontal = false;  // "水平翻转(&L)"
    bool flipVertical = false;    // "垂直倒转(&R)"
    std::int32_t alpha = 255;     // the alpha track bar, 0..255

    // Exist from the device's initialise event to its finalise event.
    std::unique_ptr<TDXImageTexture> BackImageTexture;
    std::unique_ptr<TDXImageTexture> ImageTexture;  // the selection decodes into it
    std::unique_ptr<TDXRenderTargetTexture> FSceneTarget;

private:
    // The background texture holds a picture (until then its one texel
    // would show as a black dot in the corner).
    bool m_hasBackground = false;
    // Device starts, ends, losses and resets seen.
    std::uint64_t m_deviceEvents = 0;
    // What the last presented frame was drawn from; none: draw the next one.
    std::optional<ViewFrameState> m_presented;
};

// A window for a device without a screen: keeps the last presented frame as
// 0xFFRRGGBB pixels, row after row.
class FrameKeeper final : public d3d9::Presenter {
public:
    void presentFrame(const d3d9::PresentedFrame& frame) override;

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    int framesPresented() const { return m_frames; }
    const std::vector<std::uint32_t>& pixels() const { return m_pixels; }
    std::uint32_t pixel(std::int32_t x, std::int32_t y) const {
        return m_pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
                        static_cast<std::size_t>(x)];
    }

private:
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    int m_frames = 0;
    std::vector<std::uint32_t> m_pixels;
};

}  // namespace vantoro
