#include "platform/metafile/format/WmfReader.h"

#include "platform/metafile/format/Dib.h"
#include "platform/metafile/format/EmfWriter.h"
#include "platform/metafile/format/MetafileFormat.h"
#include "support/RecordingSink.h"
#include "support/TestSupport.h"
#include "builders/WmfBuilder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <array>
#include <random>

namespace plume::metafile {
namespace {

using test::RecordingSink;
using test::WmfBuilder;

std::span<const uint8_t> span(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size())};
}

uint32_t u32At(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

WmfFile read(const QByteArray& bytes) {
    auto result = readWmf(span(bytes));
    if (auto* error = std::get_if<ParseError>(&result))
        ADD_FAILURE() << "refused: " << error->message.toStdString();
    return std::get<WmfFile>(result);
}

// Plays the bytes and returns the calls after the framing that playWmf adds itself.
QStringList play(const QByteArray& bytes, RecordingSink* out = nullptr) {
    const WmfFile file = read(bytes);
    RecordingSink sink;
    playWmf(span(bytes), file, sink);
    // begin() and, when the picture has a box, the five calls that map it come first.
    const QStringList calls =
        sink.calls.mid(sink.calls.value(1).startsWith(QLatin1String("mapMode 8")) ? 6 : 1);
    if (out) *out = sink;
    return calls;
}

TEST(WmfReaderTest, PlaceableAndRawHeaders) {
    WmfBuilder w;
    w.rectangle(0, 0, 10, 10);
    auto file = read(w.placeable(-100, 20, 4700, 3620, 960));
    EXPECT_TRUE(file.header.placeable);
    EXPECT_EQ(file.header.bounds, (Rect{-100, 20, 4700, 3620}));
    EXPECT_EQ(file.header.unitsPerInch, 960);
    EXPECT_TRUE(file.header.checksumMatches);
    EXPECT_EQ(file.records.size(), 1u);
    EXPECT_TRUE(file.truncationNote.isEmpty());
    // 960 units per inch: one unit is 2540 / 960 hundredths of a millimetre.
    const PictureInfo info = wmfPictureInfo(file);
    EXPECT_EQ(info.frame, (Rect{-265, 53, 12435, 9578}));
    EXPECT_EQ(info.bounds, (Rect{-100, 20, 4699, 3619}));

    // A checksum that does not match is tolerated (many writers get it wrong).
    QByteArray bad = w.placeable(0, 0, 100, 100, 1440);
    bad[20] = static_cast<char>(bad[20] ^ 0x5A);
    auto badFile = read(bad);
    EXPECT_FALSE(badFile.header.checksumMatches);
    EXPECT_EQ(badFile.records.size(), 1u);

    // Raw: the window gives the size, at 96 units per inch.
    WmfBuilder raw;
    raw.setWindowOrg(10, 20).setWindowExt(960, 480).lineTo(5, 5);
    const PictureInfo rawInfo = wmfPictureInfo(read(raw.raw()));
    EXPECT_EQ(rawInfo.frame, (Rect{265, 529, 25665, 13229}));
    // A placeholder window of 1 x 1 gives way to the window set after it before the drawing
    // starts; a real first window stays, and so does any window once the drawing has started.
    WmfBuilder placeholder;
    placeholder.setWindowOrg(0, 0).setWindowExt(1, 1).setWindowOrg(10, 20).setWindowExt(960, 480);
    placeholder.setWindowExt(5, 5).lineTo(5, 5).setWindowOrg(0, 0).setWindowExt(2, 2);
    EXPECT_EQ(wmfPictureInfo(read(placeholder.raw())).frame, rawInfo.frame);
    WmfBuilder late;
    late.setWindowExt(1, 1).lineTo(5, 5).setWindowExt(960, 480);
    EXPECT_EQ(wmfPictureInfo(read(late.raw())).frame, (Rect{0, 0, 26, 26}));
    // A raw window larger than 1,024 units on either side is made 1,024 pixels on that side
    // at 96 dpi (clip art of 10,800 x 7,800 units would otherwise be 10,800 pixels wide).
    for (const auto& [cx, cy, width, height] :
         {std::array{10800, 7800, 1024, 740}, std::array{2550, 3300, 791, 1024},
          std::array{1024, 500, 1024, 500}}) {
        WmfBuilder large;
        large.setWindowExt(cx, cy).lineTo(5, 5);
        const Rect frame = wmfPictureInfo(read(large.raw())).frame;
        EXPECT_NEAR((frame.right - frame.left) * 96.0 / 2540, width, 0.5) << cx;
        EXPECT_NEAR((frame.bottom - frame.top) * 96.0 / 2540, height, 0.5) << cy;
    }

    // Without a window: the drawn bounds.
    WmfBuilder drawn;
    drawn.rectangle(10, 10, 50, 30).lineTo(70, 5);
    EXPECT_EQ(wmfPictureInfo(read(drawn.raw())).bounds, (Rect{10, 5, 70, 30}));
    // A blit covers its pixels up to one before its far edge: an icon of 32 x 32 is that size.
    WmfBuilder icon;
    icon.patBlt(0, 0, 32, 32, 0x00FF0062);
    EXPECT_EQ(wmfPictureInfo(read(icon.raw())).bounds, (Rect{0, 0, 31, 31}));

    // Not WMF at all, and a placeable header before garbage.
    for (const QByteArray& junk :
         {QByteArray("GIF89a"), QByteArray(40, '\0'), w.placeable(0, 0, 1, 1, 1).left(30)}) {
        auto result = readWmf(span(junk));
        ASSERT_TRUE(std::holds_alternative<ParseError>(result));
        EXPECT_FALSE(std::get<ParseError>(result).message.isEmpty());
    }
    EXPECT_TRUE(looksLikeWmf(span(w.raw())));
    EXPECT_TRUE(looksLikeWmf(span(w.placeable(0, 0, 1, 1, 1))));
    EXPECT_FALSE(looksLikeWmf(span(QByteArray("\x01\x00\x00\x00", 4))));
}

TEST(WmfReaderTest, ObjectsTakeTheLowestFreeSlot) {
    WmfBuilder w;
    w.createPen(0, 1, 0x0000FF)     // slot 0
        .createBrush(0, 0x00FF00)   // slot 1
        .createPen(2, 3, 0xFF0000)  // slot 2
        .deleteObject(1)            // frees 1
        .createBrush(1, 0)          // takes 1 again
        .createBrush(0, 0x123456)   // slot 3
        .selectObject(3)
        .selectObject(7)  // never created: not passed on
        .deleteObject(9);
    const QStringList calls = play(w.raw());
    EXPECT_EQ(calls,
              (QStringList{"pen 0 style 0 width 1 color 0000ff", "brush 1 style 0 color 00ff00",
                           "pen 2 style 2 width 3 color ff0000", "delete 1",
                           "brush 1 style 1 color 000000", "brush 3 style 0 color 123456",
                           "select 3", "unknown 012d", "unknown 01f0"}));
}

TEST(WmfReaderTest, DrawingRecordsKeepTheirCoordinateOrder) {
    WmfBuilder w;
    w.setWindowOrg(0, 0)
        .setWindowExt(100, 100)
        .moveTo(1, 2)
        .lineTo(3, 4)
        .rectangle(10, 20, 30, 40)
        .ellipse(-5, -6, 7, 8)
        .roundRect(1, 2, 3, 4, 5, 6)
        .arcLike(0x081A, 0, 0, 100, 50, 100, 25, 0, 25)
        .polyline({{1, 1}, {2, 3}})
        .polygon({{0, 0}, {9, 0}, {9, 9}})
        .polyPolygon({{{0, 0}, {1, 0}, {1, 1}}, {{5, 5}, {6, 5}, {6, 6}, {5, 6}}})
        .setPixel(7, 8, 0x0000FF)
        .intersectClipRect(1, 2, 3, 4)
        .saveDc()
        .restoreDc(-1);
    EXPECT_EQ(
        play(w.raw()),
        (QStringList{"windowOrg 0,0", "windowExt 100,100", "moveTo 1,2", "lineTo 3,4",
                     "rectangle 10,20,30,40", "ellipse -5,-6,7,8", "roundRect 1,2,3,4 corner 5,6",
                     "pie 0,0,100,50 from 100,25 to 0,25", "polyline 1,1 2,3",
                     "polygon 0,0 9,0 9,9", "polyPolygon 0,0 1,0 1,1 5,5 6,5 6,6 5,6 counts 3,4",
                     "pixel 7,8 0000ff", "intersectClip 1,2,3,4", "saveDc", "restoreDc -1"}));
}

TEST(WmfReaderTest, TextFollowsTheSelectedFontsCharset) {
    const QByteArray gothic("\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e");  // ＭＳ ゴシック
    const QByteArray nihongo("\x93\xfa\x96\x7b\x41");                              // 日本A
    WmfBuilder w;
    w.createFont(-20, gothic, 128)
        .createFont(-20, "Arial", 0)
        .selectObject(0)
        .extTextOut(5, 6, nihongo, 0, {}, {10, 10, 12, 12, 7})
        .saveDc()
        .selectObject(1)
        .textOut(1, 2, "\x93\xfa")
        .restoreDc(-1)
        .extTextOut(3, 4, "\x93\xfa", 4, {0, 0, 50, 20});
    const QStringList calls = play(w.raw());
    ASSERT_EQ(calls.size(), 9);
    EXPECT_EQ(calls[0], QString::fromUtf8("font 0 ＭＳ ゴシック height -20 charset 128"));
    EXPECT_EQ(calls[1], QStringLiteral("font 1 Arial height -20 charset 0"));
    // Two bytes a character: their advances add up.
    EXPECT_EQ(calls[3], QString::fromUtf8("text 5,6 \"日本A\" options 0 rect 0,0,0,0 dx 20,24,7"));
    // Arial is CP1252: the same bytes are two Latin characters.
    EXPECT_EQ(calls[6], QString::fromUtf8("text 1,2 \"“ú\" options 0 rect 0,0,0,0 dx "));
    // RestoreDC brings the Japanese font back for decoding; the clip rectangle is read.
    EXPECT_EQ(calls[8], QString::fromUtf8("text 3,4 \"日\" options 4 rect 0,0,50,20 dx "));
}

TEST(WmfReaderTest, BitmapRecordsHandOnTheirDibs) {
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    image.setPixel(1, 0, qRgb(0, 0, 255));
    const QByteArray dib = test::packedDib24(image);
    WmfBuilder w;
    w.stretchDib(10, 20, 40, 30, 0, 0, 2, 2, dib)
        .dibStretchBlt(1, 2, 3, 4, 0, 1, 1, 1, dib)
        .dibBitBlt(5, 6, 2, 2, 0, 0, {}, 0x00F00021)  // PATCOPY, no bitmap
        .dibBitBlt(5, 6, 2, 2, 0, 0, {}, 0x00CC0020)  // SRCCOPY without a source: skipped
        .setDibToDev(0, 0, 2, 1, 0, 0, 0, 1, dib)
        .patBlt(0, 0, 9, 9, 0x00FF0062)
        .createDibPatternBrush(dib);
    RecordingSink sink;
    const QStringList calls = play(w.raw(), &sink);
    EXPECT_EQ(calls,
              (QStringList{"blit dest 10,20 40x30 src 0,0 2x2 rop 00cc0020 dib yes",
                           "blit dest 1,2 3x4 src 0,0 1x1 rop 00cc0020 dib yes",  // counted from the bottom
                           "blit dest 5,6 2x2 src 0,0 2x2 rop 00f00021 dib none", "unknown 0940",
                           "blit dest 0,0 2x1 src 0,0 2x1 rop 00cc0020 dib yes",
                           "blit dest 0,0 9x9 src 0,0 0x0 rop 00ff0062 dib none",
                           QStringLiteral("patternBrush 0 bytes %1 mono 0").arg(dib.size())}));
    ASSERT_EQ(sink.images.size(), 3u);
    EXPECT_EQ(sink.images[0].pixel(1, 0), qRgb(0, 0, 255));
    EXPECT_EQ(sink.images[0].pixel(0, 1), qRgb(255, 0, 0));
}

TEST(WmfReaderTest, RegionsBecomeRectangles) {
    WmfBuilder w;
    w.createRegion({{0, 10}, {10, 20}}, {{{0, 5}, {8, 9}}, {{2, 4}}})
        .selectClipRegion(0)  // no region, even with a region in slot 0
        .createRegion({{0, 1}}, {{{0, 1}}})
        .selectClipRegion(1);
    EXPECT_EQ(play(w.raw()),
              (QStringList{"region 0 bounds 0,0,9,20 rects 0,0,5,10 8,0,9,10 2,10,4,20",
                           "clip 0 rects mode 5", "region 1 bounds 0,0,1,1 rects 0,0,1,1",
                           "select 1"}));
}

TEST(WmfReaderTest, EmbeddedEmfIsCollectedFromItsPieces) {
    QByteArray emf(100, '\x11');
    emf.replace(40, 4, " EMF");
    WmfBuilder w;
    w.embeddedEmf(emf, 30).rectangle(0, 0, 1, 1);
    const WmfFile file = read(w.raw());
    EXPECT_EQ(file.scan.embeddedEmf, emf);
    EXPECT_EQ(file.records.size(), 5u);

    // A piece missing: no EMF is made up from the rest.
    WmfBuilder partial;
    partial.embeddedEmf(emf.left(60), 30);
    QByteArray bytes = partial.raw();
    EXPECT_EQ(read(bytes).scan.embeddedEmf, emf.left(60));
    WmfBuilder lying;
    lying.embeddedEmf(QByteArray(100, '\0'), 30);
    EXPECT_TRUE(read(lying.raw()).scan.embeddedEmf.isEmpty());  // no EMF signature
}

TEST(WmfReaderTest, RecordsThatDoNotFitTheDataEndThePictureThere) {
    struct Case {
        const char* what;
        QByteArray bytes;
        size_t records;
        const char* note;
    };
    WmfBuilder base;
    base.rectangle(0, 0, 5, 5);
    auto with = [&](auto build) {
        WmfBuilder w = base;
        build(w);
        return w.raw(false);
    };
    const Case cases[] = {
        {"size zero",
         with([](WmfBuilder& w) { w.lyingRecord(META_RECTANGLE, 0, QByteArray(8, 0)); }), 1,
         "claims 0 bytes"},
        {"size beyond the data",
         with([](WmfBuilder& w) { w.lyingRecord(META_RECTANGLE, 0x7FFFFFFF, QByteArray(8, 0)); }),
         1, "claims"},
        {"huge size",
         with([](WmfBuilder& w) { w.lyingRecord(META_RECTANGLE, 0xFFFFFFFF, QByteArray(8, 0)); }),
         1, "claims"},
        {"no end-of-file record", with([](WmfBuilder& w) { w.lineTo(1, 1); }), 2,
         "without an end-of-file"},
        {"stray bytes", with([](WmfBuilder& w) { w.lineTo(1, 1); }) + QByteArray("\x01\x02", 2), 2,
         "stray bytes"},
    };
    for (const Case& c : cases) {
        auto result = readWmf(span(c.bytes));
        ASSERT_TRUE(std::holds_alternative<WmfFile>(result)) << c.what;
        const WmfFile& file = std::get<WmfFile>(result);
        EXPECT_EQ(file.records.size(), c.records) << c.what;
        EXPECT_TRUE(file.truncationNote.contains(QLatin1String(c.note)))
            << c.what << ": " << file.truncationNote.toStdString();
        RecordingSink sink;
        EXPECT_EQ(playWmf(span(c.bytes), file, sink).recordsPlayed,
                  static_cast<qsizetype>(c.records));
    }
}

// A record whose parameters do not fit it is skipped, counted, and the picture goes on.
TEST(WmfReaderTest, RecordsWhoseParametersDoNotFitAreSkipped) {
    const std::pair<const char*, void (*)(WmfBuilder&)> damaged[] = {
        {"points beyond the record",
         [](WmfBuilder& w) {
             w.words(META_POLYLINE, {30000, 1, 2});
         }},
        {"rectangle short",
         [](WmfBuilder& w) {
             w.words(META_RECTANGLE, {1, 2});
         }},
        {"text longer than record",
         [](WmfBuilder& w) {
             w.words(META_TEXTOUT, {200, 0x4141});
         }},
        {"polypolygon counts beyond data",
         [](WmfBuilder& w) {
             w.words(META_POLYPOLYGON, {2, 60000, 60000, 0, 0});
         }},
        {"region header truncated",
         [](WmfBuilder& w) {
             w.words(META_CREATEREGION, {0, 6});
         }},
        {"bitmap record shorter than its fields",
         [](WmfBuilder& w) {
             w.words(META_STRETCHDIB, {0x20, 0xCC, 0});
         }},
    };
    for (const auto& [what, build] : damaged) {
        WmfBuilder w;
        w.rectangle(0, 0, 5, 5);
        build(w);
        w.lineTo(1, 1);
        const QByteArray bytes = w.raw();
        const WmfFile file = read(bytes);
        EXPECT_EQ(file.records.size(), 3u) << what;
        EXPECT_TRUE(file.truncationNote.isEmpty()) << what;
        RecordingSink sink;
        const PlaybackStats stats = playWmf(span(bytes), file, sink);
        EXPECT_EQ(stats.recordsPlayed, 2) << what;
        EXPECT_EQ(stats.recordsSkipped, 1) << what;
        EXPECT_EQ(sink.calls.back(), "lineTo 1,1") << what;
        EXPECT_EQ(sink.calls.filter("unknown").size(), 0) << what;
    }
}

TEST(WmfReaderTest, ClipboardCapturesAndReferenceFileRead) {
    const QString dir = test::sharedDataDir();
    const QByteArray inkscape =
        test::readFileBytes(dir + "/clipboard-captures/inkscape-1.2-placeable.wmf");
    const WmfFile ink = read(inkscape);
    EXPECT_TRUE(ink.header.placeable);
    EXPECT_GT(ink.records.size(), 10u);
    EXPECT_TRUE(ink.truncationNote.isEmpty()) << ink.truncationNote.toStdString();

    const QByteArray libre =
        test::readFileBytes(dir + "/clipboard-captures/libreoffice-draw-7.4.wmf");
    const WmfFile lo = read(libre);
    EXPECT_FALSE(lo.header.placeable);
    EXPECT_TRUE(lo.truncationNote.isEmpty()) << lo.truncationNote.toStdString();
    ASSERT_FALSE(lo.scan.embeddedEmf.isEmpty());
    EXPECT_EQ(lo.scan.embeddedEmf.left(4), QByteArray("\x01\x00\x00\x00", 4));
    EXPECT_EQ(lo.scan.embeddedEmf.mid(40, 4), QByteArray(" EMF"));
    EXPECT_TRUE(lo.scan.windowExt.has_value());

    // The GDI-made reference: bounds 0,0,4800,3600 at 960 units per inch.
    const WmfFile ref = read(test::readFileBytes(dir + "/metafile-refs/36_wmf_compatible.wmf"));
    EXPECT_EQ(wmfPictureInfo(ref).frame, (Rect{0, 0, 12700, 9525}));
    EXPECT_TRUE(ref.truncationNote.isEmpty()) << ref.truncationNote.toStdString();
}

}  // namespace
}  // namespace plume::metafile

