#include "app/form_add.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/color_button.h"
#include "app/dialog_seam.h"
#include "app/form_main.h"
#include "edit/edit_messages.h"
#include "edit/import_text.h"

namespace vantoro {
namespace {

constexpr int kMaxIndex = 10'000'000;
constexpr int kMaxEmptyCount = 100'000;
constexpr int kMaxZipLevel = 9;
constexpr int kArgbFormat = 3;
constexpr int kOpaqueFormat = 2;

QRadioButton* radio(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QRadioButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QCheckBox* check(QWidget* parent, const char* name, const char* caption, bool checked) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* push = new QPushButton(QString::fromUtf8(caption), parent);
    push->setObjectName(QString::fromLatin1(name));
    push->setAutoDefault(false);
    return push;
}

QSpinBox* spin(QWidget* parent, const char* name, int minimum, int maximum, int value) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(minimum, maximum);
    box->setValue(value);
    return box;
}

// A level is picked with the arrows only, never typed.
QSpinBox* levelSpin(QWidget* parent, const char* name, int value) {
    QSpinBox* box = spin(parent, name, 0, kMaxZipLevel, value);
    if (auto* edit = box->findChild<QLineEdit*>()) edit->setReadOnly(true);
    return box;
}

QGroupBox* group(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QGroupBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLabel* label(QWidget* parent, const char* caption, QWidget* buddy) {
    auto* text = new QLabel(QString::fromUtf8(caption), parent);
    text->setBuddy(buddy);
    return text;
}

void enable(std::initializer_list<QWidget*> widgets, bool enabled) {
    for (QWidget* widget : widgets) widget->setEnabled(enabled);
}

}  // namespace

TFormAdd::TFormAdd(TFormMain& main) : QDialog(&main), m_main(main) {
    setObjectName(QStringLiteral("FormAdd"));
    setWindowTitle(QStringLiteral("导入数据"));
    createControls();
    connectControls();
    FormCreate();
    UpdateControls(false);
}

TFormAdd::~TFormAdd() = default;

void TFormAdd::createControls() {
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(createContentGroup());
    left->addWidget(createListGroup(), 1);
    auto* right = new QVBoxLayout;
    right->addWidget(createModeGroups());
    right->addWidget(createOptionGroups(), 1);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    right->addWidget(ProgressBar);
    columns->addLayout(left, 1);
    columns->addLayout(right);
}

QWidget* TFormAdd::createContentGroup() {
    QGroupBox* box = group(this, "GroupBox1", "导入内容");
    auto* row = new QHBoxLayout(box);
    ImageStream = radio(box, "ImageStream", "图像");
    WavaStream = radio(box, "WavaStream", "音频");
    DataStream = radio(box, "DataStream", "其它");
    NoneStream = radio(box, "NoneStream", "空");
    ImageStream->setChecked(true);
    for (QRadioButton* kind : {ImageStream, WavaStream, DataStream, NoneStream}) {
        row->addWidget(kind);
    }
    return box;
}

QWidget* TFormAdd::createListGroup() {
    GroupBox2 = group(this, "GroupBox2", "文件列表");
    auto* layout = new QGridLayout(GroupBox2);
    File_List = new ImportListWidget(GroupBox2);
    File_List->setObjectName(QStringLiteral("File_List"));
    File_List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout->addWidget(File_List, 0, 0, 1, 3);
    File_Add = button(GroupBox2, "File_Add", "文件(&A)");
    File_AddDIR = button(GroupBox2, "File_AddDIR", "目录(&I)");
    File_AddDIRALL = button(GroupBox2, "File_AddDIRALL", "目录ALL");
    File_Begin = button(GroupBox2, "File_Begin", "执行(&B)");
    File_Del = button(GroupBox2, "File_Del", "删除(&D)");
    File_Clear = button(GroupBox2, "File_Clear", "清空(&C)");
    File_Stop = button(GroupBox2, "File_Stop", "停止");
    int position = 0;
    for (QPushButton* push :
         {File_Add, File_AddDIR, File_AddDIRALL, File_Begin, File_Del, File_Clear, File_Stop}) {
        layout->addWidget(push, 1 + position / 3, position % 3);
        ++position;
    }
    return GroupBox2;
}

QWidget* TFormAdd::createModeGroups() {
    auto* holder = new QWidget(this);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    QGroupBox* modes = group(holder, "GroupBox3", "导入方式");
    auto* modeColumn = new QVBoxLayout(modes);
    Mode_after = radio(modes, "Mode_after", "从尾部添加");
    Mode_Insert = radio(modes, "Mode_Insert", "按标号插入");
    Mode_Bestrow = radio(modes, "Mode_Bestrow", "按编号覆盖");
    Mode_after->setChecked(true);
    for (QRadioButton* mode : {Mode_after, Mode_Insert, Mode_Bestrow}) modeColumn->addWidget(mode);

    QGroupBox* numbers = group(holder, "GroupBox4", "编号");
    auto* grid = new QGridLayout(numbers);
    Index_Start = spin(numbers, "Index_Start", 0, kMaxIndex, 9);
    Index_End = spin(numbers, "Index_End", 0, kMaxIndex, 9);
    Index_StartLabel = label(numbers, "起始编号:", Index_Start);
    Index_EndLabel = label(numbers, "结束编号:", Index_End);
    grid->addWidget(Index_StartLabel, 0, 0);
    grid->addWidget(Index_Start, 0, 1);
    grid->addWidget(Index_EndLabel, 1, 0);
    grid->addWidget(Index_End, 1, 1);
    row->addWidget(modes);
    row->addWidget(numbers);
    return holder;
}

// The four option groups share one place; only the checked kind's shows.
QWidget* TFormAdd::createOptionGroups() {
    auto* holder = new QWidget(this);
    auto* stack = new QGridLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);

