// Opening an archive of 100,000 entries and showing its first grid page.
// The index holds 100,000 offsets (cycling over 60 distinct 64 x 64 records,
// so the data file stays small): BM_OpenLargeArchive measures what opening
// costs the window (openArchive: the whole index read),
// BM_OpenLargeArchiveFirstPage the same plus painting the first 6 x 10 cells
// through the grid's cell painter.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <memory>
#include <stdexcept>
#include <vector>

#include "app/draw_grid.h"
#include "app/thumbnail_painter.h"
#include "archive/archive_reader.h"
#include "archive/open_archive.h"
#include "bench/bench_qt_app.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/test_files.h"

namespace vantoro::bench {
namespace {

namespace fx = vantoro::testing;

constexpr std::int32_t kEntryCount = 100'000;
constexpr int kDistinctRecords = 60;
constexpr int kPageRows = 10;
constexpr std::uint32_t kNewIndexHeaderSize = 52;  // title, count, one more word
constexpr std::size_t kIndexCountAt = 44;

// The data file of 60 records and an index naming them over and over.
struct LargeArchive {
    fx::TempDir dir;
    std::string path = dir.file("large.wil");
};

const LargeArchive& largeArchive() {
    static const std::unique_ptr<LargeArchive> archive = [] {
        auto made = std::make_unique<LargeArchive>();
        std::vector<fx::M2Image> images;
        for (int i = 0; i < kDistinctRecords; ++i) {
            images.push_back(fx::patternImage(64, 64, false, static_cast<std::uint32_t>(i)));
        }
        fx::M2ArchiveBytes bytes = fx::buildM2Def(images);
        fx::Bytes index(bytes.index.begin(), bytes.index.begin() + kNewIndexHeaderSize);
        fx::setU32At(index, kIndexCountAt, kEntryCount);
        for (std::int32_t i = 0; i < kEntryCount; ++i) {
            fx::putU32(index,
                       static_cast<std::uint32_t>(bytes.recordOffsets[i % kDistinctRecords]));
        }
        bytes.index = std::move(index);
        fx::writeArchiveFiles(made->path, bytes, ".WIX");
        return made;
    }();
    return *archive;
}

std::unique_ptr<TWMBaseImages> openAsTheWindowDoes(const std::string& path) {
    OpenedArchive opened = openArchive(TWMImagesKind::M2Def, path);
    if (!opened.opened || opened.archive->FImageCount != kEntryCount) {
        throw std::runtime_error("large archive did not open");
    }
    return std::move(opened.archive);
}

void BM_OpenLargeArchive(benchmark::State& state) {
    const std::string& path = largeArchive().path;
    for (auto _ : state) {
        auto archive = openAsTheWindowDoes(path);
        benchmark::DoNotOptimize(archive->FIndexList.data());
    }
}
BENCHMARK(BM_OpenLargeArchive)->Unit(benchmark::kMillisecond);

void BM_OpenLargeArchiveFirstPage(benchmark::State& state) {
    ensureQtApplication();
    const std::string& path = largeArchive().path;
    const int pitch = DrawGrid::kDefaultColumnWidth + DrawGrid::kGridLineWidth;
    QImage page(DrawGrid::kColumnCount * pitch, kPageRows * pitch,
                QImage::Format_ARGB32_Premultiplied);
    const QFont font = DrawGrid::defaultFont();
    const QColor white(Qt::white);
    for (auto _ : state) {
        auto archive = openAsTheWindowDoes(path);
        ThumbnailPainter painter;
        QPainter p(&page);
        p.setFont(font);
        for (int row = 0; row < kPageRows; ++row) {
            for (int column = 0; column < DrawGrid::kColumnCount; ++column) {
                const QRect cell(column * pitch, row * pitch, DrawGrid::kDefaultColumnWidth,
                                 DrawGrid::kDefaultRowHeight);
                p.fillRect(cell, white);
                painter.paintCell(p, archive.get(), column, row, cell, false, white);
            }
        }
        p.end();
        benchmark::DoNotOptimize(page.constBits());
    }
}
BENCHMARK(BM_OpenLargeArchiveFirstPage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantoro::bench
