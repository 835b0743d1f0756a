#include "tests/app/edit_fixture.h"

#include <filesystem>
#include <fstream>

#include "image_io/png_file.h"
#include "tests/app/pack_files.h"
#include "tests/support/open_pack.h"

namespace vantoro::testing {

std::string EditFormTest::writePackFile(const std::string& name, int count,
                                        const std::string& password) {
    writeImagePack(dir.file(name), count, password);
    return dir.file(name);
}

std::string EditFormTest::writePicture(const std::string& name, int w, int h, bool offsets) {
    const auto width = static_cast<std::uint32_t>(w);
    const auto height = static_cast<std::uint32_t>(h);
    Bytes rgba(std::size_t{width} * height * 4, 0x80);
    const std::string path = dir.file(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    EXPECT_TRUE(savePng(PngRows{rgba, width, height, PngLayout::Rgba8, 0}, path));
    if (offsets) {
        const std::filesystem::path picture(path);
        const auto placements = picture.parent_path() / "Placements";
        std::filesystem::create_directories(placements);
        std::ofstream(placements / (picture.stem().string() + ".txt")) << w << "\r\n"
                                                                       << -h << "\r\n";
    }
    return path;
}

std::unique_ptr<TWMMyImageImages> EditFormTest::reopen(const std::string& path,
                                                       const std::string& password) const {
    auto pack = testing::openPack(path, password);
    EXPECT_TRUE(pack->FInitialized) << path;
    return pack;
}

std::string EditFormTest::entriesOf(const std::string& path) const {
    const auto pack = reopen(path);
    std::string entries;
    for (std::int32_t i = 0; i < pack->FImageCount; ++i) {
        const TPackEntryHeader header = pack->ReadEntryHeader(i);
        if (i > 0) entries += ' ';
        entries += std::to_string(header.width) + ':' + std::to_string(header.x);
    }
    return entries;
}

std::vector<QString> EditFormTest::messages() const {
    std::vector<QString> texts;
    for (const auto& asked : dialogs.askedOf(QStringLiteral("message")))
        texts.push_back(asked.text);
    return texts;
}

}  // namespace vantoro::testing