    NoneOption = group(holder, "NoneOption", "空数据选项");
    auto* none = new QHBoxLayout(NoneOption);
    None_Count = spin(NoneOption, "None_Count", 1, kMaxEmptyCount, 1);
    none->addWidget(label(NoneOption, "数量:", None_Count));
    none->addWidget(None_Count);

    WavaOption = group(holder, "WavaOption", "音频选项");
    auto* wava = new QHBoxLayout(WavaOption);
    Wava_ZIP = check(WavaOption, "Wava_ZIP", "ZIP压缩", false);
    Wava_ZIP_Level = levelSpin(WavaOption, "Wava_ZIP_Level", 0);
    Wava_ZIP_LevelLabel = label(WavaOption, "压缩等级(0~9)", Wava_ZIP_Level);
    wava->addWidget(Wava_ZIP);
    wava->addWidget(Wava_ZIP_LevelLabel);
    wava->addWidget(Wava_ZIP_Level);

    DataOption = group(holder, "DataOption", "数据选项");
    auto* data = new QHBoxLayout(DataOption);
    Data_ZIP = check(DataOption, "Data_ZIP", "ZIP压缩", true);
    Data_ZIP_Level = levelSpin(DataOption, "Data_ZIP_Level", kMaxZipLevel);
    Data_ZIP_LevelLabel = label(DataOption, "压缩等级(0~9)", Data_ZIP_Level);
    data->addWidget(Data_ZIP);
    data->addWidget(Data_ZIP_LevelLabel);
    data->addWidget(Data_ZIP_Level);

    ImageOption = createImageOption();
    for (QGroupBox* option : {NoneOption, WavaOption, DataOption, ImageOption}) {
        option->setParent(holder);
        stack->addWidget(option, 0, 0, Qt::AlignTop);
    }
    return holder;
}

