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
#include <array>
#include <cstdio>
#include <cstring>
#include <initializer_list>
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

QByteArray u32s(std::initializer_list<uint32_t> values) {
    QByteArray out;
    for (uint32_t v : values) plume::test::appendU32(out, v);
    return out;
}

QByteArray f32s(std::initializer_list<float> values) {
    QByteArray out;
    for (float v : values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        plume::test::appendU32(out, bits);
    }
    return out;
}

constexpr uint32_t kPlusVersion = 0xDBC01002;

// A 100 x 100 EMF+ picture: the records `plus` gathered in one comment (after a header), and
// for a dual picture a GDI fallback.
QByteArray plusPicture(EmfPlusBuilder& plus, bool dual = true) {
    EmfBuilder emf(100, 100);
    EmfPlusBuilder head;
    head.header(dual).flushTo(emf);
    plus.flushTo(emf);
    if (dual) emf.createBrush(1, 0, 0x0000FF).selectObject(1).rectangle(5, 5, 95, 95);
    EmfPlusBuilder().endOfFile().flushTo(emf);
    return emf.build();
}

// A default custom line cap (2.2.2.12) with a fill path and a line path.
QByteArray defaultCap() {
    const QByteArray fill = EmfPlusBuilder::pathBody({{-1, 0}, {1, 0}, {0, 2}}, {0, 1, 0x81},
                                                     false, false);
    const QByteArray line = EmfPlusBuilder::pathBody({{-1, -1}, {1, 1}}, {0, 1}, false, false);
    return u32s({kPlusVersion, 0, 0x03, 0}) + f32s({0.5f}) + u32s({0, 0, 0}) + f32s({10, 1}) +
           f32s({0, 0, 0, 0}) + u32s({uint32_t(fill.size())}) + fill +
           u32s({uint32_t(line.size())}) + line;
}

