// Parse and render cost of the metafile engine over synthetic drawings of 1k to 1M records
// (the cost should grow linearly), the 10,000-record drawing at 1000 x 1000 pixels that
// the preview's speed goal is stated for (under 20 ms), and the record decoders alone (EMF
// records played into a sink that draws nothing; a WMF parsed, which decodes every record).
// The EMF+ cases draw a dual EMF+ picture of 2,000 figures, with and without a 1600 x 1200
// JPEG photo in it: drawn again (the preview at a new size, PNG bands, the clipboard's
// renditions: one document drawn many times) and parsed and drawn afresh (a thumbnail, a
// picture loaded again).
//
//   build/release/bench/MetafileBench --benchmark_filter=.

#include "builders/EmfBuilder.h"
#include "builders/EmfPlusBuilder.h"
#include "builders/WmfBuilder.h"
#include "platform/metafile/Metafile.h"
#include "platform/metafile/format/EmfReader.h"
#include "platform/metafile/format/GdiSink.h"

#include <benchmark/benchmark.h>
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <map>

namespace {

using namespace plume;

const QByteArray& drawing(int records) {
    static std::map<int, QByteArray> made;
    auto it = made.find(records);
    if (it == made.end()) it = made.emplace(records, test::busyDrawing(records)).first;
    return it->second;
}

metafile::DocumentPtr parsed(int records) {
    metafile::ParseResult result = metafile::parseMetafile(drawing(records));
    if (auto* document = std::get_if<metafile::DocumentPtr>(&result)) return *document;
    return nullptr;
}

void BM_Parse(benchmark::State& state) {
    const QByteArray& bytes = drawing(int(state.range(0)));
    for (auto _ : state) {
        metafile::ParseResult result = metafile::parseMetafile(bytes);
        benchmark::DoNotOptimize(result);
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void renderAt(benchmark::State& state, int side) {
    const metafile::DocumentPtr document = parsed(int(state.range(0)));
    if (!document) {
        state.SkipWithError("the drawing did not parse");
        return;
    }
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    metafile::RenderOptions options;
    options.timeLimitMs = 600'000;  // measure the whole drawing, never a cut-off part
    bool cutOff = false;
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        cutOff |= metafile::render(*document, painter, QRectF(0, 0, side, side), options).cutOff;
    }
    if (cutOff) state.SkipWithError("the render was cut off");
    state.SetComplexityN(state.range(0));
}

void BM_Render1000(benchmark::State& state) {
    renderAt(state, 1000);
}

// A drawing too large for the default time limit, drawn with it: the time the limit lets a
// render take, and the records drawn (the same in every run when the limit counts work).
// A photo-like JPEG (smooth colours and fine noise) as an EMF+ compressed bitmap object's body.
QByteArray jpegImageBody(int width, int height) {
    QImage photo(width, height, QImage::Format_RGB32);
    uint32_t state = 777;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            const int noise = int((state >> 16) % 24);
            line[x] = qRgb((x * 255 / width + noise) % 256, (y * 255 / height + noise) % 256,
                           (x + y + noise) % 256);
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    photo.save(&buffer, "JPG", 85);
    QByteArray body;
    // Version, bitmap, width, height, stride and pixel format (left to the codec), compressed.
    for (uint32_t v : {0xDBC01002u, 1u, 0u, 0u, 0u, 0u, 1u}) test::appendU32(body, v);
    return body + jpeg;
}

// A dual EMF+ picture of `figures` figure records (fills, ellipses, lines, polygons), with a
// photo under them when asked, in comments of 100 records as writers make them.
QByteArray emfPlusDrawing(int figures, bool withPhoto) {
    test::EmfBuilder emf(1000, 1000);
    test::EmfPlusBuilder plus;
    plus.header(true).antialias(true).solidBrush(1, 0xFF3060A0).pen(2, 3, 0xFF202020);
    if (withPhoto)
        plus.object(3, 5, jpegImageBody(1600, 1200), 32'000)
            .drawImage(3, QRectF(0, 0, 1600, 1200), QRectF(0, 0, 1000, 750));
    uint32_t state = 4242;
    const auto next = [&state](int range) {
        state = state * 1103515245u + 12345u;
        return float((state >> 8) % uint32_t(range));
    };
    for (int i = 0; i < figures; ++i) {
        const float x = next(960), y = next(960);
        switch (i % 4) {
            case 0:
                plus.fillRects(test::plusColor(0xFF000000u | uint32_t(next(0xFFFFFF))),
                               {QRectF(x, y, 5 + next(40), 5 + next(40))});
                break;
            case 1:
                plus.fillEllipse(test::plusObject(1), QRectF(x, y, 5 + next(40), 5 + next(40)));
                break;
            case 2:
                plus.drawLines(2, {{x, y}, {x + next(40), y + next(40)}, {x + next(40), y}},
                               false);
                break;
            default:
                plus.fillPolygon(test::plusColor(0x80FF8000),
                                 {{x, y}, {x + next(40), y + 5}, {x + 5, y + next(40)}});
                break;
        }
        if (i % 100 == 99) plus.flushTo(emf);
    }
    plus.flushTo(emf);
    emf.rectangle(0, 0, 1000, 1000);  // the GDI rendition, for readers without EMF+
    plus.endOfFile().flushTo(emf);
    return emf.build();
}

const QByteArray& emfPlusPicture(bool withPhoto) {
    static const QByteArray plain = emfPlusDrawing(2000, false);
    static const QByteArray photo = emfPlusDrawing(2000, true);
    return withPhoto ? photo : plain;
}

void drawOnce(const metafile::Document& document, QImage& image) {
    image.fill(Qt::white);
    QPainter painter(&image);
    metafile::RenderOptions options;
    options.timeLimitMs = 600'000;
    metafile::render(document, painter, QRectF(image.rect()), options);
}

// One document drawn again and again; state.range(0) 1 with the photo.
void BM_EmfPlusRedraw(benchmark::State& state) {
    metafile::ParseResult result = metafile::parseMetafile(emfPlusPicture(state.range(0) != 0));
    const auto* document = std::get_if<metafile::DocumentPtr>(&result);
    if (!document) {
        state.SkipWithError("the drawing did not parse");
        return;
    }
    QImage image(1000, 1000, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) drawOnce(**document, image);
}

// The bytes parsed and drawn anew every time.
void BM_EmfPlusFirstDraw(benchmark::State& state) {
    const QByteArray& bytes = emfPlusPicture(state.range(0) != 0);
    QImage image(1000, 1000, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        metafile::ParseResult result = metafile::parseMetafile(bytes);
        if (const auto* document = std::get_if<metafile::DocumentPtr>(&result))
            drawOnce(**document, image);
    }
}

void BM_RenderDefaultLimit(benchmark::State& state) {
    const metafile::DocumentPtr document = parsed(int(state.range(0)));
    if (!document) {
        state.SkipWithError("the drawing did not parse");
        return;
    }
    QImage image(1000, 1000, QImage::Format_ARGB32_Premultiplied);
    qsizetype least = -1, most = 0;
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        const qsizetype played =
            metafile::render(*document, painter, QRectF(0, 0, 1000, 1000)).recordsPlayed;
        least = least < 0 ? played : std::min(least, played);
        most = std::max(most, played);
    }
    state.counters["least_records"] = double(least);
    state.counters["most_records"] = double(most);
}

// A WMF of about `records` records of the kinds drawings are made of: objects made, selected
// and deleted, state, figures, points, text, clipping.
QByteArray busyWmf(int records) {
    test::WmfBuilder wmf;
    uint32_t state = 12345;
    const auto next = [&state](int range) {
        state = state * 1103515245u + 12345u;
        return int((state >> 8) % uint32_t(std::max(1, range)));
    };
    while (wmf.recordCount() < records) {
        const int x = next(960), y = next(960);
        switch (next(8)) {
            case 0:
                wmf.createPen(0, 1 + next(3), uint32_t(next(0xFFFFFF))).selectObject(0);
                wmf.deleteObject(0);
                break;
            case 1:
                wmf.setTextColor(uint32_t(next(0xFFFFFF))).setBkMode(1 + next(2));
                break;
            case 2:
                wmf.rectangle(x, y, x + 10 + next(30), y + 10 + next(30));
                break;
            case 3:
                wmf.ellipse(x, y, x + 10 + next(30), y + 10 + next(30));
                break;
            case 4:
                wmf.polyline({{int16_t(x), int16_t(y)},
                              {int16_t(x + next(40)), int16_t(y + next(40))},
                              {int16_t(x + next(40)), int16_t(y)}});
                break;
            case 5:
                wmf.moveTo(x, y).lineTo(x + next(40), y + next(40));
                break;
            case 6:
                wmf.textOut(x, y, "Plume");
                break;
            default:
                wmf.saveDc().intersectClipRect(x, y, x + 200, y + 200).restoreDc(-1);
                break;
        }
    }
    return wmf.placeable(0, 0, 1000, 1000, 96);
}

void BM_DecodeEmf(benchmark::State& state) {
    const auto read = metafile::readEmf(drawing(int(state.range(0))));
    const auto* file = std::get_if<metafile::EmfFile>(&read);
    if (!file) {
        state.SkipWithError("the drawing did not parse");
        return;
    }
    metafile::GdiSink nothing;
    for (auto _ : state) benchmark::DoNotOptimize(metafile::playEmf(*file, nothing));
    state.SetComplexityN(state.range(0));
}

void BM_DecodeWmf(benchmark::State& state) {
    const QByteArray bytes = busyWmf(int(state.range(0)));
    for (auto _ : state) {
        metafile::ParseResult result = metafile::parseMetafile(bytes);
        benchmark::DoNotOptimize(result);
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_DecodeEmf)
    ->RangeMultiplier(100)
    ->Range(10'000, 1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_DecodeWmf)
    ->RangeMultiplier(100)
    ->Range(10'000, 1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_Parse)
    ->RangeMultiplier(10)
    ->Range(1'000, 1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_Render1000)
    ->RangeMultiplier(10)
    ->Range(1'000, 1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK(BM_RenderDefaultLimit)->Arg(1'000'000)->Iterations(5)->Unit(benchmark::kMillisecond);
// A fixed count of drawings, so that an instruction count (valgrind --tool=callgrind, steady
// however busy the machine) compares two builds too.
BENCHMARK(BM_EmfPlusRedraw)->Arg(0)->Arg(1)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EmfPlusFirstDraw)->Arg(0)->Arg(1)->Iterations(20)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // Text needs fonts, and fonts need a GUI application; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