QGroupBox* TFormAdd::createImageOption() {
    QGroupBox* box = group(this, "ImageOption", "图像选项");
    auto* grid = new QGridLayout(box);
    // The three parts are a radio group of their own, apart from the
    // offsets' source below.
    auto* parts = new QWidget(box);
    auto* partRow = new QHBoxLayout(parts);
    partRow->setContentsMargins(0, 0, 0, 0);
    Image_ImgAndOffset = radio(parts, "Image_ImgAndOffset", "图片和坐标");
    Image_Img = radio(parts, "Image_Img", "图片");
    Image_Offset = radio(parts, "Image_Offset", "坐标");
    Image_ImgAndOffset->setChecked(true);
    for (QRadioButton* part : {Image_ImgAndOffset, Image_Img, Image_Offset}) {
        partRow->addWidget(part);
    }
    grid->addWidget(parts, 0, 0, 1, 4);

    Image_Alpha = check(box, "Image_Alpha", "有Alpha通道", false);
    Image_RLE = check(box, "Image_RLE", "RLE压缩", true);
    Image_Cut = check(box, "Image_Cut", "倒转", false);
    Image_Window = check(box, "Image_Window", "窗口", false);
    grid->addWidget(Image_Alpha, 1, 0);
    grid->addWidget(Image_RLE, 1, 1);
    grid->addWidget(Image_Cut, 1, 2);
    grid->addWidget(Image_Window, 1, 3);

    Image_TColor = new ColorButton(m_main.dialogs(), box);
    Image_TColor->setObjectName(QStringLiteral("Image_TColor"));
    Image_TColorLabel = label(box, "透明色", Image_TColor);
    grid->addWidget(Image_TColorLabel, 2, 0);
    grid->addWidget(Image_TColor, 2, 1);

    Image_Blend = new QComboBox(box);
    Image_Blend->setObjectName(QStringLiteral("Image_Blend"));
    Image_BlendLabel = label(box, "混合方式", Image_Blend);
    grid->addWidget(Image_BlendLabel, 3, 0);
    grid->addWidget(Image_Blend, 3, 1, 1, 3);

    Image_Format = new QComboBox(box);
    Image_Format->setObjectName(QStringLiteral("Image_Format"));
    Image_Format->addItems(
        {QStringLiteral("16位真彩格式(A4R4G4B4)"), QStringLiteral("传统传奇格式(A1R5G5B5)"),
         QStringLiteral("无透明色格式(R5G6B5)"), QStringLiteral("32位真彩格式(A8R8G8B8)")});
    Image_FormatLabel = label(box, "图像格式", Image_Format);
    Image_Format_byFile = check(box, "Image_Format_byFile", "文件", false);
    grid->addWidget(Image_FormatLabel, 4, 0);
    grid->addWidget(Image_Format, 4, 1, 1, 2);
    grid->addWidget(Image_Format_byFile, 4, 3);

    QGroupBox* source = group(box, "GroupBox5", "坐标获得方式");
    auto* sourceRow = new QHBoxLayout(source);
    Image_Offset_File = radio(source, "Image_Offset_File", "同名坐标文件");
    Image_Offset_App = radio(source, "Image_Offset_App", "固定");
    Image_Offset_File->setChecked(true);
    Image_Offset_AppData = new QLineEdit(QStringLiteral("0,0"), source);
    Image_Offset_AppData->setObjectName(QStringLiteral("Image_Offset_AppData"));
    sourceRow->addWidget(Image_Offset_File);
    sourceRow->addWidget(Image_Offset_App);
    sourceRow->addWidget(Image_Offset_AppData);
    grid->addWidget(source, 5, 0, 1, 4);
    return box;
}

// Every content, mode, option and format control and the start index run
// UpdateControls when the person changes them.
void TFormAdd::connectControls() {
    for (QAbstractButton* control : std::initializer_list<QAbstractButton*>{
             ImageStream, WavaStream, DataStream, NoneStream, Mode_after, Mode_Insert, Mode_Bestrow,
             Wava_ZIP, Data_ZIP, Image_ImgAndOffset, Image_Img, Image_Offset, Image_Alpha,
             Image_RLE, Image_Cut, Image_Window, Image_Format_byFile, Image_Offset_File,
             Image_Offset_App}) {
        connect(control, &QAbstractButton::clicked, this, &TFormAdd::ImageStreamClick);
    }
    connect(Image_Format, &QComboBox::activated, this, &TFormAdd::ImageStreamClick);
    connect(Index_Start, &QSpinBox::valueChanged, this, &TFormAdd::ImageStreamClick);
    connect(Image_Blend, &QComboBox::activated, this, &TFormAdd::Image_BlendChange);
    connect(File_Add, &QPushButton::clicked, this, &TFormAdd::File_AddClick);
    connect(File_AddDIR, &QPushButton::clicked, this, &TFormAdd::File_AddDIRClick);
    connect(File_AddDIRALL, &QPushButton::clicked, this, &TFormAdd::File_AddDIRALLClick);
    connect(File_Del, &QPushButton::clicked, this, &TFormAdd::File_DelClick);
    connect(File_Clear, &QPushButton::clicked, this, &TFormAdd::File_ClearClick);
    connect(File_Begin, &QPushButton::clicked, this, &TFormAdd::File_BeginClick);
    connect(File_Stop, &QPushButton::clicked, this, &TFormAdd::File_StopClick);
    connect(File_List, &ImportListWidget::pathsDropped, this, &TFormAdd::addDroppedPaths);
}

