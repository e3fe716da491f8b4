// Opening a folder of 1,000 drawings in the thumbnail grid: time until the first page is
// painted, time until the whole folder is rendered (one and two worker threads), and the
// first page of a second opening that finds the thumbnails in the disk cache. Peak RSS is
// reported with each run.
//
// The folder is made at run time: generated placeable WMF drawings (lines, rectangles,
// ellipses in varying colours and aspects) plus copies of the real clipboard captures.
//
//   build/release/bench/thumbnail_grid [--benchmark_filter=...]
//   PLUME_SHARED_DIR names the shared data folder (default: ../shared beside the checkout).
#include "platform/thumbnails/ThumbnailGrid.h"
#include "platform/thumbnails/ThumbnailGridFacade.h"

#include "builders/WmfBuilder.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <memory>

namespace {

constexpr int kDrawings = 1000;
constexpr int kColumns = 3;
constexpr int kRows = 5;
constexpr int kThumbSize = 200;

// A placeable WMF of `width` x `height` logical units at 1440 units an inch, with a few
// dozen shapes chosen by `seed`.
QByteArray generatedDrawing(int seed, int width, int height) {
    using namespace plume::metafile;
    quint32 state = 2654435761u * quint32(seed + 7);
    auto next = [&state](int range) {
        state = state * 1664525u + 1013904223u;
        return int((state >> 8) % quint32(std::max(1, range)));
    };
    plume::test::WmfBuilder wmf;
    // The header these drawings have always had: eight object slots.
    wmf.setObjectCount(8);
    wmf.setWindowOrg(0, 0).setWindowExt(width, height);
    for (int shape = 0; shape < 40; ++shape) {
        const int colour = next(0xffffff);
        wmf.createPen(0, 10 + next(40), uint32_t(colour));
        wmf.createBrush(0, uint32_t(next(0xffffff)));
        wmf.selectObject(0);
        wmf.selectObject(1);
        const int l = next(width), t = next(height);
        const int r = std::min(width, l + 50 + next(width / 3));
        const int b = std::min(height, t + 50 + next(height / 3));
        switch (shape % 3) {
            case 0:
                wmf.ellipse(l, t, r, b);
                break;
            case 1:
                wmf.rectangle(l, t, r, b);
                break;
            default:  // four points
                wmf.words(META_POLYLINE, {4, l, t, r, t, l, b, r, b});
        }
        wmf.words(META_DELETEOBJECT, {0});
        wmf.words(META_DELETEOBJECT, {1});
    }
    return wmf.placeable(0, 0, width, height, 1440);
}

QString sharedDir() {
    const QString fromEnv = qEnvironmentVariable("PLUME_SHARED_DIR");
    // build/<preset>/bench/ inside the checkout, which sits beside the shared folder.
    return fromEnv.isEmpty()
               ? QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../../../../shared")
               : fromEnv;
}

// The folder of drawings, made once for the whole run.
const QString& drawingFolder() {
    static QTemporaryDir root;
    static const QString folder = [] {
        const QString path = root.filePath("drawings");
        QDir().mkpath(path);
        const QString captures = sharedDir() + "/clipboard-captures";
        const QStringList real =
            QDir(captures).entryList({"*.emf", "*.wmf"}, QDir::Files, QDir::Name);
        for (int i = 0; i < kDrawings; ++i) {
            const QString name = path + QStringLiteral("/%1.wmf").arg(i + 1, 4, 10, QChar('0'));
            // Every 25th file is a real capture (Plume keeps EMF bytes under ".wmf" too).
            if (!real.isEmpty() && i % 25 == 0) {
                QFile::copy(captures + "/" + real.at((i / 25) % real.size()), name);
                continue;
            }
            QFile file(name);
            file.open(QIODevice::WriteOnly);
            const int width = 2000 + (i * 37) % 6000, height = 2000 + (i * 53) % 5000;
            file.write(generatedDrawing(i, width, height));
        }
        return path;
    }();
    return folder;
}

struct Opening {
    double firstPageMs = 0;
    double wholeFolderMs = 0;
    int failed = 0;
};

// Opens the folder in a fresh grid, as the chooser does, and waits for the first page and,
// when asked, for the whole folder.
Opening openFolder(std::shared_ptr<plume::ThumbnailCache> cache, int threads, bool waitForAll) {
    plume::ThumbnailGrid grid(plume::renderPictureThumbnail, std::move(cache));
    grid.threadPool().setMaxThreadCount(threads);
    grid.setThumbnailLayout({kColumns, kRows, kThumbSize, true});
    grid.resize(kColumns * 220, kRows * 230);
    grid.show();
    QCoreApplication::processEvents();

    Opening result;
    QElapsedTimer clock;
    clock.start();
    grid.listFolder(drawingFolder(), QStringLiteral("wmf"));
    auto firstPageReady = [&] {
        for (int i = 0; i < kColumns * kRows; ++i)
            if (!grid.hasImage(i) && grid.cellState(i) != plume::ThumbnailGrid::CellState::Failed)
                return false;
        return true;
    };
    while (!firstPageReady()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    grid.viewport()->repaint();
    result.firstPageMs = clock.nsecsElapsed() / 1e6;
    if (waitForAll) {
        while (!grid.allDone()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        result.wholeFolderMs = clock.nsecsElapsed() / 1e6;
        for (int i = 0; i < grid.count(); ++i)
            if (grid.cellState(i) == plume::ThumbnailGrid::CellState::Failed) ++result.failed;
    }
    return result;
}

double peakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// A cold opening: empty cache, first page and the whole folder.
void BM_ColdOpening(benchmark::State& state) {
    const int threads = int(state.range(0));
    drawingFolder();
    for (auto _ : state) {
        QTemporaryDir cacheDir;
        auto cache = std::make_shared<plume::ThumbnailCache>(cacheDir.path());
        const Opening opening = openFolder(cache, threads, true);
        state.SetIterationTime(opening.wholeFolderMs / 1000);
        state.counters["first_page_ms"] = opening.firstPageMs;
        state.counters["whole_folder_ms"] = opening.wholeFolderMs;
        state.counters["failed"] = opening.failed;
        state.counters["cache_MiB"] = cache->bytesOnDisk() / 1048576.0;
    }
    state.counters["peak_rss_MiB"] = peakRssMiB();
}
BENCHMARK(BM_ColdOpening)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A second opening: the cache holds every thumbnail from the first.
void BM_SecondOpeningFromCache(benchmark::State& state) {
    drawingFolder();
    QTemporaryDir cacheDir;
    auto cache = std::make_shared<plume::ThumbnailCache>(cacheDir.path());
    openFolder(cache, 2, true);
    for (auto _ : state) {
        const Opening opening = openFolder(cache, 2, false);
        state.SetIterationTime(opening.firstPageMs / 1000);
        state.counters["first_page_ms"] = opening.firstPageMs;
    }
    state.counters["peak_rss_MiB"] = peakRssMiB();
}
BENCHMARK(BM_SecondOpeningFromCache)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
