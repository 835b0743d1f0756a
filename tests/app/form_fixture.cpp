#include "tests/app/form_fixture.h"

#include "app/status_bar.h"
#include "archive/archive_kind.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/m2_wis_writer.h"
#include "tests/support/m2_zip_writer.h"
#include "tests/support/m3_def_writer.h"
#include "tests/support/m3_zip_writer.h"
#include "tests/support/woool_writer.h"
#include "tests/support/wuyi_writer.h"

namespace vantoro::testing {
namespace {

std::uint16_t widthOf(int i) {
    return static_cast<std::uint16_t>(4 + i);
}
std::uint16_t heightOf(int i) {
    return static_cast<std::uint16_t>(3 + i);
}

}  // namespace

FormTest::FormTest() : m_form(makeForm()) {}

FormTest::~FormTest() = default;

std::unique_ptr<TFormMain> FormTest::makeForm() {
    FormMainOptions options;
    options.dialogs = &dialogs;
    options.clock = [this] { return now; };
    options.settingsFile = settingsFile();
    options.startDirectory = QString::fromStdString(dir.path().string());
    return std::make_unique<TFormMain>(options);
}

void FormTest::restartForm() {
    m_form.reset();
    m_form = makeForm();
}

QString FormTest::settingsFile() const {
    return QString::fromStdString(dir.file("settings.ini"));
}

void FormTest::openThrough(void (TFormMain::*command)(), const std::string& path) {
    dialogs.fileAnswers.push_back(QString::fromStdString(path));
    (m_form.get()->*command)();
}

void FormTest::openArchive(const std::string& path, TWMImagesKind kind) {
    m_form->OpenArchive(QString::fromStdString(path), kind);
}

QString FormTest::panel(std::size_t index) const {
    return m_form->statusPanels().text(index);
}

std::string FormTest::className() const {
    return m_form->CurrentArchive ? std::string(m_form->CurrentArchive->className()) : "";
}

std::string FormTest::writeMir2(const std::string& name, int count, bool sixteenBit) {
    std::vector<M2Image> images;
    for (int i = 0; i < count; ++i) {
        M2Image image = patternImage(widthOf(i), heightOf(i), sixteenBit, i);
        image.px = static_cast<std::int16_t>(i);
        image.py = static_cast<std::int16_t>(-i);
        images.push_back(image);
    }
    M2DefOptions options;
    options.sixteenBit = sixteenBit;
    writeM2Def(dir.file(name), images, options);
    return dir.file(name);
}

std::string FormTest::writeMir3(const std::string& name, int count, int emptyFrom, int emptyTo) {
    std::vector<M3Image> images;
    for (int i = 0; i < count; ++i) {
        M3Image image{widthOf(i),
                      heightOf(i),
                      static_cast<std::int16_t>(i),
                      static_cast<std::int16_t>(-i),
                      {},
                      i >= emptyFrom && i <= emptyTo};
        image.pixels.assign(std::size_t{image.width} * image.height, 0x1234);
        images.push_back(image);
    }
    M3DefFiles files = buildM3Def(images, M3Layout::New);
    setU16At(files.data, 0, kMir3WilMarker);  // real Mir3 data files start with it
    writeM3DefFiles(dir.file(name), files);
    return dir.file(name);
}

std::string FormTest::writeWis(const std::string& name, int count) {
    std::vector<WisImage> images;
    for (int i = 0; i < count; ++i) {
        WisImage image{widthOf(i), heightOf(i), 0, 0, WisEncoding::Raw8, {}, {}};
        image.indices.assign(std::size_t{image.width} * image.height, 7);
        images.push_back(image);
    }
    vantoro::testing::writeWis(dir.file(name), images);
    return dir.file(name);
}

std::string FormTest::writeMir2Zip(const std::string& name, int count) {
    std::vector<M2ZipImage> images;
    for (int i = 0; i < count; ++i)
        images.push_back({patternImage(widthOf(i), heightOf(i), false, i)});
    writeM2Zip(dir.file(name), images);
    return dir.file(name);
}

std::string FormTest::writeMir3Zip(const std::string& name, int count) {
    std::vector<M3ZipImage> images;
    for (int i = 0; i < count; ++i) images.push_back(m3ZipPatternImage(widthOf(i), heightOf(i), i));
    writeM3Zip(dir.file(name), images);
    return dir.file(name);
}

std::string FormTest::writeWoool(const std::string& name, int count) {
    std::vector<WooolImage> images;
    for (int i = 0; i < count; ++i) images.push_back(wooolPatternImage(widthOf(i), heightOf(i), i));
    vantoro::testing::writeWoool(dir.file(name), {wooolGroup(17, images)});
    return dir.file(name);
}

std::string FormTest::writeWuyi(const std::string& name, int count) {
    std::vector<WuyiImage> images;
    for (int i = 0; i < count; ++i) images.push_back(wuyiPatternImage(widthOf(i), heightOf(i), i));
    vantoro::testing::writeWuyi(dir.file(name), images);
    return dir.file(name);
}

}  // namespace vantoro::testing
