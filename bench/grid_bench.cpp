// Painting one page of the thumbnail grid (6 x 10 cells) of an archive of
// 256 x 256 16-bit images, through the cell painter onto a QImage, against
// the bare decode of the same 60 entries measured in the same run
// (BM_GridPageDecodeOnly). Every paint decodes again, so the painter's own
// share (squeeze, colour conversion, black keying, label) is the difference.
#include <benchmark/benchmark.h>

#include <QColor>
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

constexpr int kPageRows = 10;
constexpr int kPageCells = kPageRows * DrawGrid::kColumnCount;
constexpr int kImageSide = 256;
constexpr int kPitch = DrawGrid::kDefaultColumnWidth + DrawGrid::kGridLineWidth;

struct GridFixture {
    fx::TempDir dir;
    std::unique_ptr<TWMBaseImages> archive;
};

// The archive opened as the window opens it: texture cache off.
GridFixture& gridFixture() {
    static std::unique_ptr<GridFixture> fixture = [] {
        auto f = std::make_unique<GridFixture>();
        std::vector<fx::M2Image> images;
        for (int i = 0; i < kPageCells; ++i) {
            images.push_back(
                fx::patternImage(kImageSide, kImageSide, true, static_cast<std::uint32_t>(i)));
        }
        fx::M2DefOptions options;
        options.sixteenBit = true;
        fx::writeM2Def(f->dir.file("grid.wil"), images, options);
        OpenedArchive opened = openArchive(TWMImagesKind::M2Def, f->dir.file("grid.wil"));
        f->archive = std::move(opened.archive);
        if (!opened.opened || f->archive->FImageCount != kPageCells) {
            throw std::runtime_error("grid bench archive did not open");
        }
        return f;
    }();
    return *fixture;
}

void BM_GridPage(benchmark::State& state) {
    ensureQtApplication();
    TWMBaseImages* archive = gridFixture().archive.get();
    ThumbnailPainter painter;
    QImage page(DrawGrid::kColumnCount * kPitch, kPageRows * kPitch,
                QImage::Format_ARGB32_Premultiplied);
    const QFont font = DrawGrid::defaultFont();
    const QColor white(Qt::white);
    for (auto _ : state) {
        // As the grid paints: each cell filled white, then the painter.
        QPainter p(&page);
        p.setFont(font);
        for (int row = 0; row < kPageRows; ++row) {
            for (int column = 0; column < DrawGrid::kColumnCount; ++column) {
                const QRect cell(column * kPitch, row * kPitch, DrawGrid::kDefaultColumnWidth,
                                 DrawGrid::kDefaultRowHeight);
                p.fillRect(cell, white);
                painter.paintCell(p, archive, column, row, cell, row == 0 && column == 0, white);
            }
        }
        p.end();
        benchmark::DoNotOptimize(page.constBits());
    }
    state.SetItemsProcessed(state.iterations() * kPageCells);
}
BENCHMARK(BM_GridPage)->Unit(benchmark::kMicrosecond);

void BM_GridPageDecodeOnly(benchmark::State& state) {
    TWMBaseImages* archive = gridFixture().archive.get();
    for (auto _ : state) {
        for (std::int32_t index = 0; index < kPageCells; ++index) {
            std::uint8_t dataType = 0;
            auto bitmap = archive->GetBitmap(index, dataType);
            benchmark::DoNotOptimize(bitmap);
        }
    }
    state.SetItemsProcessed(state.iterations() * kPageCells);
}
BENCHMARK(BM_GridPageDecodeOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vantoro::bench