// EMF+ pictures for the objects the player draws with: brushes of every kind and wrap mode,
// path gradients, pens with custom caps, regions of every node type, image attributes and
// custom line caps, every image effect, and objects continued across records and comments.
// The pictures whose objects a dual picture would leave to its GDI records are EMF+-only, so
// that the player draws them.
void emfPlusSeeds(QList<std::pair<QString, QByteArray>>& seeds) {
    const QRectF all(5, 5, 90, 90);
    QImage cells(3, 2, QImage::Format_ARGB32);
    for (int i = 0; i < 6; ++i) cells.setPixel(i % 3, i / 3, qRgba(40 * i, 200, 255 - 40 * i, 255));
    for (uint32_t style : {0u, 17u, 18u, 35u, 52u}) {
        EmfPlusBuilder plus;
        plus.hatchBrush(1, style, 0xFF000080, 0xFFFFFF00).fillRects(plusObject(1), {all});
        seeds.append({QStringLiteral("emfplus-hatch-%1.emf").arg(style), plusPicture(plus)});
    }
    for (uint32_t wrap = 0; wrap <= 4; ++wrap) {
        EmfPlusBuilder plus;
        plus.textureBrush(1, cells, wrap).fillEllipse(plusObject(1), all);
        // Linear gradients: a transform, preset colours, horizontal or vertical blend factors.
        static constexpr uint32_t kFlags[] = {0x02, 0x04, 0x08, 0x18, 0};
        QByteArray linear = u32s({kPlusVersion, 4, kFlags[wrap], wrap}) +
                            f32s({10, 10, 30, 20}) +
                            u32s({0xFFFF0000, 0xFF0000FF, 0xFFFF0000, 0xFF0000FF});
        if (kFlags[wrap] & 0x02) linear += f32s({1, 0.5f, 0, 1, 3, 0});
        if (kFlags[wrap] & 0x04)
            linear += u32s({3}) + f32s({0, 0.5f, 1}) + u32s({0xFF00FF00, 0x80FFFFFF, 0xFF000000});
        else if (kFlags[wrap] & 0x08)
            linear += u32s({3}) + f32s({0, 0.3f, 1}) + f32s({0, 0.8f, 1});
        plus.object(2, 1, linear).fillPie(plusObject(2), 30, 250, all);
        seeds.append({QStringLiteral("emfplus-wrap-%1.emf").arg(wrap), plusPicture(plus, false)});
    }
    {
        // Path gradients: around a polygon, and around a path with a transform, preset
        // colours and focus scales, or blend factors.
        EmfPlusBuilder plus;
        plus.pathGradientBrush(1, {{10, 10}, {90, 20}, {50, 90}}, {50, 40}, 0xFFFFFFFF,
                               0xFF008000);
        plus.fillPolygon(plusObject(1), {{10, 10}, {90, 20}, {50, 90}});
        const QByteArray boundary = EmfPlusBuilder::pathBody(
            {{10, 50}, {50, 10}, {90, 50}, {50, 90}}, {0, 1, 1, 0x81}, false, false);
        const QByteArray head = u32s({kPlusVersion, 3});
        for (uint32_t flags : {0x47u, 0x09u}) {
            QByteArray body = head + u32s({flags, 1, 0xFFFFFF00}) + f32s({50, 50}) +
                              u32s({2, 0xFF0000FF, 0xFF00FFFF});
            body += u32s({uint32_t(boundary.size())}) + boundary;
            body += (flags & 0x02) ? f32s({1, 0, 0.2f, 1, 0, 0}) : QByteArray();
            body += (flags & 0x04) ? u32s({2}) + f32s({0, 1}) + u32s({0xFF000000, 0xFFFFFFFF})
                                   : u32s({2}) + f32s({0, 1}) + f32s({0, 1});
            if (flags & 0x40) body += u32s({2}) + f32s({0.3f, 0.5f});
            const auto id = uint8_t(flags & 0x0F);
            plus.object(id, 1, body).fillRects(plusObject(id), {all});
        }
        seeds.append({"emfplus-path-gradients.emf", plusPicture(plus, false)});
    }
    {
        // Pens: an arrow cap, a default cap with fill and line paths at the start, custom
        // dashes; and a custom line cap and image attributes as objects of their own.
        EmfPlusBuilder plus;
        plume::test::PlusPenStyle arrow;
        arrow.arrowEndCap = std::pair{3.0f, 4.0f};
        arrow.dashStyle = 5;
        arrow.dashes = {2, 1, 0.5f, 1};
        plus.pen(1, 3, 0xFF000000, arrow).drawLines(1, {{10, 10}, {90, 50}, {20, 90}}, false);
        const QByteArray cap = defaultCap();
        plus.object(2, 2, u32s({kPlusVersion, 0, 0x0806, 0}) + f32s({4}) + u32s({0xFF, 2}) +
                              u32s({uint32_t(cap.size())}) + cap +
                              EmfPlusBuilder::brushBody(0xFF800000));
        plus.drawBeziers(2, {{10, 80}, {30, 20}, {70, 20}, {90, 80}});
        plus.object(3, 9, cap).object(4, 8, u32s({kPlusVersion, 0, 3, 0xFF00FF00, 1, 0}));
        seeds.append({"emfplus-caps.emf", plusPicture(plus, false)});
    }
    {
        // Regions of every node type, as clips and filled.
        using namespace plume::test;
        const auto square = [](double x, double y) { return regionRect(QRectF(x, y, 40, 40)); };
        const QByteArray path = EmfPlusBuilder::pathBody({{5, 5}, {95, 5}, {50, 95}}, {0, 1, 0x81},
                                                         false, false);
        EmfPlusBuilder plus;
        plus.region(1, regionCombined(4, regionInfinite(), square(30, 30)))
            .region(2, regionCombined(1, regionPath(path), regionCombined(2, square(0, 0),
                                                                          regionEmpty())))
            .region(3, regionCombined(3, square(10, 10), regionCombined(5, square(30, 30),
                                                                        regionInfinite())))
            .scale(0.5f, 0.5f);
        for (uint8_t mode = 0; mode <= 5; ++mode)
            plus.clipRegion(uint8_t(1 + mode % 3), mode)
                .fillRegion(plusColor(0x80008000 + mode), 2);
        seeds.append({"emfplus-regions.emf", plusPicture(plus, false)});
    }
    // Every image effect a serializable object names, before a DrawImagePoints that applies it.
    static constexpr std::pair<uint32_t, std::array<uint8_t, 12>> kEffects[] = {
        {0x633C80A4, {0x43, 0x18, 0x2B, 0x48, 0x9E, 0xF2, 0xBE, 0x28, 0x34, 0xC5, 0xFD, 0xD4}},
        {0xD3A1DBE1, {0xC4, 0x8E, 0x17, 0x4C, 0x9F, 0x4C, 0xEA, 0x97, 0xAD, 0x1C, 0x34, 0x3D}},
        {0x537E597D, {0x1E, 0x25, 0xDA, 0x48, 0x96, 0x64, 0x29, 0xCA, 0x49, 0x6B, 0x70, 0xF8}},
        {0xDD6A0022, {0xE4, 0x58, 0x67, 0x4A, 0x9D, 0x9B, 0xD4, 0x8E, 0xB8, 0x81, 0xA5, 0x3D}},
        {0xA7CE72A9, {0x7F, 0x0F, 0xD7, 0x40, 0xB3, 0xCC, 0xD0, 0xC0, 0x2D, 0x5C, 0x32, 0x12}},
        {0x718F2615, {0x33, 0x79, 0xE3, 0x40, 0xA5, 0x11, 0x5F, 0x68, 0xFE, 0x14, 0xDD, 0x74}},
        {0x8B2DD6C3, {0x07, 0xEB, 0x87, 0x4D, 0xA5, 0xF0, 0x71, 0x08, 0xE2, 0x6A, 0x9C, 0x5F}},
        {0x99C354EC, {0x31, 0x2A, 0x3A, 0x4F, 0x8C, 0x34, 0x17, 0xA8, 0x03, 0xB3, 0x3A, 0x25}},
        {0x74D29D05, {0xA4, 0x69, 0x66, 0x42, 0x95, 0x49, 0x3C, 0xC5, 0x28, 0x36, 0xB6, 0x32}},
        {0x63CBF3EE, {0x26, 0xC5, 0x2C, 0x40, 0x8F, 0x71, 0x62, 0xC5, 0x40, 0xBF, 0x51, 0x42}},
        {0x1077AF00, {0x48, 0x28, 0x41, 0x44, 0x94, 0x89, 0x44, 0xAD, 0x4C, 0x2D, 0x7A, 0x2C}},
    };
    int effect = 0;
    for (const auto& [data1, rest] : kEffects) {
        QByteArray object = u32s({data1});
        for (uint8_t b : rest) object.append(char(b));
        object += u32s({16}) + f32s({1, 0.5f, 0.25f, 0});  // parameters, zero-padded
        for (bool dual : {true, false}) {
            EmfPlusBuilder plus;
            plus.bitmap(1, cells).record(0x4038, 0, object);
            plus.drawImagePoints(1, QRectF(0, 0, 3, 2), {{5, 5}, {95, 5}, {5, 95}}, true);
            const QString name = QStringLiteral("emfplus-effect-%1%2.emf");
            seeds.append({name.arg(effect).arg(dual ? "" : "-only"), plusPicture(plus, dual)});
        }
        ++effect;
    }
    {
        // Objects continued across records, and across comments: a bitmap in 64-byte parts,
        // a path whose parts lie in two comments.
        EmfBuilder emf(100, 100);
        EmfPlusBuilder plus;
        plus.header(true).object(1, 5, EmfPlusBuilder::bitmapBody(cells), 64);
        const QByteArray path = EmfPlusBuilder::pathBody({{5, 5}, {95, 5}, {95, 95}, {5, 95}},
                                                         {0, 1, 1, 0x81}, false, false);
        const qsizetype half = path.size() / 2;
        plus.record(0x4008, 0x8302, u32s({uint32_t(path.size())}) + path.left(half)).flushTo(emf);
        plus.record(0x4008, 0x8302, u32s({uint32_t(path.size())}) + path.mid(half));
        plus.fillPath(plusColor(0xFF808000), 2)
            .drawImage(1, QRectF(0, 0, 3, 2), QRectF(20, 20, 60, 60));
        plus.endOfFile().flushTo(emf);
        seeds.append({"emfplus-continued.emf", emf.build()});
    }
    for (const auto& r : plume::metafile::emfPlusRecordTable())
        seeds.append({QStringLiteral("record-emfplus-%1.emf").arg(r.type, 4, 16, QLatin1Char('0')),
                      plume::test::sampleEmfPlusFile(uint16_t(r.type))});
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
    emfPlusSeeds(seeds);
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