namespace plume::metafile {
namespace {}  // namespace
}  // namespace plume::metafile

namespace plume::metafile {
namespace {

// Decodes every bitmap it is handed, as a player would, so that mutated DIBs are exercised.
class DecodingSink : public GdiSink {
  public:
    void blit(const BlitOp& op) override {
        if (!op.source.empty())
            decodePackedDib(op.source.info, DibColorUsage(op.source.colorUsage & 1), false);
    }
    void createDibPatternBrush(uint32_t, const DibRef& dib, bool) override {
        if (!dib.empty()) decodePackedDib(dib.info, DibColorUsage(dib.colorUsage & 1), false);
    }
};

// Bytes changed at random (fixed seeds) in a file that uses every kind of record: each
// variant reads, plays and converts without a fault (the sanitizer build watches memory).
TEST(WmfReaderTest, MutatedFilesNeverFault) {
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(Qt::blue);
    WmfBuilder w;
    w.setWindowExt(200, 100)
        .createFont(-12, "\x82\x6c\x82\x72 \x96\xbe\x92\xa9", 128)
        .selectObject(0)
        .extTextOut(1, 2,
                    "\x93\xfa\x96\x7b"
                    "AB",
                    6, {0, 0, 9, 9}, {1, 2, 3, 4, 5, 6})
        .textOut(3, 4, "xyz")
        .createPen(1, 2, 0xFF)
        .createBrush(2, 0xFF00, 3)
        .createRegion({{0, 5}, {5, 9}}, {{{0, 3}}, {{1, 2}, {4, 6}}})
        .selectClipRegion(3)
        .polyPolygon({{{0, 0}, {5, 0}, {5, 5}}, {{1, 1}, {2, 2}, {1, 2}}})
        .polyline({{0, 0}, {9, 9}, {3, 7}})
        .stretchDib(0, 0, 10, 10, 0, 0, 5, 3, test::packedDib24(image))
        .dibBitBlt(1, 1, 5, 3, 0, 0, test::packedDib24(image))
        .setDibToDev(0, 0, 5, 3, 0, 0, 0, 3, test::packedDib24(image))
        .createDibPatternBrush(test::packedDib24(image))
        .embeddedEmf(QByteArray(64, 'e'), 20)
        .saveDc()
        .restoreDc(-1);
    const QByteArray original = w.placeable(0, 0, 200, 100, 1440);
    std::mt19937 random(20261207);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = original;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const qsizetype at =
                static_cast<qsizetype>(random() % static_cast<uint32_t>(bytes.size()));
            switch (random() % 4) {
                case 0:
                    bytes[at] = static_cast<char>(random());
                    break;
                case 1:
                    bytes[at] = static_cast<char>(0xFF);
                    break;
                case 2:
                    bytes[at] = 0;
                    break;
                default:
                    bytes.truncate(std::max<qsizetype>(at, 40));
                    break;
            }
        }
        auto read = readWmf(span(bytes));
        if (std::holds_alternative<ParseError>(read)) continue;
        const WmfFile& file = std::get<WmfFile>(read);
        DecodingSink decoding;
        playWmf(span(bytes), file, decoding);
        EmfWriter writer;
        playWmf(span(bytes), file, writer);
        ASSERT_GE(writer.bytes().size(), 108) << "round " << round;
    }
}

// Counts that are large but honest: deep SaveDC nesting and thousands of objects are read
// and played in full.
TEST(WmfReaderTest, DeepNestingAndManyObjects) {
    WmfBuilder w;
    for (int i = 0; i < 20'000; ++i) w.saveDc();
    for (int i = 0; i < 3'000; ++i) w.createPen(0, 1, static_cast<uint32_t>(i));
    for (int i = 0; i < 3'000; ++i) w.selectObject(i);
    for (int i = 0; i < 20'000; ++i) w.restoreDc(-1);
    const QByteArray bytes = w.raw();
    const WmfFile file = read(bytes);
    EXPECT_EQ(file.records.size(), 46'000u);
    GdiSink nothing;
    EXPECT_EQ(playWmf(span(bytes), file, nothing).recordsPlayed, 46'000);
    EmfWriter writer;
    playWmf(span(bytes), file, writer);
    EXPECT_EQ(u32At(writer.bytes(), 56) & 0xFFFF, 3'001u);  // handles: 3000 pens and slot 0
}

}  // namespace
}  // namespace plume::metafile
