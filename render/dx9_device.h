// The one Direct3D 9 device of the program: created for a window, drawn
// through caller-supplied events, presented, kept alive across device loss
// by resetting, and torn down. It owns the sprite canvas and tells it, and
// then its listener, about every change of device state (render/dx9_notify.h).
//
// The Direct3D object, the device, the presentation parameters and the
// capabilities live in sharedDevice() (pixels/shared_device.h), where the
// textures and the canvas read them; only one TDX9Device may be initialised
// at a time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "d3d9/d3d9_records.h"

class IDirect3D9;

namespace vantoro {

class TDXDrawCanvas;
class TDXRenderTargetTexture;
class TDX9Device;

enum class TBitDepth : std::uint8_t { bdLow, bdHigh };

// The handler may veto initialisation by clearing `success`, and may replace
// the error text.
using TInitializeEvent =
    std::function<void(TDX9Device& sender, bool& success, std::string& errorMsg)>;
using TNotifyEvent = std::function<void(TDX9Device& sender)>;
using TDeviceNotifyEvent = std::function<void(TDX9Device& sender, std::uint32_t msg)>;

class TDX9Device {
public:
    TDX9Device();
    // Finalises an initialised device, then frees the canvas.
    ~TDX9Device();

    TDX9Device(const TDX9Device&) = delete;
    TDX9Device& operator=(const TDX9Device&) = delete;

    // Creates the Direct3D object and the device. False on failure, with
    // ErrorMsg() naming the step that failed; nothing stays held then.
    bool Initialize();
    // False when not initialised; otherwise OnFinalize, 0x101, release.
    bool Finalize();

    // `color` is 0x00BBGGRR (the top byte becomes the cleared alpha).
    bool Clear(std::uint32_t color, bool clearDepth);
    bool ClearTarget(std::uint32_t color);  // Clear with depth when DepthBuffer
    bool BeginScene();                      // 0x104 after a successful BeginScene
    bool EndScene();                        // 0x105 before EndScene

    // Clears the back buffer, runs OnRender inside a scene and ends the
    // scene, also when the handler throws. False, doing nothing, unless the
    // device is initialised, doClear is set, the clear succeeds, OnRender is
    // assigned and the scene begins.
    bool Render(std::uint32_t color, bool doClear);
    // Draws into a render-target texture; the device's own target is back in
    // place afterwards whatever happened (also when the clear fails or the
    // handler throws).
    void RenderTo(TDXRenderTargetTexture* target, std::uint32_t color, bool doClear,
                  const TNotifyEvent& handler);
    // Presents the back buffer; handles loss and reset.
    bool Flip();
    // Initialised, and the device would present now: no loss pending, announced
    // or not.
    bool Presentable() const;
    // 0x102, new parameters, reset, 0x103 on success.
    bool ResetDevice();

    // --- Properties ------------------------------------------------------------
    // Width, Height, Windowed, VSync, HardwareTL: stored; reset the device at
    // once when it is initialised. BitDepth: stored, used at the next
    // initialise (and for the back-buffer format at the next reset).
    // Refresh, DepthBuffer, WindowHandle: ignored while initialised.
    std::int32_t Width() const { return m_width; }
    void SetWidth(std::int32_t value);
    std::int32_t Height() const { return m_height; }
    void SetHeight(std::int32_t value);
    TBitDepth BitDepth() const { return m_bitDepth; }
    void SetBitDepth(TBitDepth value) { m_bitDepth = value; }
    std::int32_t Refresh() const { return m_refresh; }
    void SetRefresh(std::int32_t value);
    bool Windowed() const { return m_windowed; }
    void SetWindowed(bool value);
    bool VSync() const { return m_vsync; }
    void SetVSync(bool value);
    bool HardwareTL() const { return m_hardwareTL; }
    void SetHardwareTL(bool value);
    bool LockBackBuffer() const { return m_lockBackBuffer; }
    void SetLockBackBuffer(bool value) { m_lockBackBuffer = value; }
    bool DepthBuffer() const { return m_depthBuffer; }
    void SetDepthBuffer(bool value);
    // The window frames are presented to (null: none, off-screen).
    HWND WindowHandle() const { return m_windowHandle; }
    void SetWindowHandle(HWND value);
    bool AutoInitialize() const { return m_autoInitialize; }  // has no effect
    void SetAutoInitialize(bool value) { m_autoInitialize = value; }

    TInitializeEvent OnInitialize;
    TNotifyEvent OnFinalize;
    TNotifyEvent OnRender;
    TDeviceNotifyEvent OnNotifyEvent;

    // --- State -----------------------------------------------------------------
    bool Initialized() const { return FInitialized; }
    // A loss was announced (0x102) and no reset has succeeded since.
    bool Lost() const { return FLost; }
    // The last initialisation step attempted; meaningful after a failure.
    const std::string& ErrorMsg() const { return FErrorMsg; }
    TDXDrawCanvas& Canvas() const { return *FCanvas; }
    const D3DADAPTER_IDENTIFIER9& AdapterIdentifier() const { return FAdapterIdentifier; }
    std::uint32_t AvailableTextureMemory() const { return FAvailableTextureMemory; }

private:
    bool createAndCheckDevice();
    bool createDevice();
    bool startCanvas();
    void releaseShared();
    void FillPresentParams();
    void UpdatePresentParams();
    D3DFORMAT backBufferFormat() const;
    void resetOnChange();
    // Canvas first, then the listener; answers the canvas's result.
    bool notify(std::uint32_t code);
    HRESULT resetWithCurrentParams();
    HRESULT resetAfterLoss();
    void announceLoss();

    std::int32_t m_width = 800;
    std::int32_t m_height = 600;
    TBitDepth m_bitDepth = TBitDepth::bdLow;
    std::int32_t m_refresh = 0;
    bool m_windowed = true;
    bool m_vsync = true;
    bool m_hardwareTL = true;
    bool m_lockBackBuffer = false;
    bool m_depthBuffer = true;
    HWND m_windowHandle = nullptr;
    bool m_autoInitialize = true;

    bool FInitialized = false;
    bool FLost = false;
    std::string FErrorMsg;
    std::unique_ptr<TDXDrawCanvas> FCanvas;
    D3DADAPTER_IDENTIFIER9 FAdapterIdentifier{};
    std::uint32_t FAvailableTextureMemory = 0;
};

namespace detail {

// Back-buffer candidates in the order each bit depth tries them.
std::array<D3DFORMAT, 5> displayFormatOrder(TBitDepth depth);
// Depth-stencil candidates in the order each bit depth tries them.
std::array<D3DFORMAT, 6> depthFormatOrder(TBitDepth depth);

// The first candidate format with a full-screen mode of exactly width x
// height (and `refresh` Hz, any rate when 0); UNKNOWN when none has one.
D3DFORMAT findDisplayFormat(IDirect3D9& d3d, TBitDepth depth, std::int32_t width,
                            std::int32_t height, std::int32_t refresh);
// The first candidate usable as a depth-stencil surface with that back
// buffer; UNKNOWN when none is.
D3DFORMAT findDepthFormat(IDirect3D9& d3d, TBitDepth depth, D3DFORMAT backBufferFormat);

}  // namespace detail

}  // namespace vantoro
