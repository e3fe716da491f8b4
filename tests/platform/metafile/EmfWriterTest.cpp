#include "platform/metafile/format/EmfWriter.h"

#include "platform/metafile/format/Dib.h"
#include "platform/metafile/format/WmfDocument.h"
#include "support/TestSupport.h"
#include "builders/WmfBuilder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <array>

namespace plume::metafile {
namespace {

using test::WmfBuilder;

std::span<const uint8_t> span(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size())};
}

uint32_t u32(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
int32_t i32(const QByteArray& b, qsizetype at) {
    return static_cast<int32_t>(u32(b, at));
}

struct EmfRecord {
    uint32_t type;
    QByteArray data;  // the whole record
    int32_t i(int index) const { return i32(data, 8 + 4 * index); }
};

// Walks an EMF record by record, checking the framing every reader relies on.
std::vector<EmfRecord> walk(const QByteArray& emf) {
    std::vector<EmfRecord> records;
    qsizetype at = 0;
    while (at + 8 <= emf.size()) {
        const uint32_t type = u32(emf, at), size = u32(emf, at + 4);
        EXPECT_EQ(size % 4, 0u) << "record " << records.size();
        EXPECT_GE(size, 8u);
        if (size < 8 || at + size > emf.size()) {
            ADD_FAILURE() << "record " << records.size() << " does not fit";
            break;
        }
        records.push_back({type, emf.mid(at, size)});
        at += size;
        if (type == 14) break;
    }
    EXPECT_EQ(at, emf.size()) << "bytes after EMR_EOF";
    return records;
}

QByteArray convert(const QByteArray& wmf, std::optional<Rect> frame = {}) {
    auto read = readWmf(span(wmf));
    EXPECT_TRUE(std::holds_alternative<WmfFile>(read));
    return convertWmfToEmf(span(wmf), std::get<WmfFile>(read), frame);
}

std::vector<uint32_t> typesOf(const std::vector<EmfRecord>& records) {
    std::vector<uint32_t> types;
    for (const auto& r : records) types.push_back(r.type);
    return types;
}

TEST(EmfWriterTest, HeaderFramingAndCounts) {
    WmfBuilder w;
    w.createPen(0, 2, 0x0000FF).selectObject(0).rectangle(10, 10, 90, 40).lineTo(5, 5);
    const QByteArray emf = convert(w.placeable(0, 0, 4800, 3600, 960));
    const auto records = walk(emf);
    ASSERT_GE(records.size(), 2u);
    const EmfRecord& header = records.front();
    EXPECT_EQ(header.type, 1u);
    EXPECT_EQ(header.data.size(), 108);
    EXPECT_EQ(u32(emf, 40), 0x464D4520u);  // " EMF"
    EXPECT_EQ(u32(emf, 48), static_cast<uint32_t>(emf.size()));
    EXPECT_EQ(u32(emf, 52), static_cast<uint32_t>(records.size()));
    EXPECT_EQ(u32(emf, 56) & 0xFFFF, 2u);  // slot 0 is EMF object 1, plus 0
    // Bounds in device units (one per logical unit), frame in 0.01 mm: 5 × 3.75 inches.
    EXPECT_EQ((std::array{header.i(0), header.i(1), header.i(2), header.i(3)}),
              (std::array{0, 0, 4799, 3599}));
    EXPECT_EQ((std::array{header.i(4), header.i(5), header.i(6), header.i(7)}),
              (std::array{0, 0, 12700, 9525}));
    EXPECT_EQ(records.back().type, 14u);
    EXPECT_EQ(records.back().i(2), 20);  // SizeLast
    // The picture's box mapping, then the records in order.
    EXPECT_EQ(typesOf(records), (std::vector<uint32_t>{1, 17, 10, 9, 12, 11, 38, 37, 43, 54, 14}));
    EXPECT_EQ(records[6].i(0), 1);  // the pen went to EMF slot 1
    EXPECT_EQ(records[8].i(0), 10);
    EXPECT_EQ(records[8].i(3), 40);
}

TEST(EmfWriterTest, OffsetsBecomeAbsoluteAndFollowSaveAndRestore) {
    WmfBuilder w;
    w.setWindowOrg(10, 20)
        .saveDc()
        .words(0x020F, {5, 3})  // META_OFFSETWINDOWORG y=5, x=3
        .restoreDc(-1)
        .words(0x020F, {-1, 1})  // from the restored origin 10,20
        .words(0x0211, {7, 7});  // META_OFFSETVIEWPORTORG from the framing's 0,0
    const auto records = walk(convert(w.placeable(0, 0, 100, 100, 96)));
    std::vector<std::pair<int, int>> origins;
    for (const auto& r : records)
        if (r.type == 10 || r.type == 12) origins.emplace_back(r.i(0), r.i(1));
    EXPECT_EQ(origins, (std::vector<std::pair<int, int>>{
                           {0, 0}, {0, 0}, {10, 20}, {13, 25}, {11, 19}, {7, 7}}));
}

TEST(EmfWriterTest, PaletteChangesNameTheSelectedPalette) {
    // The WMF records change the selected palette; EMF names it (its slot + 1) as RestoreDC
    // leaves it. A change to the stock palette is dropped, as GDI refuses it.
    WmfBuilder w;
    w.createPalette({0x0000FF, 0x00FF00}).createPalette({0xFF0000});  // slots 0 and 1
    w.paletteRecord(META_SETPALENTRIES, 0, {0x123456});
    w.selectPalette(0).saveDc().selectPalette(1).resizePalette(4).restoreDc(-1);
    w.paletteRecord(META_SETPALENTRIES, 1, {0x123456});
    const auto records = walk(convert(w.placeable(0, 0, 100, 100, 96)));
    std::vector<std::array<int, 3>> changes;  // type, palette, start or size
    for (const auto& r : records)
        if (r.type == 50 || r.type == 51) changes.push_back({int(r.type), r.i(0), r.i(1)});
    EXPECT_EQ(changes, (std::vector<std::array<int, 3>>{{51, 2, 4}, {50, 1, 1}}));
}

TEST(EmfWriterTest, RegionObjectsBecomeDeviceClipRegions) {
    WmfBuilder w;
    // Window twice the viewport (the placeable box 0..100): logical 0..200 maps to 0..100.
    // Region 0 would be no region (SelectClipRgn(NULL)): the brush takes slot 0.
    w.setWindowExt(200, 200)
        .createBrush(0, 0xFF)
        .createRegion({{20, 40}}, {{{10, 30}}})
        .selectClipRegion(1)
        .words(0x0228, {1, 0})  // META_FILLREGION region 1, brush 0
        .deleteObject(1)
        .rectangle(0, 0, 200, 200);
    const auto records = walk(convert(w.placeable(0, 0, 100, 100, 96)));
    const auto clip = std::find_if(records.begin(), records.end(),
                                   [](const EmfRecord& r) { return r.type == 75; });
    ASSERT_NE(clip, records.end());
    EXPECT_EQ(clip->i(1), 5);  // RGN_COPY
    // RgnData header (32 bytes) then one rectangle, halved into device units.
    EXPECT_EQ(clip->i(4), 1);
    EXPECT_EQ((std::array{clip->i(10), clip->i(11), clip->i(12), clip->i(13)}),
              (std::array{5, 10, 15, 20}));
    const auto fill = std::find_if(records.begin(), records.end(),
                                   [](const EmfRecord& r) { return r.type == 71; });
    ASSERT_NE(fill, records.end());
    EXPECT_EQ(fill->i(5), 1);  // brush in slot 0 is EMF object 1
    // Deleting the region writes nothing; the brush slot stays the EMF's.
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const EmfRecord& r) { return r.type == 40; }),
              0);
}