// The blend list is the main window's, each item with its code.
void TFormAdd::FormCreate() {
    const QComboBox* modes = m_main.Tool_BlendMode;
    for (int i = 0; i < modes->count(); ++i) {
        Image_Blend->addItem(modes->itemText(i), modes->itemData(i));
    }
    Image_Blend->setCurrentIndex(0);
}

void TFormAdd::ImageStreamClick() {
    if (!m_busy) UpdateControls(false);
}

void TFormAdd::Image_BlendChange() {
    const int index = Image_Blend->currentIndex();
    if (index < 0 || index != m_main.BlendCustomIndex) return;
    const InputPrompt prompt = blendCodePrompt(Image_Blend->itemData(index).toUInt());
    const auto typed = m_main.dialogs().inputText(this, QString::fromStdString(prompt.caption),
                                                  QString::fromStdString(prompt.prompt),
                                                  QString::fromStdString(prompt.offered));
    // Cancel keeps the code; a text that is not a number gives 0.
    if (!typed) return;
    const std::int32_t code = parseIntegerText(typed->toStdString()).value_or(0);
    Image_Blend->setItemData(index, QVariant::fromValue(static_cast<std::uint32_t>(code)));
}

int TFormAdd::pixelFormatIndex() const {
    return std::max(Image_Format->currentIndex(), 0);
}

void TFormAdd::UpdateControls(bool busy) {
    m_busy = busy;
    const bool idle = !busy;
    enable({ImageStream, WavaStream, DataStream, NoneStream, File_Begin, File_Add, File_AddDIR,
            File_AddDIRALL},
           idle);
    File_Del->setEnabled(idle && !File_List->selectedItems().isEmpty());
    File_Clear->setEnabled(idle && File_List->count() > 0);
    // Only a run through the files can be stopped, not the building of the list.
    File_Stop->setEnabled(busy && m_running);

    ImageOption->setVisible(ImageStream->isChecked());
    WavaOption->setVisible(WavaStream->isChecked());
    DataOption->setVisible(DataStream->isChecked());
    NoneOption->setVisible(NoneStream->isChecked());

    enable({Mode_after, Mode_Insert, Mode_Bestrow}, idle);
    Index_End->setEnabled(false);
    if (NoneStream->isChecked()) {
        None_Count->setEnabled(idle);
        if (Mode_Bestrow->isChecked()) Mode_after->setChecked(true);
        Mode_Bestrow->setEnabled(false);
    }
    if (DataStream->isChecked()) {
        enable({Data_ZIP_Level, Data_ZIP_LevelLabel}, idle && Data_ZIP->isChecked());
    }
    if (WavaStream->isChecked()) {
        enable({Wava_ZIP_Level, Wava_ZIP_LevelLabel}, idle && Wava_ZIP->isChecked());
    }
    if (ImageStream->isChecked()) updateImageOptions(busy);

    enable({Index_Start, Index_StartLabel},
           idle && (Mode_Insert->isChecked() || Mode_Bestrow->isChecked()));
    Index_EndLabel->setEnabled(Index_End->isEnabled());
    if (!Index_End->isEnabled()) {
        const QSignalBlocker quiet(Index_End);
        Index_End->setValue(File_List->count() + Index_Start->value() - 1);
    }
    GroupBox2->setTitle(QStringLiteral("文件列表(%1)").arg(File_List->count()));
}

