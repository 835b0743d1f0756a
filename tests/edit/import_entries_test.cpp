// Import: what each kind of file becomes in plain and protected packs, the
// edit modes against a model, runs cut short, and the refusals that keep a
// pack intact.
#include "edit/import_entries.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/my_image_images.h"
#include "archive/pack_cipher.h"
#include "archive/pack_rle.h"
#include "edit/edit_messages.h"
#include "edit/new_pack.h"
#include "image_io/load_picture.h"
#include "image_io/png_file.h"
#include "io/file_stream.h"
#include "tests/edit/scripted_prompts.h"
#include "tests/image_io/png_with_trns.h"
#include "tests/support/pack_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::openPack;
constexpr const char* kPassword = "open sesame";

// A w x h RGBA picture with runs, odd values and see-through pixels.
void writePng(const std::string& path, std::uint32_t w, std::uint32_t h, std::uint8_t seed) {
    Bytes rgba(std::size_t{w} * h * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        rgba[i] = static_cast<std::uint8_t>(i / 12 % 3 == 0 ? seed : i * 37 + seed);
    }
    ASSERT_TRUE(savePng(PngRows{rgba, w, h, PngLayout::Rgba8, 0}, path));
}

Bytes pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i % 251 ^ seed);
    return bytes;
}

// The stored data of an entry as written, deciphered.
Bytes storedData(TWMMyImageImages& pack, std::int32_t index) {
    const TPackEntryHeader header = pack.ReadEntryHeader(index);
    std::unique_ptr<FileStream> file = FileStream::open(pack.FFileName, FileStream::Mode::ReadOnly);
    Bytes data(static_cast<std::size_t>(header.dataLength));
    file->seek(pack.FIndexList[static_cast<std::size_t>(index)] + kPackEntryHeaderSize);
    file->read(data);
    CipherEntryData(pack.FCipherActive, pack.FPassword, data, false);
    return data;
}

class ImportTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        testing::PackOptions options;
        options.password = GetParam();
        testing::writePack(path, {testing::packFile(47, 300, false, 7), testing::packEmpty()},
                           options);
        pack = openPack(path, GetParam());
    }
    EditResult run(ImportRequest request, const std::vector<std::string>& names) {
        std::vector<TImportFileItem> files;
        for (const std::string& name : names) files.push_back({dir.file(name), 3, -4, 0});
        return importEntries(*pack, request, files, prompts);
    }
    void reopen() { pack = openPack(path, GetParam()); }

    testing::TempDir dir;
    std::string path = dir.file("a.pak");
    std::unique_ptr<TWMMyImageImages> pack;
    testing::ScriptedPrompts prompts;
};

TEST_P(ImportTest, EveryKindOfFileReadsBackAppendedAndInserted) {
    struct Row {
        ImportContent content;
        std::uint8_t format;
        bool rle;
        bool zip;
        int level;
    };
    const Row rows[] = {
        {ImportContent::Image, 0, true, false, 0},  {ImportContent::Image, 1, false, false, 0},
        {ImportContent::Image, 2, true, false, 0},  {ImportContent::Image, 3, true, false, 0},
        {ImportContent::Image, 3, false, false, 0}, {ImportContent::Sound, 0, false, false, 0},
        {ImportContent::Sound, 0, false, true, 0},  {ImportContent::Sound, 0, false, true, 6},
        {ImportContent::Data, 0, false, true, 9},   {ImportContent::Data, 0, false, false, 9},
    };
    Bytes wav = pattern(700, 1);
    std::copy_n("RIFF", 4, wav.begin());
    testing::writeFile(dir.file("s.wav"), wav);
    testing::writeFile(dir.file("d.bin"), pattern(129, 2));
    writePng(dir.file("p.png"), 9, 5, 40);
    const auto first = pack->GetDataStream(0, 0);
    for (const ImportMode mode : {ImportMode::Append, ImportMode::Insert}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << static_cast<int>(row.content) << " format "
                                              << int(row.format) << " mode " << int(mode));
            ImportRequest request{.content = row.content, .mode = mode, .start = 1};
            request.convert = {.format = row.format, .rle = row.rle};
            request.soundZip = request.dataZip = row.zip;
            request.soundLevel = request.dataLevel = row.level;
            const char* file = row.content == ImportContent::Image   ? "p.png"
                               : row.content == ImportContent::Sound ? "s.wav"
                                                                     : "d.bin";
            ASSERT_EQ(run(request, {file}).outcome, EditOutcome::Done);
            const std::int32_t at = mode == ImportMode::Append ? pack->FImageCount - 1 : 1;
            reopen();
            const TPackEntryHeader header = pack->ReadEntryHeader(at);
            if (row.content != ImportContent::Image) {
                EXPECT_EQ(pack->GetDataStream(at, 0), testing::readFile(dir.file(file)));
                EXPECT_EQ(header.compressed, row.zip && row.level > 0);
                continue;
            }
            ConvertOptions options = request.convert;
            options.hasAlpha = row.format == 3;
            const auto expected = ConvertPicture(*LoadPicture(dir.file(file)), options,
                                                 [](auto s, auto t, std::uint8_t b, std::size_t n) {
                                                     return RleEncode(s, t, b, n).value_or(0);
                                                 });
            EXPECT_EQ(storedData(*pack, at), *expected);
            EXPECT_EQ(header, (TPackEntryHeader{10, 5, 3, -4, 1, row.format, header.dataLength, 31,
                                                row.rle}));
            EXPECT_TRUE(pack->GetBitmap(at).has_value());
        }
    }
    EXPECT_EQ(pack->GetDataStream(0, 0), first);  // the entry that was there first
}