TEST(EmfWriterTest, TextAndBitmapsCarryTheirData) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(qRgb(0, 128, 0));
    image.setPixel(2, 1, qRgb(255, 0, 0));
    WmfBuilder w;
    w.createFont(-16, "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e", 128)
        .selectObject(0)
        .extTextOut(4, 8, "\x93\xfa\x96\x7b", 0, {}, {8, 8, 9, 9})
        .stretchDib(1, 2, 30, 20, 0, 0, 3, 2, test::packedDib24(image))
        .patBlt(0, 0, 5, 5, 0x00F00021);
    const auto records = walk(convert(w.placeable(0, 0, 100, 100, 96)));
    const auto find = [&](uint32_t type) {
        const auto it = std::find_if(records.begin(), records.end(),
                                     [type](const EmfRecord& r) { return r.type == type; });
        EXPECT_NE(it, records.end()) << type;
        return it;
    };
    const auto font = find(82);
    EXPECT_EQ(font->i(1), -16);
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(font->data.constData() + 40)),
              QString::fromUtf8("ＭＳ ゴシック"));
    EXPECT_EQ(static_cast<uint8_t>(font->data[8 + 4 + 20 + 3]), 128);  // charset kept

    const auto text = find(84);
    EXPECT_EQ((std::pair{text->i(7), text->i(8)}), (std::pair{4, 8}));  // reference
    EXPECT_EQ(text->i(9), 2);                                           // two characters
    const uint32_t offString = static_cast<uint32_t>(text->i(10));
    EXPECT_EQ(QString::fromUtf16(
                  reinterpret_cast<const char16_t*>(text->data.constData() + offString), 2),
              QString::fromUtf8("日本"));
    const uint32_t offDx = static_cast<uint32_t>(text->i(16));
    ASSERT_GT(offDx, 0u);
    EXPECT_EQ(i32(text->data, offDx), 16);
    EXPECT_EQ(i32(text->data, offDx + 4), 18);

    const auto bits = find(81);
    const QByteArray& r = bits->data;
    const auto bmi = span(r).subspan(u32(r, 48), u32(r, 52));
    const auto pixels = span(r).subspan(u32(r, 56), u32(r, 60));
    const auto decoded = decodeDib(bmi, pixels, DibColorUsage::Rgb, false);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixel(2, 1), qRgb(255, 0, 0));
    EXPECT_EQ(decoded->pixel(0, 0), qRgb(0, 128, 0));
    EXPECT_EQ((std::pair{i32(r, 72), i32(r, 76)}), (std::pair{30, 20}));  // cxDest, cyDest

    const auto pat = find(76);
    EXPECT_EQ(pat->data.size(), 100);
    EXPECT_EQ(u32(pat->data, 40), 0x00F00021u);
}

