// Time of an EMF+ rendition against its own GDI fallback, in one process: every dual EMF+
// file of the corpus is parsed once and rendered at its own size both ways (as it is drawn,
// and with its GDI records only), the two interleaved, and the program prints each file's
// ratio EMF+ / GDI and the median and worst ratio (goal: at most 2). Unlike
// bench/emfplus_ratio.sh it leaves out process start-up and PNG encoding, so small files
// count with their drawing time alone.
//
//   build/release/bench/EmfPlusRatioBench [corpus-emf-folder]   (default ../shared/metafile-corpus/emf)

#include "platform/metafile/Metafile.h"
#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/EmfPlusReader.h"
#include "platform/metafile/format/EmfReader.h"
#include "platform/metafile/format/PlayableDocument.h"
#include "platform/picture/Picture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace plume;

// Whether the EMF's first EMF+ record is a header with the dual flag set.
bool isDualEmfPlus(const metafile::EmfFile& file) {
    for (size_t i = 1; i < file.records.size(); ++i) {
        const auto& ref = file.records[i];
        if (ref.type != uint32_t(metafile::EmfRecordType::Comment)) continue;
        const auto payload = metafile::emfplus::emfPlusPayload(
            metafile::byteSpan(file.bytes).subspan(ref.offset, ref.size));
        if (payload.empty()) continue;
        std::optional<bool> dual;
        metafile::emfplus::Reader reader;
        metafile::emfplus::forEachRecord(payload, [&](const metafile::emfplus::RawRecord& raw) {
            if (dual) return;
            const auto record = reader.decode(raw);
            const auto* header =
                record ? std::get_if<metafile::emfplus::HeaderRecord>(&*record) : nullptr;
            dual = header && header->dual;
        });
        return dual.value_or(false);
    }
    return false;
}

// Best time of `rounds` renders in microseconds, at least 1.
double bestRenderMicros(const metafile::Document& document, QImage& image, bool emfPlus,
                        int rounds) {
    metafile::RenderOptions options;
    options.drawEmfPlus = emfPlus;
    options.timeLimitMs = 600'000;
    double best = 1e18;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        image.fill(Qt::white);
        QPainter painter(&image);
        metafile::render(document, painter, QRectF(image.rect()), options);
        painter.end();
        best = std::min(best, double(timer.nsecsElapsed()) / 1000.0);
    }
    return std::max(best, 1.0);
}

struct Row {
    double ratio;
    double plusMs;
    double gdiMs;
    QString name;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QStringLiteral("../shared/metafile-corpus/emf");
    const QDir dir(folder);
    if (!dir.exists()) {
        std::fprintf(stderr, "EmfPlusRatioBench: no folder %s\n", qPrintable(folder));
        return 2;
    }
    std::vector<Row> rows;
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = file.readAll();
        auto parsed = metafile::parseMetafile(bytes);
        const auto* document = std::get_if<metafile::DocumentPtr>(&parsed);
        if (!document) continue;
        const auto* playable = dynamic_cast<const metafile::PlayableDocument*>(document->get());
        const metafile::EmfFile* emf = playable ? playable->emfFile() : nullptr;
        if (!emf || !isDualEmfPlus(*emf)) continue;
        const QSize size = ownPixelSize(**document, 96.0);
        if (size.isEmpty() || qint64(size.width()) * size.height() > 25'000'000) continue;
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        // Interleaved so that a change of machine load touches both renditions alike.
        double plus = 1e18, gdi = 1e18;
        for (int round = 0; round < 3; ++round) {
            plus = std::min(plus, bestRenderMicros(**document, image, true, 3));
            gdi = std::min(gdi, bestRenderMicros(**document, image, false, 3));
        }
        rows.push_back({plus / gdi, plus / 1000.0, gdi / 1000.0, name});
    }
    if (rows.empty()) {
        std::fprintf(stderr, "EmfPlusRatioBench: no dual EMF+ file in %s\n", qPrintable(folder));
        return 2;
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.ratio < b.ratio; });
    std::printf("%-8s %10s %10s  %s\n", "EMF+/GDI", "EMF+ ms", "GDI ms", "file");
    for (const Row& row : rows)
        std::printf("%8.2f %10.2f %10.2f  %s\n", row.ratio, row.plusMs, row.gdiMs,
                    qPrintable(row.name));
    std::printf("%zu dual files: median ratio %.2f, worst %.2f\n", rows.size(),
                rows[(rows.size() - 1) / 2].ratio, rows.back().ratio);
    return 0;
}
