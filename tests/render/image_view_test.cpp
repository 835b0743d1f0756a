#include "render/image_view.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>

#include "d3d9/d3d9_adapter.h"
#include "d3d9/d3d9_device.h"
#include "d3d9/d3d9_formats.h"
#include "image_io/picture_reader.h"
#include "pixels/dx9_textures.h"
#include "pixels/shared_device.h"
#include "render/dx9_device.h"

namespace vantoro {
namespace {

constexpr std::uint32_t kGrey = 0xFF808080;  // the start BackColor as presented, 0xFFRRGGBB

using TexelFill = std::function<std::uint32_t(int, int)>;  // 0xAARRGGBB

// An image whose every texel is different: red = x, green = y, blue 0x40.
std::uint32_t gradient(int x, int y) {
    return 0xFF000040u | (static_cast<std::uint32_t>(x & 0xFF) << 16) |
           (static_cast<std::uint32_t>(y & 0xFF) << 8);
}

// The device of the main window, off-screen, with the view's handlers.
class ImageViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.onTimerSwitch = [this](bool on) { timerSwitches.push_back(on); };
        view.attachTo(device);
        device.SetVSync(false);
        device.SetWindowHandle(&window);
        ASSERT_TRUE(device.Initialize()) << device.ErrorMsg();
    }

    // Fills the image texture the way an archive decodes an entry into it.
    void showImage(int width, int height, const TexelFill& texel = gradient) {
        TDXImageTexture& texture = *view.ImageTexture;
        texture.SetActive(false);
        texture.SetFormat(D3DFMT_A8R8G8B8);
        texture.SetSize(kViewTextureSide, kViewTextureSide);
        texture.SetImageSize(width, height);
        ASSERT_TRUE(texture.SetActive(true));
        TDXLockedRect rect;
        ASSERT_TRUE(texture.Lock(kLockWrite, rect));
        for (int y = 0; y < height; ++y) {
            auto* row =
                static_cast<std::uint8_t*>(rect.Bits) + static_cast<std::ptrdiff_t>(y) * rect.Pitch;
            for (int x = 0; x < width; ++x) {
                const std::uint32_t value = texel(x, y);
                std::memcpy(row + x * 4, &value, 4);
            }
        }
        texture.Unlock();
    }

    // One frame tick's drawing, then the presented pixel (0xFFRRGGBB).
    std::uint32_t drawnAt(int x, int y) {
        view.renderFrame(device);
        return window.pixel(x, y);
    }

    // The bounding box of the pixels that differ from the background.
    IntRect drawnBox() {
        view.renderFrame(device);
        IntRect box{kViewWidth, kViewHeight, -1, -1};
        for (int y = 0; y < window.height(); ++y) {
            for (int x = 0; x < window.width(); ++x) {
                if (window.pixel(x, y) == kGrey) continue;
                box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
                       std::max(box.Bottom, y + 1)};
            }
        }
        return box;
    }

    std::vector<bool> timerSwitches;
    FrameKeeper window;
    ImageView view;  // outlives the device, which calls it when finalising
    TDX9Device device;
};