TEST(EmfWriterTest, TextJustificationCarriesOver) {
    WmfBuilder w;
    w.setTextJustification(20, 2).extTextOut(4, 8, "a b c");
    const auto records = walk(convert(w.placeable(0, 0, 100, 100, 96)));
    const auto it = std::find_if(records.begin(), records.end(),
                                 [](const EmfRecord& r) { return r.type == 120; });
    ASSERT_NE(it, records.end());
    EXPECT_EQ((std::pair{it->i(0), it->i(1)}), (std::pair{20, 2}));  // nBreakExtra, nBreakCount
}

TEST(EmfWriterTest, CharacterExtraAndAnimatedPaletteCarryOver) {
    // EMF has no record for either. The character extra, as SaveDC and RestoreDC leave it, goes
    // into the text's advances; AnimatePalette becomes EMR_SETPALETTEENTRIES of the entries
    // it changes, those flagged PC_RESERVED (0x01 in the top byte).
    WmfBuilder w;
    w.setTextCharacterExtra(3).saveDc().setTextCharacterExtra(0).restoreDc(-1);
    w.extTextOut(0, 0, "ab", 0, {}, {10, 12});
    w.createPalette({0x01'0000FF, 0x00'00FF00, 0x01'FF0000}).selectPalette(0);
    w.paletteRecord(META_ANIMATEPALETTE, 1, {0x111111, 0x222222});
    w.paletteRecord(META_ANIMATEPALETTE, 1, {0x333333});  // entry 1 is not reserved: nothing
    const auto records = walk(convert(w.placeable(0, 0, 100, 100, 96)));
    std::vector<int> advances;
    std::vector<std::vector<uint32_t>> paletteChanges;  // start, then the entries
    for (const EmfRecord& r : records) {
        if (r.type == 84) advances = {i32(r.data, r.i(16)), i32(r.data, r.i(16) + 4)};
        if (r.type == 50) {
            paletteChanges.push_back({uint32_t(r.i(1))});
            for (int i = 0; i < r.i(2); ++i) paletteChanges.back().push_back(u32(r.data, 20 + 4 * i));
        }
    }
    EXPECT_EQ(advances, (std::vector<int>{13, 15}));
    // PALETTEENTRY as stored: red, green, blue, flags.
    EXPECT_EQ(paletteChanges, (std::vector<std::vector<uint32_t>>{{1, 0x0000FF00, 0x00222222}}));
}

TEST(EmfWriterTest, UnreadableBitmapOfAnOperationWithoutSourceStillDraws) {
    // META_STRETCHDIB with a bitmap header that cannot be read: the players fill the rectangle
    // for BLACKNESS all the same, so the EMF has a BitBlt without a bitmap; SRCCOPY draws
    // nothing and is left out.
    WmfBuilder w;
    const QByteArray unreadable(8, '\0');
    w.stretchDib(1, 2, 30, 20, 0, 0, 1, 1, unreadable, 0x00000042);
    w.stretchDib(1, 2, 30, 20, 0, 0, 1, 1, unreadable, 0x00CC0020);
    std::vector<std::vector<int>> blits;  // type, destination, raster operation
    for (const EmfRecord& r : walk(convert(w.placeable(0, 0, 100, 100, 96))))
        if (r.type == 76 || r.type == 81)
            blits.push_back({int(r.type), r.i(4), r.i(5), r.i(6), r.i(7), r.i(8)});
    EXPECT_EQ(blits, (std::vector<std::vector<int>>{{76, 1, 2, 30, 20, 0x42}}));
}

TEST(EmfWriterTest, LayoutAndFloodFillsCarryOver) {
    WmfBuilder w;
    w.setLayout(1).floodFill(5, 6, 0x123456).floodFill(7, 8, 0xABCDEF, 1);
    const auto records = walk(convert(w.placeable(0, 0, 100, 100, 96)));
    std::vector<std::vector<int>> seen;
    for (const EmfRecord& r : records) {
        if (r.type == 115) seen.push_back({r.i(0)});
        if (r.type == 53) seen.push_back({r.i(0), r.i(1), r.i(2), r.i(3)});
    }
    const std::vector<std::vector<int>> expected{
        {1}, {5, 6, 0x123456, 0}, {7, 8, 0xABCDEF, 1}};  // EMR_SETLAYOUT, EMR_EXTFLOODFILL
    EXPECT_EQ(seen, expected);
}

TEST(EmfWriterTest, SymbolCodesFollowTheFontRestoredByRestoreDc) {
    // "×" drawn in Arial after the Symbol face was selected and restored away: written as
    // U+00D7, not as the Symbol font's code for it.
    WmfBuilder w;
    w.createFont(-12, "Arial")
        .selectObject(0)
        .saveDc()
        .createFont(-12, "Symbol", 2)
        .selectObject(1)
        .restoreDc(-1)
        .textOut(0, 0, "\xD7");
    const auto records = walk(convert(w.placeable(0, 0, 100, 100, 96)));
    const auto text = std::find_if(records.begin(), records.end(),
                                   [](const EmfRecord& r) { return r.type == 84; });
    ASSERT_NE(text, records.end());
    ASSERT_EQ(text->i(9), 1);
    EXPECT_EQ(u32(text->data, text->i(10)) & 0xFFFF, 0x00D7u);
}

TEST(EmfWriterTest, FrameHandedAlongsideAndEmbeddedEmf) {
    WmfBuilder w;
    w.setWindowOrg(0, 0).setWindowExt(1000, 500).rectangle(0, 0, 1000, 500);
    // Clipboard format 3 gives the size: 50 × 25 mm for the 1000 × 500 window.
    const QByteArray emf = convert(w.raw(), Rect{0, 0, 5000, 2500});
    EXPECT_EQ((std::array{i32(emf, 24), i32(emf, 28), i32(emf, 32), i32(emf, 36)}),
              (std::array{0, 0, 5000, 2500}));
    auto document = parseWmfDocument(w.raw(), QRectF(0, 0, 5000, 2500));
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(document));
    const QSizeF size = std::get<DocumentPtr>(document)->sizeAtDpi(96);
    EXPECT_NEAR(size.width(), 5000 / 2540.0 * 96, 1e-9);
    EXPECT_NEAR(size.height(), 2500 / 2540.0 * 96, 1e-9);
    // Without it: the window at 96 units per inch.
    auto own = parseWmfDocument(w.raw());
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(own));
    EXPECT_NEAR(std::get<DocumentPtr>(own)->sizeAtDpi(96).width(), 1000, 0.1);

    // LibreOffice's clipboard WMF carries the EMF it was made from: that EMF is the result.
    const QByteArray libre =
        test::readFileBytes(test::sharedDataDir() + "/clipboard-captures/libreoffice-draw-7.4.wmf");
    auto lo = parseWmfDocument(libre);
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(lo));
    const QByteArray loEmf = std::get<DocumentPtr>(lo)->toEmf();
    // Its size is the embedded EMF's frame (17052 × 12375 hundredths of a mm), not the
    // window in LibreOffice's device pixels (671 × 487).
    const QSizeF loSize = std::get<DocumentPtr>(lo)->sizeAtDpi(96);
    EXPECT_NEAR(loSize.width(), 17052 / 2540.0 * 96, 0.5);
    EXPECT_NEAR(loSize.height(), 12375 / 2540.0 * 96, 0.5);
    EXPECT_EQ(loEmf.mid(40, 4), QByteArray(" EMF"));
    EXPECT_EQ(static_cast<qsizetype>(u32(loEmf, 48)), loEmf.size());
}

