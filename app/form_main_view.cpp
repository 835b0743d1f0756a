// The image view's side of the main window: the device and its start, the
// drawing steps of the frame tick, the handlers of the view's controls,
// dragging on PanelDraw and the background picture; and the hooks where the
// sound panel attaches. What a frame draws, and the view's settings, live in
// ImageView (render/image_view.h); the handlers here read the controls and
// the dialogs and hand the values over.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QScrollArea>
#include <QSlider>
#include <QTimer>
#include <cstring>
#include <span>

#include "app/color_button.h"
#include "app/dialog_seam.h"
#include "app/draw_panel.h"
#include "app/file_name.h"
#include "app/form_main.h"
#include "app/music_panel.h"
#include "image_io/picture_reader.h"
#include "render/dx9_device.h"

namespace vantoro {
namespace {

const char kMessageCaption[] = "提示信息";

void paintBackground(QWidget* widget, std::uint32_t bgr) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colorFromBgr(bgr));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// A Qt image as picture rows: ARGB32 keeps B, G, R, A in memory order.
Picture pictureOf(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    Picture picture;
    picture.width = static_cast<std::uint32_t>(image.width());
    picture.height = static_cast<std::uint32_t>(image.height());
    picture.hasAlpha = image.hasAlphaChannel();
    picture.pixels.resize(picture.stride() * picture.height);
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        std::memcpy(picture.row(y), image.constScanLine(static_cast<int>(y)), picture.stride());
    }
    return picture;
}

PictureKind pictureKindOfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return PictureKind::Unknown;
    const QByteArray head = file.read(8);
    return pictureKindOf(std::span(reinterpret_cast<const std::uint8_t*>(head.constData()),
                                   static_cast<std::size_t>(head.size())));
}

// The picture dialog offers every format Qt reads; BMP, PNG and JPEG go
// through the program's own reader (and fail with its reason), anything
// else through Qt.
Result<Picture> loadPictureFile(const QString& path) {
    Result<Picture> read = readPicture(nameBytes(path));
    if (read || pictureKindOfFile(path) != PictureKind::Unknown) return read;
    const QImage image(path);
    if (image.isNull()) return read;
    if (static_cast<std::uint64_t>(image.width()) * image.height() > kMaxPicturePixels) {
        return fail(path.toStdString() + ": picture too large");
    }
    return pictureOf(image);
}

}  // namespace

// The picture formats the background accepts: the program's own readers and
// every format Qt reads here, upper case, JPG folded into JPEG.
QStringList backgroundPictureFormats() {
    QStringList formats = {QStringLiteral("BMP"), QStringLiteral("JPEG"), QStringLiteral("PNG")};
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        const QString name = QString::fromLatin1(format).toUpper();
        if (name != QStringLiteral("JPG")) formats << name;
    }
    formats.sort();
    formats.removeDuplicates();
    return formats;
}

// --- The device ------------------------------------------------------------------

// PanelDraw is the device's window, sized to the device; the view's handlers
// are its events, and the view's start and end switch the frame timer.
bool TFormMain::initializeDevice() {
    MyDevice = std::make_unique<TDX9Device>();
    MyDevice->SetBitDepth(TBitDepth::bdLow);
    MyDevice->SetVSync(false);
    MyDevice->SetAutoInitialize(false);
    View.onTimerSwitch = [this](bool on) { on ? Timer->start() : Timer->stop(); };
    View.attachTo(*MyDevice);
    PanelDraw->setGeometry(0, 0, MyDevice->Width(), MyDevice->Height());
    MyDevice->SetWindowHandle(PanelDraw);
    if (MyDevice->Initialize()) return true;
    m_dialogs->message(this, {QString::fromUtf8(kMessageCaption),
                              QStringLiteral("初始化设备失败, error ") +
                                  QString::fromStdString(MyDevice->ErrorMsg()),
                              MessageIcon::Error});
    return false;
}

