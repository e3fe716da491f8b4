// Writes the fuzzer's seed corpus into the folder named on the command line: small EMF and
// WMF files made record by record (one family of records each, and one file for each record
// type of the record table), and a few raster files, so the search starts from valid
// structure in every branch of the loader.

#include "builders/EmfBuilder.h"
#include "builders/EmfPlusBuilder.h"
#include "builders/RecordSamples.h"
#include "builders/WmfBuilder.h"
#include "platform/metafile/format/RecordTable.h"

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
        // Text laid out under a y-up mapping in both graphics modes, a turned and a vertical
        // face, lfWidth, justification and ETO_PDY advances.
        EmfBuilder emf(200, 120);
        emf.setMapMode(8).setWindowExt(200, -120).setWindowOrg(0, 120).setViewportExt(200, 120);
        emf.createFont(1, -16, 400, QStringLiteral("Arial"), 2700, 0, 0, 0, 9).selectObject(1);
        emf.setTextJustification(12, 1).extTextOutW(10, 100, QStringLiteral("a b"));
        emf.createTurnedFont(2, -16, QStringLiteral("@MS Gothic"), 2700, 900).selectObject(2);
        emf.textGraphicsMode(2).setTextJustification(0, 0);
        emf.extTextOutW(60, 100, QStringLiteral("縦書きAb"), 0x2000, {16, 2, 16, 2, 16, 2, 8, 0, 8, 0});
        seeds.append({"text-layout.emf", emf.build()});
        WmfBuilder wmf;
        wmf.setWindowExt(200, 60).createFont(-16, "Arial").selectObject(0);
        wmf.setTextCharacterExtra(3).setTextJustification(10, 2).extTextOut(5, 5, "a b c");
        seeds.append({"text-spacing.wmf", wmf.placeable(0, 0, 200, 60, 96)});
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
        // AlphaBlend, TransparentBlt, MaskBlt and PlgBlt, with and without their masks.
        QImage tile(6, 6, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x)
                tile.setPixel(x, y, qPremultiply(qRgba(200, 40 * y, 0, 40 * x)));
        QImage mono(6, 6, QImage::Format_Indexed8);
        mono.setColorCount(2);
        mono.setColor(0, qRgb(0, 0, 0));
        mono.setColor(1, qRgb(255, 255, 255));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x) mono.setPixel(x, y, uint((x + y) & 1));
        const auto argb = EmfBuilder::dib32Bitfields(tile, {0xFF0000, 0xFF00, 0xFF, 0});
        const auto rgb = EmfBuilder::dib(tile, 24, false);
        const auto mask = EmfBuilder::dib(mono, 1, false);
        EmfBuilder emf(100, 100);
        emf.alphaBlend(5, 5, 30, 30, argb, tile.size(), 0x01C00000);
        emf.transparentBlt(40, 5, 30, 30, rgb, tile.size(), 0x000000C8);
        emf.maskBlt(5, 40, 6, 6, rgb, 0xAACC0020, mask).maskBlt(20, 40, 6, 6, {}, 0xAAF00021, mask);
        emf.plgBlt({{{50, 50}, {90, 60}, {45, 95}}}, rgb, tile.size(), mask);
        seeds.append({"masked-bitmaps.emf", emf.build()});
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
    {
        // Palettes, palette-indexed colours and pattern brushes.
        QImage tile(8, 8, QImage::Format_Mono);
        tile.fill(0);
        for (int i = 0; i < 8; ++i) tile.setPixel(i, i, 1);
        const auto [monoInfo, monoBits] = EmfBuilder::dib(tile, 1, false);
        const auto [info, bits] = EmfBuilder::dib(tile, 8, false);
        EmfBuilder emf(100, 100);
        emf.createPalette(1, {0x0000FF, 0x00FF00, 0x01FF0000}).selectPalette(1).realizePalette();
        emf.setPaletteEntries(1, 1, {0x808080}).resizePalette(1, 6).setBrushOrg(3, 5);
        emf.createBrush(2, 0, 0x01000002).selectObject(2).rectangle(5, 5, 50, 50);
        emf.setTextColor(0x01000001).setBkColor(0x02FFFF00);
        emf.dibBrush(93, 3, 0, monoInfo, monoBits).selectObject(3).rectangle(40, 40, 95, 95);
        emf.dibBrush(94, 4, 1, info, bits).selectObject(4).rectangle(5, 60, 40, 95);
        emf.stretchDiBitsRaw(60, 5, 30, 30, tile.size(), info, bits, 1);
        seeds.append({"palette.emf", emf.build()});
        WmfBuilder wmf;
        wmf.createPalette({0x0000FF, 0x01FF0000}).selectPalette(0).realizePalette();
        wmf.paletteRecord(plume::metafile::META_SETPALENTRIES, 0, {0x00FF00});
        wmf.paletteRecord(plume::metafile::META_ANIMATEPALETTE, 1, {0x808080});
        wmf.resizePalette(4).createBrush(0, 0x01000001).selectObject(1).rectangle(0, 0, 50, 50);
        wmf.dibPatternBrush(5, 1, info + bits).selectObject(2).rectangle(40, 40, 99, 99);
        seeds.append({"palette.wmf", wmf.placeable(0, 0, 100, 100, 96)});
    }
    // One small file per record type of the record table, so that the search starts inside
    // every record decoder, the ignored and not-yet ones included.
    for (const auto& r : plume::metafile::emfRecordTable())
        seeds.append({QStringLiteral("record-emf-%1.emf").arg(r.type, 3, 10, QLatin1Char('0')),
                      plume::test::sampleEmfFile(r.type)});
    for (const auto& r : plume::metafile::wmfRecordTable())
        seeds.append({QStringLiteral("record-wmf-%1.wmf").arg(r.type, 4, 16, QLatin1Char('0')),
                      plume::test::sampleWmfFile(uint16_t(r.type))});
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
