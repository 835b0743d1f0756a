// The image view's side of the main window: the handlers of the view's
// controls, and the hooks where the rendering device, the view's drawing and
// the sound panel attach.
#include <QAction>
#include <QComboBox>
#include <QScrollArea>
#include <QSlider>
#include <QTimer>

#include "app/color_button.h"
#include "app/dialog_seam.h"
#include "app/form_main.h"
#include "shell/decimal_text.h"

namespace vantoro {
namespace {

constexpr double kZoomSteps[] = {0.5, 1.0, 2.0, 4.0, 8.0};  // "50%" to "800%"
constexpr int kCustomZoomIndex = 5;                         // "自定义"
constexpr std::int32_t kImageTextureSide = 1024;

void paintBackground(QWidget* widget, std::uint32_t bgr) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colorFromBgr(bgr));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

void TFormMain::Tool_BlendModeChange() {
    const int index = Tool_BlendMode->currentIndex();
    if (index >= 0) FBlendCode = Tool_BlendMode->itemData(index).toInt();
    const bool custom = index >= 0 && index == BlendCustomIndex;
    Tool_SrcBlend->setEnabled(custom);
    Tool_DestBlend->setEnabled(custom);
    if (custom) Tool_DestBlendChange();
}

// Source factor in the low byte, destination factor in the next; operation 0 (add).
void TFormMain::Tool_DestBlendChange() {
    FBlendCode =
        (Tool_DestBlend->currentIndex() & 0xFF) * 256 + (Tool_SrcBlend->currentIndex() & 0xFF);
}

// A custom zoom is not range-checked: 0 hides the image, a negative one
// mirrors it.
void TFormMain::Tool_ZoomChange() {
    const int index = Tool_Zoom->currentIndex();
    if (index >= 0 && index < kCustomZoomIndex) FZoom = kZoomSteps[index];
    if (index != kCustomZoomIndex) return;
    const auto text = m_dialogs->inputText(this, QStringLiteral("设置缩放比例"),
                                           QStringLiteral("例如：10 代表 10%"), QString());
    if (text) FZoom = parseDecimalInt32(text->toStdString()).value_or(100) / 100.0;
}

void TFormMain::Tool_AlphaChange() {
    UpdateStatusBar();
}

void TFormMain::Tool_BackColorClick() {
    BackColor = Tool_BackColor->colorBgr();
    paintBackground(PanelDraw, BackColor);
    paintBackground(ScrollBox, BackColor);
    UpdateStatusBar();
}

void TFormMain::Tool_BlendColorClick() {
    BlendColor = Tool_BlendColor->colorBgr();
    UpdateStatusBar();
}

void TFormMain::MENU_OPTION_BLENDCOLORClick() {
    ColorButton* button = sender() == MENU_OPTION_BLENDCOLOR ? Tool_BlendColor : Tool_BackColor;
    button->click();
}

// The items flip their own check marks; every frame reads them.
void TFormMain::MENU_OPTION_LEVELClick() {}
void TFormMain::MENU_OPTION_UPRIGHTNESSClick() {}

void TFormMain::MENU_OPTION_BACKIMAGEClick() {
    const auto picture = m_dialogs->openPicture(this);
    if (!picture) return;
    loadBackImage(*picture);
}

// --- Hooks -------------------------------------------------------------------
//
// The window runs as after a device that initialised: the image texture
// lives in plain memory, so a selection decodes into it, and the frame tick
// runs (auto play steps in it). The device takes these places when it lands:
// initializeDevice creates it and answers whether it initialised, its
// initialise and finalise events arrive at MyDeviceInitialize and
// MyDeviceFinalize, and renderFrame draws one frame.

bool TFormMain::initializeDevice() {
    MyDeviceInitialize();
    return true;
}

bool TFormMain::initializeAudio() {
    return true;
}

void TFormMain::MyDeviceInitialize() {
    Timer->start();
    ImageTexture = std::make_unique<TDXImageTexture>();
    ImageTexture->SetSize(kImageTextureSide, kImageTextureSide);
    ImageTexture->SetImageSize(1, 1);
}

void TFormMain::MyDeviceFinalize() {
    Timer->stop();
    ImageTexture.reset();
}

// Render into the scene target with BackColor, Render with BackColor, Flip.
void TFormMain::renderFrame() {}

void TFormMain::loadBackImage(const QString& /*path*/) {}

void TFormMain::stopSound() {}

void TFormMain::releaseSound() {
    SoundStream.reset();
}

}  // namespace vantoro
