// Writes the fuzzer's seed corpus into the folder named on the command line: small EMF and
// WMF files made record by record (one family of records each), and a few raster files, so
// the search starts from valid structure in every branch of the loader.

#include "builders/EmfBuilder.h"
#include "builders/EmfPlusBuilder.h"
#include "builders/WmfBuilder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <vector>

namespace {

using plume::metafile::EmfRecordType;
using plume::test::busyDrawing;
using plume::test::EmfBuilder;
using plume::test::EmfPlusBuilder;
using plume::test::plusColor;
using plume::test::plusObject;
using plume::test::WmfBuilder;

bool write(const QDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(".")) return 1;

    QList<std::pair<QString, QByteArray>> seeds;
    seeds.append({"busy-50.emf", busyDrawing(50, 200, 150)});
    seeds.append({"busy-400.emf", busyDrawing(400, 400, 300)});
    {
        EmfBuilder emf(120, 90);
        emf.createPen(1, 2, 3, 0x0000FF);
        emf.createBrush(2, 2, 0x00FF00, 3);  // hatched
        emf.selectObject(1).selectObject(2);
        emf.rectangle(5, 5, 60, 40);
        emf.ellipse(50, 30, 110, 80);
        emf.poly(uint32_t(EmfRecordType::Polygon16), {{10, 80}, {40, 50}, {70, 85}});
        emf.poly(uint32_t(EmfRecordType::Polyline16), {{0, 0}, {119, 89}, {0, 89}});
        emf.deleteObject(1);
        seeds.append({"shapes.emf", emf.build()});
    }
    {
        EmfBuilder emf(200, 60);
        const QString text = QStringLiteral("Plume 図形");
        emf.createFont(1, -20, 400, QStringLiteral("MS Gothic"), 0, 128);
        emf.selectObject(1).setTextColor(0x0000FF).setBkMode(1);
        emf.extTextOutW(5, 5, text, 0, std::vector<int>(size_t(text.size()), 18), {0, 0, -1, -1});
        emf.extTextOutW(5, 30, QStringLiteral("abc"), 0, {}, {0, 0, -1, -1});
        emf.smallTextOut(5, 45, QStringLiteral("small"), 0x300);  // bytes, no rectangle
        emf.smallTextOut(60, 45, QStringLiteral("wide"), 0x4, {60, 45, 90, 58});  // clipped
        seeds.append({"text.emf", emf.build()});
    }
    {
        // A 7 x 5 gradient stretched over most of the picture.
        QImage gradient(7, 5, QImage::Format_RGB32);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                gradient.setPixel(x, y, qRgb(128, (4 - y) * 255 / 4, x * 255 / 6));
        EmfBuilder emf(100, 100);
        emf.stretchDiBits(10, 10, 80, 80, gradient, 0x00CC0020);  // SRCCOPY
        // The same bitmap as an embedded PNG (BI_PNG).
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        gradient.save(&buffer, "PNG");
        emf.stretchDiBitsPng(20, 20, 40, 40, gradient.size(), png);
        seeds.append({"bitmap.emf", emf.build()});
    }
    {
        EmfBuilder emf(100, 100);
        emf.saveDc().setMapMode(8).setWindowExt(1000, 1000).setViewportExt(100, 100);
        emf.rectangle(100, 100, 900, 900);
        emf.restoreDc(-1).moveTo(0, 0).lineTo(99, 99);
        seeds.append({"mapmode.emf", emf.build()});
    }
    for (bool placeable : {true, false}) {
        WmfBuilder wmf;
        wmf.setWindowOrg(0, 0).setWindowExt(1440, 1080);
        wmf.createPen(0, 20, 0x000000);
        wmf.createBrush(0, 0x00FFFF);
        wmf.selectObject(0);
        wmf.selectObject(1);
        wmf.rectangle(100, 100, 700, 500);
        wmf.ellipse(600, 400, 1300, 1000);
        wmf.words(plume::metafile::META_POLYLINE, {3, 0, 0, 1440, 0, 1440, 1080});
        seeds.append({placeable ? "shapes-placeable.wmf" : "shapes-raw.wmf",
                      placeable ? wmf.placeable(0, 0, 1440, 1080, 1440) : wmf.raw()});
    }
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    // EMF+ pictures: one with every figure, object and state record the player draws, in a
    // dual picture with a GDI fallback; one EMF+-only with a GetDC section and continued objects.
    seeds.append({"emfplus-dual.emf", plume::test::emfPlusSampler()});
    {
        EmfBuilder emf(100, 100);
        EmfPlusBuilder plus;
        plus.header(false).object(1, 1, EmfPlusBuilder::brushBody(0xFF336699), 5);
        plus.object(2, 3, EmfPlusBuilder::pathBody({{0, 0}, {50, 0}, {0, 50}}, {0, 1, 0x81},
                                                   false, false), 16);
        plus.fillPath(plusObject(1), 2).getDc().flushTo(emf);
        emf.createPen(1, 0, 3, 0x00FF00).selectObject(1).ellipse(40, 40, 90, 90);
        plus.fillEllipse(plusObject(1), {10, 60, 30, 30}).endOfFile().flushTo(emf);
        seeds.append({"emfplus-only.emf", emf.build()});
    }
    seeds.append({"small.bmp", encoded(image, "BMP")});
    seeds.append({"small.png", encoded(image, "PNG")});

    for (const auto& [name, bytes] : seeds)
        if (!write(dir, name, bytes)) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", qUtf8Printable(name));
            return 1;
        }
    std::printf("make_fuzz_seeds: %d seeds in %s\n", int(seeds.size()), argv[1]);
    return 0;
}