TEST_P(ImportTest, EditsMatchAModelAfterEveryStep) {
    std::vector<Bytes> model = {*pack->GetDataStream(0, 0), {}};
    for (int i = 0; i < 50; ++i)
        testing::writeFile(dir.file(std::to_string(i)), pattern(1 << 20, i));
    const auto names = [](int from, int count) {
        std::vector<std::string> list;
        for (int i = from; i < from + count; ++i) list.push_back(std::to_string(i));
        return list;
    };
    struct Step {
        ImportMode mode;
        std::int32_t start;
        std::vector<std::string> files;  // "-": a missing file, left as a placeholder
    };
    const Step steps[] = {
        {ImportMode::Insert, 1, names(0, 50)},  // two batches: 49 MiB, then 1
        {ImportMode::Overwrite, 2, {"7", "-", "3"}},
        {ImportMode::Overwrite, 0, names(5, 1)},
        {ImportMode::Append, 0, {"-", "9"}},
    };
    for (const Step& step : steps) {
        prompts.answers.assign(4, PromptAnswer::Ok);
        ImportRequest request{
            .content = ImportContent::Data, .mode = step.mode, .start = step.start};
        request.dataZip = false;
        ASSERT_EQ(run(request, step.files).outcome, EditOutcome::Done);
        std::vector<Bytes> added;
        for (const std::string& name : step.files) {
            added.push_back(name == "-" ? Bytes{} : pattern(1 << 20, std::stoi(name)));
        }
        const auto at =
            model.begin() + (step.mode == ImportMode::Append ? model.size() : step.start);
        if (step.mode == ImportMode::Overwrite) model.erase(at, at + added.size());
        model.insert(model.begin() + (at - model.begin()), added.begin(), added.end());
        reopen();
        ASSERT_EQ(pack->FImageCount, static_cast<std::int32_t>(model.size()));
        for (std::size_t i = 0; i < model.size(); ++i) {
            EXPECT_EQ(pack->GetDataStream(i, 0).value_or(Bytes{}), model[i]) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Packs, ImportTest, ::testing::Values("", kPassword));

TEST(ImportRunTest, CancelKeepsWhatWasStoredAndRefusalsChangeNothing) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writeFile(dir.file("d"), pattern(64, 3));
    const std::vector<TImportFileItem> files = {{dir.file("d")}, {dir.file("-")}, {dir.file("d")}};
    struct Row {
        std::string password;
        ImportRequest request;
        EditOutcome outcome;
        std::vector<Prompt> shown;
        std::int32_t count;
        std::vector<int> progress = {};
    };
    const Row rows[] = {
        // The first file is stored, the second cancelled: the run says it
        // stopped, and the bar shows one file of three done.
        {kPassword,
         {.content = ImportContent::Data, .mode = ImportMode::Insert, .start = 1},
         EditOutcome::Refused,
         {fileTooLargePrompt(dir.file("-"), -1), importStoppedPrompt(1)},
         3,
         {0, 33}},
        {kPassword,
         {.content = ImportContent::Data, .mode = ImportMode::Insert, .start = 2},
         EditOutcome::Refused,
         {editPrompt(EditMessage::ImportStartIndexWrong)},
         2},
        {kPassword,
         {.content = ImportContent::Data, .mode = ImportMode::Overwrite, .start = 0},
         EditOutcome::Refused,
         {editPrompt(EditMessage::ImportEndIndexWrong)},
         2},
        {kPassword,
         {.part = ImageImportPart::OffsetsOnly,
          .offsetsFrom = OffsetsSource::Fixed,
          .offsetsText = "10"},
         EditOutcome::Refused,
         {editPrompt(EditMessage::ImportOffsetsTextWrong)},
         2},
        {"wrong", {.content = ImportContent::Empty}, EditOutcome::Failed, {}, 0},
    };
    for (const Row& row : rows) {
        testing::writePack(path,
                           {testing::packFile(47, 40, false), testing::packFile(47, 50, false)},
                           {.password = kPassword});
        const Bytes before = testing::readFile(path);
        testing::ScriptedPrompts prompts;
        auto pack = openPack(path, row.password);
        std::vector<int> progress;
        EXPECT_EQ(importEntries(*pack, row.request, files, prompts,
                                [&](int percent) { progress.push_back(percent); })
                      .outcome,
                  row.outcome);
        EXPECT_EQ(prompts.shown, row.shown);
        EXPECT_EQ(progress, row.progress);
        EXPECT_EQ(openPack(path, row.password)->FImageCount, row.count);
        if (row.count != 3) {
            EXPECT_EQ(testing::readFile(path), before);
        }
    }
}

// The transparency of a palette PNG (its tRNS chunk) reaches the pack:
// format 3 keeps each pixel's alpha, format 0 with alpha its top four bits.
TEST(ImportRunTest, PalettePngTransparencyIsStored) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writePack(path, {});
    testing::writeFile(dir.file("p.png"),
                       testing::encodeTrnsPng({.samples = {0, 1, 1, 0},
                                               .palette = {{0, 0, 0}, {255, 0, 0}},
                                               .paletteAlpha = {0, 128}}));
    const std::pair<std::uint8_t, Bytes> rows[] = {
        {3, {0, 0, 0, 0, 0, 0, 255, 128, 0, 0, 255, 128, 0, 0, 0, 0}},
        {0, {0x00, 0x00, 0x00, 0x8F, 0x00, 0x8F, 0x00, 0x00}},
    };
    for (const auto& [format, stored] : rows) {
        testing::ScriptedPrompts prompts;
        const ImportRequest request{.convert = {.hasAlpha = true, .format = format, .rle = false}};
        ASSERT_EQ(
            importEntries(*openPack(path, ""), request, {{dir.file("p.png")}}, prompts).outcome,
            EditOutcome::Done);
        const auto pack = openPack(path, "");
        EXPECT_EQ(storedData(*pack, pack->FImageCount - 1), stored) << int(format);
    }
}