TEST(EmfWriterTest, CapturesAndCorpusConvertToWellFormedEmf) {
    const QString dir = test::sharedDataDir();
    QStringList files = {dir + "/clipboard-captures/inkscape-1.2-placeable.wmf",
                         dir + "/metafile-refs/36_wmf_compatible.wmf"};
    for (const QString& name : QDir(dir + "/metafile-corpus/wmf").entryList(QDir::Files))
        files << dir + "/metafile-corpus/wmf/" + name;
    int converted = 0;
    for (const QString& path : files) {
        const QByteArray wmf = test::readFileBytes(path);
        auto read = readWmf(span(wmf));
        if (!std::holds_alternative<WmfFile>(read)) continue;
        WmfFile file = std::get<WmfFile>(std::move(read));
        file.scan.embeddedEmf.clear();  // always through the writer here
        const QByteArray emf = convertWmfToEmf(span(wmf), file);
        SCOPED_TRACE(path.toStdString());
        const auto records = walk(emf);
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.front().type, 1u);
        EXPECT_EQ(records.back().type, 14u);
        EXPECT_EQ(u32(emf, 52), static_cast<uint32_t>(records.size()));
        ++converted;
    }
    EXPECT_GE(converted, 100);
}

}  // namespace
}  // namespace plume::metafile