// The frame tick's drawing steps read the controls as they stand.
void TFormMain::syncViewControls() {
    View.placement = Tool_Middle->isChecked()   ? ViewPlacement::Centred
                     : Tool_Random->isChecked() ? ViewPlacement::User
                                                : ViewPlacement::Origin;
    View.alignToOffsets = Tool_Position->isChecked();
    View.flipHorizontal = MENU_OPTION_LEVEL->isChecked();
    View.flipVertical = MENU_OPTION_UPRIGHTNESS->isChecked();
    View.alpha = Tool_Alpha->value();
}

// The scene into its target, the target onto the back buffer, present;
// nothing while the frame would show what the screen already shows.
void TFormMain::renderFrame() {
    if (!MyDevice || !MyDevice->Initialized()) return;
    syncViewControls();
    View.renderFrameIfChanged(*MyDevice);
}

// --- The view's controls ---------------------------------------------------------

void TFormMain::Tool_BlendModeChange() {
    const int index = Tool_BlendMode->currentIndex();
    if (index >= 0) View.FBlendCode = Tool_BlendMode->itemData(index).toUInt();
    const bool custom = index >= 0 && index == BlendCustomIndex;
    Tool_SrcBlend->setEnabled(custom);
    Tool_DestBlend->setEnabled(custom);
    if (custom) Tool_DestBlendChange();
}

void TFormMain::Tool_DestBlendChange() {
    View.FBlendCode =
        customBlendCode(Tool_SrcBlend->currentIndex(), Tool_DestBlend->currentIndex());
}

// The list keeps showing "自定义" after a custom zoom; Cancel changes nothing.
void TFormMain::Tool_ZoomChange() {
    const int index = Tool_Zoom->currentIndex();
    if (const auto zoom = zoomOfItem(index)) View.FZoom = *zoom;
    if (index != kZoomCustomIndex) return;
    const auto text = m_dialogs->inputText(this, QStringLiteral("设置缩放比例"),
                                           QStringLiteral("例如：10 代表 10%"), QString());
    if (text) View.FZoom = customZoom(text->toStdString());
}

void TFormMain::Tool_AlphaChange() {
    UpdateStatusBar();
}

void TFormMain::Tool_BackColorClick() {
    View.BackColor = Tool_BackColor->colorBgr();
    paintBackground(PanelDraw, View.BackColor);
    paintBackground(ScrollBox, View.BackColor);
    UpdateStatusBar();
}

void TFormMain::Tool_BlendColorClick() {
    View.BlendColor = Tool_BlendColor->colorBgr();
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

// A picture that does not load is reported as any failed command is, and
// leaves the background as it was.
void TFormMain::loadBackImage(const QString& path) {
    const Result<Picture> picture = loadPictureFile(path);
    if (!picture) {
        m_dialogs->message(this,
                           {QString::fromUtf8(kMessageCaption),
                            QStringLiteral("无法载入背景图片: %1\n可以载入的图片格式: %2\n(%3)")
                                .arg(path, backgroundPictureFormats().join(QStringLiteral(", ")),
                                     QString::fromStdString(picture.error())),
                            MessageIcon::Warning});
        return;
    }
    View.loadBackground(*picture);
}

// --- Dragging on PanelDraw ---------------------------------------------------------

void TFormMain::PanelDrawMouseDown(const QPoint& point) {
    syncViewControls();  // a drag starts only at the user position
    View.PanelDrawMouseDown(point.x(), point.y());
}

void TFormMain::PanelDrawMouseMove(const QPoint& point) {
    if (View.PanelDrawMouseMove(point.x(), point.y(), PanelDraw->width(), PanelDraw->height())) {
        UpdateStatusBar();
    }
}

void TFormMain::PanelDrawMouseUp(const QPoint& /*point*/) {
    View.PanelDrawMouseUp();
}

// --- Sound hooks -------------------------------------------------------------------

bool TFormMain::initializeAudio() {
    return Music->initializeAudio();
}

void TFormMain::stopSound() {
    Music->bt_Music_StopClick();
}

void TFormMain::releaseSound() {
    Music->releaseChannel();
    SoundStream.reset();
}

}  // namespace vantoro