TEST(ImportRunTest, AFileRefusedByAnEmptyPackIsARefusalNotAFailedSave) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::ScriptedPrompts prompts;
    ASSERT_EQ(createNewPack(path, prompts).result.outcome, EditOutcome::Done);
    testing::writeFile(dir.file("not-a-picture.bmp"), pattern(64, 3));
    auto pack = openPack(path, "");
    const EditResult result = importEntries(*pack, {}, {{dir.file("not-a-picture.bmp")}}, prompts);
    EXPECT_EQ(result.outcome, EditOutcome::Refused) << result.error;
    EXPECT_EQ(openPack(path, "")->FImageCount, 0);
}

TEST(ImportRunTest, GrowthPastThe32BitOffsetsIsRefused) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writeSparsePack(path, {testing::packFile(47, 9, false)}, 0x7FFFFF00);  // below 2^31
    testing::writeFile(dir.file("d"), pattern(300, 1));
    writePng(dir.file("p.png"), 40, 40, 1);
    const auto size = std::filesystem::file_size(path);
    // Data files are measured before anything is written; a picture is
    // refused before its entry is.
    for (const ImportContent content : {ImportContent::Data, ImportContent::Image}) {
        testing::ScriptedPrompts prompts;
        auto archive = openPack(path, "");
        const char* name = content == ImportContent::Data ? "d" : "p.png";
        const EditResult result =
            importEntries(*archive, {.content = content}, {{dir.file(name)}}, prompts);
        EXPECT_EQ(result.outcome, EditOutcome::Failed);
        EXPECT_NE(result.error.find("2 GiB"), std::string::npos) << result.error;
        EXPECT_EQ(std::filesystem::file_size(path), size);
        EXPECT_EQ(openPack(path, "")->FImageCount, 1);
    }
}

}  // namespace
}  // namespace vantoro