bool sameRect(const IntRect& a, const IntRect& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

TEST_F(ImageViewTest, DeviceStartCreatesTheTexturesAndFinalizeFreesThem) {
    EXPECT_EQ(timerSwitches, std::vector<bool>{true});
    ASSERT_TRUE(view.BackImageTexture && view.ImageTexture && view.FSceneTarget);
    EXPECT_TRUE(view.BackImageTexture->IsActive());
    EXPECT_EQ(view.BackImageTexture->FFormat, static_cast<std::uint32_t>(D3DFMT_A8R8G8B8));
    EXPECT_EQ(view.BackImageTexture->FWidth, 1024);
    EXPECT_EQ(view.BackImageTexture->GetWidth(), 1);
    EXPECT_FALSE(view.ImageTexture->IsActive());
    EXPECT_EQ(view.ImageTexture->FHeight, 1024);
    EXPECT_TRUE(view.FSceneTarget->IsActive());
    EXPECT_EQ(view.FSceneTarget->FKind, 3);
    EXPECT_EQ(view.FSceneTarget->FWidth, 800);
    EXPECT_EQ(view.FSceneTarget->FHeight, 600);
    EXPECT_EQ(view.FSceneTarget->FFormat, sharedDevice().presentParams.BackBufferFormat);

    // Nothing decoded and no background picture: the whole frame is the
    // background colour, the top-left corner included.
    EXPECT_TRUE(sameRect(drawnBox(), IntRect{800, 600, -1, -1}));
    EXPECT_EQ(window.framesPresented(), 1);
    EXPECT_EQ(window.pixel(0, 0), kGrey);

    device.Finalize();
    EXPECT_EQ(timerSwitches, (std::vector<bool>{true, false}));
    EXPECT_FALSE(view.BackImageTexture || view.ImageTexture || view.FSceneTarget);
}

TEST(ImageViewStartTest, NoTexturesOnADeviceThatFinalisedItselfOrNeverStarted) {
    ImageView view;
    bool timerStarted = false;
    view.onTimerSwitch = [&](bool on) { timerStarted = timerStarted || on; };
    TDX9Device idle;
    bool success = true;
    std::string message;
    view.MyDeviceInitialize(idle, success, message);
    EXPECT_FALSE(view.ImageTexture || view.BackImageTexture || view.FSceneTarget);

    d3d9::AdapterDescription adapter = d3d9::AdapterDescription::standard();
    adapter.refuseBuffers = true;  // the canvas cannot start
    d3d9::ScopedAdapter scope(adapter);
    TDX9Device device;
    view.attachTo(device);
    EXPECT_FALSE(device.Initialize());
    EXPECT_FALSE(view.ImageTexture || view.BackImageTexture || view.FSceneTarget);
    EXPECT_FALSE(timerStarted);
}

// A 16-bit desktop gives an R5G6B5 back buffer and scene target; the kept
// frame is widened to 0xFFRRGGBB all the same.
TEST(ImageViewStartTest, SixteenBitBackBufferIsPresentedAsRgb) {
    d3d9::AdapterDescription adapter = d3d9::AdapterDescription::standard();
    adapter.desktopMode.Format = D3DFMT_R5G6B5;
    d3d9::ScopedAdapter scope(adapter);
    FrameKeeper window;
    ImageView view;
    TDX9Device device;
    view.attachTo(device);
    device.SetWindowHandle(&window);
    ASSERT_TRUE(device.Initialize()) << device.ErrorMsg();
    EXPECT_EQ(view.FSceneTarget->FFormat, static_cast<std::uint32_t>(D3DFMT_R5G6B5));
    view.BackColor = 0x0000FF;  // red
    view.renderFrame(device);
    ASSERT_EQ(window.width(), 800);
    EXPECT_EQ(window.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(window.pixel(799, 599), 0xFFFF0000u);
}

TEST_F(ImageViewTest, CentredImagesStandInTheMiddleWithTruncatingDivision) {
    view.placement = ViewPlacement::Centred;
    showImage(100, 50);
    EXPECT_TRUE(sameRect(drawnBox(), IntRect{350, 275, 450, 325}));
    EXPECT_EQ(window.pixel(350, 275), gradient(0, 0));
    EXPECT_EQ(window.pixel(449, 324), gradient(99, 49));

    view.FZoom = 0.5;  // W' 50, H' 25
    EXPECT_TRUE(sameRect(drawnBox(), IntRect{375, 287, 425, 312}));

    view.FZoom = 1.0;
    showImage(801, 2);  // (800 - 801) / 2 = 0
    EXPECT_EQ(view.imageDestination(801, 2).Left, 0);
    EXPECT_EQ(drawnAt(0, 299), gradient(0, 0));
    EXPECT_EQ(window.pixel(799, 299), gradient(799, 0));
    showImage(802, 2);  // (800 - 802) / 2 = -1: column 0 shows the image's column 1
    EXPECT_EQ(view.imageDestination(802, 2).Left, -1);
    EXPECT_EQ(drawnAt(0, 299), gradient(1, 0));
}

TEST_F(ImageViewTest, ZoomedSidesRoundHalvesToEven) {
    view.placement = ViewPlacement::Origin;
    view.FZoom = 0.5;
    EXPECT_EQ(view.imageDestination(5, 7).Right, 2);   // 2.5 -> 2
    EXPECT_EQ(view.imageDestination(5, 7).Bottom, 4);  // 3.5 -> 4
    view.FZoom = 1.5;
    EXPECT_EQ(view.imageDestination(3, 1).Right, 4);  // 4.5 -> 4
}

TEST_F(ImageViewTest, AlignedAndUserPlacementsUseTheImageOffsets) {
    showImage(10, 10);
    view.FImageOffsetX = -30;
    view.FImageOffsetY = 12;
    view.placement = ViewPlacement::Centred;
    view.alignToOffsets = true;  // offsets + (266, 200), whatever the size
    EXPECT_TRUE(sameRect(drawnBox(), IntRect{236, 212, 246, 222}));

    view.placement = ViewPlacement::User;
    view.FUserX = 100;
    view.FUserY = 50;
    EXPECT_TRUE(sameRect(drawnBox(), IntRect{70, 62, 80, 72}));
    view.alignToOffsets = false;
    EXPECT_TRUE(sameRect(drawnBox(), IntRect{100, 50, 110, 60}));

    view.placement = ViewPlacement::Origin;  // neither button down
    view.alignToOffsets = true;
    EXPECT_TRUE(sameRect(drawnBox(), IntRect{0, 0, 10, 10}));
}

TEST_F(ImageViewTest, DraggingMovesTheUserPositionWithinItsLimits) {
    view.PanelDrawMouseDown(10, 10);
    EXPECT_TRUE(view.FDragging);
    EXPECT_FALSE(view.PanelDrawMouseMove(10, 10, 800, 600));  // the same point
    EXPECT_TRUE(view.PanelDrawMouseMove(25, 5, 800, 600));
    EXPECT_EQ(view.FUserX, 15);
    EXPECT_EQ(view.FUserY, -5);
    view.PanelDrawMouseMove(5000, 5000, 800, 600);
    EXPECT_EQ(view.FUserX, 740);
    EXPECT_EQ(view.FUserY, 540);
    view.PanelDrawMouseMove(-5000, -5000, 800, 600);
    EXPECT_EQ(view.FUserX, -740);  // 60 - panel width
    EXPECT_EQ(view.FUserY, -540);
    view.PanelDrawMouseMove(-5100, -5100, 100, 50);  // a smaller panel holds it closer
    EXPECT_EQ(view.FUserX, -40);
    EXPECT_EQ(view.FUserY, 10);
    view.PanelDrawMouseUp();
    EXPECT_FALSE(view.PanelDrawMouseMove(0, 0, 800, 600));

    // Centred: a drag moves nothing; back at the user position the last
    // dragged position shows.
    view.placement = ViewPlacement::Centred;
    view.PanelDrawMouseDown(0, 0);
    EXPECT_FALSE(view.PanelDrawMouseMove(300, 300, 800, 600));
    view.placement = ViewPlacement::User;
    showImage(50, 4);
    EXPECT_TRUE(sameRect(drawnBox(), IntRect{0, 10, 10, 14}));  // from x = -40
}

TEST_F(ImageViewTest, FlipsMirrorTheImageInPlace) {
    showImage(3, 2);
    view.flipHorizontal = true;
    EXPECT_EQ(drawnAt(0, 0), gradient(2, 0));
    EXPECT_EQ(window.pixel(2, 1), gradient(0, 1));
    view.flipVertical = true;
    EXPECT_EQ(drawnAt(0, 0), gradient(2, 1));
    view.flipHorizontal = false;
    EXPECT_EQ(drawnAt(0, 0), gradient(0, 1));
}

TEST_F(ImageViewTest, CustomZoomTextsAndWhatTheyDraw) {
    EXPECT_EQ(customZoom("abc"), 1.0);
    EXPECT_EQ(customZoom("10"), 0.1);
    EXPECT_EQ(customZoom(""), 1.0);
    EXPECT_EQ(customZoom("-100"), -1.0);
    EXPECT_EQ(zoomOfItem(0), 0.5);
    EXPECT_EQ(zoomOfItem(4), 8.0);
    EXPECT_FALSE(zoomOfItem(kZoomCustomIndex).has_value());

    view.placement = ViewPlacement::Centred;
    showImage(100, 50);
    view.FZoom = customZoom("0");  // nothing left to draw
    EXPECT_TRUE(sameRect(drawnBox(), IntRect{800, 600, -1, -1}));

    // -100 %: the same place, mirrored both ways through the stretch.
    view.FZoom = customZoom("-100");
    EXPECT_TRUE(sameRect(drawnBox(), IntRect{350, 275, 450, 325}));
    EXPECT_EQ(window.pixel(350, 275), gradient(99, 49));
    EXPECT_EQ(window.pixel(449, 324), gradient(0, 0));

    // A zoom far beyond the view stays quick and shows the image's middle.
    showImage(100, 50, [](int x, int y) { return x < 40 || y < 20 ? 0xFF000000u : 0xFF123456u; });
    view.FZoom = customZoom("2000000");  // 20000 times
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(drawnAt(400, 300), 0xFF123456u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(ImageViewTest, AlphaZeroHidesTheImageUnlessBlendingIsOff) {
    showImage(4, 4);
    view.alpha = 0;
    view.FBlendCode = kBlendModes[kBlendDefaultIndex].code;
    EXPECT_EQ(drawnAt(1, 1), kGrey);  // every texel fails the alpha test
    view.FBlendCode = kBlendModes[*blendModeIndex("Blend_None")].code;
    EXPECT_EQ(drawnAt(1, 1), gradient(1, 1));

    // Half alpha over the grey background, and the custom mode naming the
    // default's factors draws the same.
    view.alpha = 128;
    view.FBlendCode = kBlendModes[kBlendDefaultIndex].code;
    const std::uint32_t blended = drawnAt(3, 3);
    const std::uint32_t red = (blended >> 16) & 0xFF;  // 3 * 128/255 + 128 * 127/255
    EXPECT_NEAR(static_cast<int>(red), 65, 1);
    view.FBlendCode =
        customBlendCode(*blendFactorIndex("SrcAlpha"), *blendFactorIndex("InvSrcAlpha"));
    EXPECT_EQ(view.FBlendCode, 0x504u);
    EXPECT_EQ(drawnAt(3, 3), blended);
}

TEST_F(ImageViewTest, BlendColourMultipliesTheImage) {
    showImage(2, 2, [](int, int) { return 0xFFFFFFFFu; });
    view.BlendColor = 0x0000FF;  // 0x00BBGGRR: red only
    EXPECT_EQ(drawnAt(0, 0), 0xFFFF0000u);
    view.BlendColor = 0x80FF00;  // green full, blue half
    EXPECT_EQ(drawnAt(1, 1), 0xFF00FF80u);
    EXPECT_EQ(view.imageColor(), 0xFF80FF00u);
}

Picture testPicture(std::uint32_t width, std::uint32_t height) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<std::size_t>(width) * height * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* p = picture.row(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = static_cast<std::uint8_t>(x ^ y);
            p[3] = 0;  // alpha 0: the opaque background draw ignores it
        }
    }
    return picture;
}

TEST_F(ImageViewTest, BackgroundPictureIsCutToTheTextureAndDrawnOpaque) {
    ASSERT_TRUE(view.loadBackground(testPicture(1100, 1030)));
    EXPECT_EQ(view.BackImageTexture->GetWidth(), 1024);
    EXPECT_EQ(view.BackImageTexture->GetHeight(), 1024);
    TDXLockedRect rect;
    ASSERT_TRUE(view.BackImageTexture->Lock(kLockRead, rect));
    const std::uint8_t* corner =
        static_cast<const std::uint8_t*>(rect.Bits) + 1023 * rect.Pitch + 1023 * 4;
    EXPECT_EQ(corner[0], 0xFF);  // the picture's pixel (1023, 1023)
    EXPECT_EQ(corner[1], 0xFF);
    view.BackImageTexture->Unlock();
    EXPECT_EQ(drawnAt(5, 3), 0xFF000000u | ((5u ^ 3u) << 16) | (3u << 8) | 5u);

    // A smaller picture later: the image shrinks to it.
    ASSERT_TRUE(view.loadBackground(testPicture(20, 10)));
    EXPECT_EQ(view.BackImageTexture->GetWidth(), 20);
    EXPECT_EQ(drawnAt(25, 3), kGrey);
}

TEST_F(ImageViewTest, DeviceLossReleasesTheSceneTargetAndTheResetBringsItBack) {
    showImage(3, 3);
    ASSERT_EQ(drawnAt(1, 1), gradient(1, 1));
    IDirect3DDevice9& d3d = *sharedDevice().device;
    d3d.loseDevice();
    view.renderFrame(device);
    EXPECT_TRUE(device.Lost());
    EXPECT_EQ(view.FSceneTarget->FState, kTextureLost);
    view.renderFrame(device);  // still lost: nothing to draw into, no reset
    EXPECT_EQ(view.FSceneTarget->FState, kTextureLost);

    d3d.endDeviceLoss();
    view.renderFrame(device);  // this Flip resets
    EXPECT_FALSE(device.Lost());
    EXPECT_TRUE(view.FSceneTarget->IsActive());
    EXPECT_TRUE(view.ImageTexture->IsActive());  // managed: kept with its texels
    EXPECT_EQ(drawnAt(1, 1), gradient(1, 1));
}

}  // namespace
}  // namespace vantoro