void TFormAdd::updateImageOptions(bool busy) {
    const bool idle = !busy;
    const bool offsetsOnly = Image_Offset->isChecked();
    const bool imageOnly = Image_Img->isChecked();
    enable({Image_ImgAndOffset, Image_Img, Image_Offset}, idle);
    enable({Image_Blend, Image_BlendLabel}, idle && !offsetsOnly);

    const bool formatsFromFiles = Image_ImgAndOffset->isChecked() &&
                                  Image_Offset_File->isChecked() && !Image_Window->isChecked();
    Image_Format_byFile->setEnabled(idle && formatsFromFiles);
    if (!formatsFromFiles) Image_Format_byFile->setChecked(false);
    const bool byFile = Image_Format_byFile->isChecked();

    enable({Image_Format, Image_FormatLabel},
           idle && !offsetsOnly && !Image_Window->isChecked() && !byFile);
    if (Image_Window->isChecked()) Image_Format->setCurrentIndex(0);
    const int format = pixelFormatIndex();
    Image_Alpha->setChecked(format == kArgbFormat || (format == 0 && Image_Alpha->isChecked()) ||
                            byFile);
    Image_Alpha->setEnabled(idle && !offsetsOnly && format == 0 && !Image_Window->isChecked() &&
                            !byFile);
    enable({Image_RLE, Image_Cut}, idle && !offsetsOnly);
    enable({Image_TColor, Image_TColorLabel},
           idle && !offsetsOnly && !Image_Alpha->isChecked() && format != kOpaqueFormat);
    enable({Image_Offset_File, Image_Offset_App}, idle && !imageOnly);
    Image_Offset_AppData->setEnabled(idle && !imageOnly && Image_Offset_App->isChecked());
    Image_Window->setEnabled(idle && !Image_Alpha->isChecked() && !offsetsOnly);
    Image_Offset_File->setText(offsetsOnly ? QStringLiteral("使用文件列表")
                                           : QStringLiteral("同名坐标文件"));

    // Image-only and offsets-only work overwrite existing entries.
    enable({Mode_after, Mode_Insert}, idle && Image_ImgAndOffset->isChecked());
    if (offsetsOnly || imageOnly) Mode_Bestrow->setChecked(true);
    Mode_Bestrow->setEnabled(idle);
    Index_End->setEnabled(idle && offsetsOnly && Image_Offset_App->isChecked());
}

ImportRequest TFormAdd::importRequest() const {
    ImportRequest r;
    if (WavaStream->isChecked()) r.content = ImportContent::Sound;
    if (DataStream->isChecked()) r.content = ImportContent::Data;
    if (NoneStream->isChecked()) r.content = ImportContent::Empty;
    if (Mode_Insert->isChecked()) r.mode = ImportMode::Insert;
    if (Mode_Bestrow->isChecked()) r.mode = ImportMode::Overwrite;
    r.start = Index_Start->value();
    r.end = Index_End->value();
    r.emptyCount = None_Count->value();
    if (Image_Img->isChecked()) r.part = ImageImportPart::ImageOnly;
    if (Image_Offset->isChecked()) r.part = ImageImportPart::OffsetsOnly;
    r.offsetsFrom = Image_Offset_App->isChecked() ? OffsetsSource::Fixed : OffsetsSource::Files;
    r.offsetsText = Image_Offset_AppData->text().toStdString();
    r.convert = ConvertOptions{.hasAlpha = Image_Alpha->isChecked(),
                               .format = static_cast<std::uint8_t>(pixelFormatIndex()),
                               .transparentColour = Image_TColor->colorBgr(),
                               .flip = Image_Cut->isChecked(),
                               .rle = Image_RLE->isChecked(),
                               .window = Image_Window->isChecked()};
    r.formatFromFile = Image_Format_byFile->isChecked();
    const int blend = Image_Blend->currentIndex();
    r.blendCode = blend >= 0 ? Image_Blend->itemData(blend).toUInt() : 0;
    r.soundZip = Wava_ZIP->isChecked();
    r.soundLevel = Wava_ZIP_Level->value();
    r.dataZip = Data_ZIP->isChecked();
    r.dataLevel = Data_ZIP_Level->value();
    return r;
}

// While a run goes on the dialog stays open: its work ends with the run.
void TFormAdd::reject() {
    if (!m_busy) QDialog::reject();
}

void TFormAdd::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace vantoro
