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
#include "platform/ThumbnailGrid.h"
#include "platform/ThumbnailGridFacade.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <chrono>
#include <cstdint>
#include <memory>

namespace {

constexpr int kDrawings = 1000;
constexpr int kColumns = 3;
constexpr int kRows = 5;
constexpr int kThumbSize = 200;

// A little-endian writer for WMF records (MS-WMF 2.3).
class WmfWriter {
  public:
    void u16(uint16_t v) {
        char b[2];
        qToLittleEndian(v, b);
        m_bytes.append(b, 2);
    }
    void i16(int16_t v) { u16(uint16_t(v)); }
    void u32(uint32_t v) {
        char b[4];
        qToLittleEndian(v, b);
        m_bytes.append(b, 4);
    }
    // One record: size in 16-bit words, function, parameters.
    void record(uint16_t function, std::initializer_list<int> params) {
        const uint32_t words = 3 + uint32_t(params.size());
        u32(words);
        u16(function);
        for (int p : params) i16(int16_t(p));
        m_maxRecord = std::max(m_maxRecord, words);
    }
    QByteArray& bytes() { return m_bytes; }
    uint32_t maxRecord() const { return m_maxRecord; }

  private:
    QByteArray m_bytes;
    uint32_t m_maxRecord = 0;
};

// A placeable WMF of `width` x `height` logical units at 1440 units an inch, with a few
// dozen shapes chosen by `seed`.
QByteArray generatedDrawing(int seed, int width, int height) {
    quint32 state = 2654435761u * quint32(seed + 7);
    auto next = [&state](int range) {
        state = state * 1664525u + 1013904223u;
        return int((state >> 8) % quint32(std::max(1, range)));
    };
    WmfWriter body;
    body.record(0x020B, {0, 0});           // META_SETWINDOWORG (y, x)
    body.record(0x020C, {height, width});  // META_SETWINDOWEXT (y, x)
    for (int shape = 0; shape < 40; ++shape) {
        const int colour = next(0xffffff);
        // META_CREATEPENINDIRECT: style, width (x, y), colour
        body.record(0x02FA, {0, 10 + next(40), 0, colour & 0xffff, colour >> 16});
        // META_CREATEBRUSHINDIRECT: solid, colour, hatch
        const int fill = next(0xffffff);
        body.record(0x02FC, {0, fill & 0xffff, fill >> 16, 0});
        body.record(0x012D, {0});  // META_SELECTOBJECT pen
        body.record(0x012D, {1});  // META_SELECTOBJECT brush
        const int l = next(width), t = next(height);
        const int r = std::min(width, l + 50 + next(width / 3));
        const int b = std::min(height, t + 50 + next(height / 3));
        switch (shape % 3) {
            case 0:
                body.record(0x0418, {b, r, t, l});
                break;  // META_ELLIPSE
            case 1:
                body.record(0x041B, {b, r, t, l});
                break;  // META_RECTANGLE
            default:    // META_POLYLINE, 4 points
                body.record(0x0325, {4, l, t, r, t, l, b, r, b});
        }
        body.record(0x01F0, {0});  // META_DELETEOBJECT
        body.record(0x01F0, {1});
    }
    body.record(0x0000, {});  // META_EOF

    WmfWriter file;
    // Placeable header (MS-WMF 2.3.2.3): key, handle, bounds, inch, reserved, checksum.
    const uint16_t words[10] = {0xCDD7,          0x9AC6,           0,    0, 0,
                                uint16_t(width), uint16_t(height), 1440, 0, 0};
    uint16_t checksum = 0;
    for (uint16_t w : words) {
        file.u16(w);
        checksum ^= w;
    }
    file.u16(checksum);
    // META_HEADER (MS-WMF 2.3.2.2): memory metafile, 9 words, version 3.
    const uint32_t total = 9 + uint32_t(body.bytes().size() / 2);
    file.u16(1);
    file.u16(9);
    file.u16(0x0300);
    file.u32(total);
    file.u16(2);
    file.u32(body.maxRecord());
    file.u16(0);
    file.bytes().append(body.bytes());
    return file.bytes();
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
