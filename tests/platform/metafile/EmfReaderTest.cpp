// EmfReader: header checks, the record chain, and the decoding of records into sink calls.

#include "builders/EmfBuilder.h"
#include "platform/metafile/Metafile.h"
#include "platform/metafile/format/EmfReader.h"
#include "support/RecordingSink.h"
#include "support/ReferenceImage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QStringList>
#include <algorithm>

using namespace plume::metafile;
using plume::test::appendU32;
using plume::test::EmfBuilder;
using plume::test::RecordingSink;

namespace {

EmfFile read(const QByteArray& bytes) {
    auto result = readEmf(bytes);
    EXPECT_TRUE(std::holds_alternative<EmfFile>(result))
        << (std::holds_alternative<ParseError>(result)
                ? std::get<ParseError>(result).message.toStdString()
                : "");
    return std::holds_alternative<EmfFile>(result) ? std::get<EmfFile>(std::move(result))
                                                   : EmfFile{};
}

// The calls after begin().
QStringList play(const QByteArray& bytes, PlaybackStats* stats = nullptr) {
    RecordingSink sink;
    const PlaybackStats s = playEmf(read(bytes), sink);
    if (stats) *stats = s;
    return sink.calls.mid(1);
}

void putU32(QByteArray& bytes, qsizetype at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char((v >> (8 * i)) & 0xff);
}

// The header of `emf` grown to hold a description string at byte `at` (UTF-16, NUL ended), as
// writers that put it at 88 or 100 of a longer header do.
QByteArray withDescription(const QByteArray& emf, uint32_t at, const QString& text) {
    QByteArray description(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    description.append(2, '\0');
    const uint32_t oldSize = 108;
    const uint32_t newSize =
        std::max<uint32_t>(oldSize, (at + uint32_t(description.size()) + 3) / 4 * 4);
    QByteArray bytes = emf.left(oldSize) + QByteArray(newSize - oldSize, '\0') + emf.mid(oldSize);
    bytes.replace(at, description.size(), description);
    putU32(bytes, 4, newSize);
    putU32(bytes, 48, uint32_t(bytes.size()));
    putU32(bytes, 60, uint32_t(text.size() + 1));  // nDescription
    putU32(bytes, 64, at);                         // offDescription
    return bytes;
}

}  // namespace

TEST(EmfReader, HeaderGivesFrameDeviceAndRecords) {
    const QByteArray bytes = EmfBuilder(96, 48).rectangle(1, 2, 3, 4).build();
    const EmfFile file = read(bytes);
    EXPECT_EQ(file.header.frame, (Rect{0, 0, 2540, 1270}));
    EXPECT_EQ(file.header.devicePixels, (Size{1920, 1080}));
    EXPECT_EQ(file.header.deviceMicrometers, (Size{508000, 285750}));
    ASSERT_EQ(file.records.size(), 3u);  // header, rectangle, EOF
    EXPECT_EQ(file.records[1].type, uint32_t(EmfRecordType::Rectangle));
    EXPECT_TRUE(file.truncationNote.isEmpty());

    const auto parsed = parseMetafile(bytes);
    ASSERT_TRUE(std::holds_alternative<DocumentPtr>(parsed));
    const auto& doc = *std::get<DocumentPtr>(parsed);
    EXPECT_EQ(doc.format(), Format::Emf);
    EXPECT_NEAR(doc.sizeAtDpi(96).width(), 96, 1e-9);
    EXPECT_NEAR(doc.sizeAtDpi(96).height(), 48, 1e-9);
    EXPECT_EQ(doc.toEmf(), bytes);
}

TEST(EmfReader, ExtensionFieldsAreReadOnlyWhereTheHeaderHoldsThem) {
    // A 96 x 48 picture whose frame, at the header's 508 x 285.75 mm screen, is 96 x 48 device
    // units: text taken for micrometres would make it tens of times larger.
    const QByteArray plain = EmfBuilder(96, 48)
                                 .createBrush(1, 0, 0x0000ff)
                                 .selectObject(1)
                                 .rectangle(0, 0, 48, 24)
                                 .build();
    const QString text = QStringLiteral("Plume drawing of a red corner");
    for (uint32_t at : {88u, 100u}) {
        SCOPED_TRACE(at);
        const QByteArray bytes = withDescription(plain, at, text);
        const EmfFile file = read(bytes);
        EXPECT_EQ(file.header.deviceMicrometers, Size{});
        EXPECT_EQ(file.header.deviceMillimeters, (Size{508, 286}));
        EXPECT_EQ(file.records.size(), 5u);
        const QImage image = plume::test::renderMetafile(bytes, {96, 48});
        EXPECT_EQ(image.pixel(40, 20), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(60, 30), qRgb(255, 255, 255));
    }
    // Text after the extensions, or a description that does not fit in the header, leaves them.
    EXPECT_EQ(read(withDescription(plain, 108, text)).header.deviceMicrometers,
              (Size{508000, 285750}));
    QByteArray outside = withDescription(plain, 108, text);
    putU32(outside, 60, 1000);
    putU32(outside, 64, 88);
    EXPECT_EQ(read(outside).header.deviceMicrometers, (Size{508000, 285750}));
    // A pixel format descriptor at byte 100 ends the fixed part there too.
    QByteArray pixelFormat = withDescription(plain, 108, text);
    putU32(pixelFormat, 60, 0);
    putU32(pixelFormat, 64, 0);
    putU32(pixelFormat, 88, 8);    // cbPixelFormat
    putU32(pixelFormat, 92, 100);  // offPixelFormat
    EXPECT_EQ(read(pixelFormat).header.deviceMicrometers, Size{});
}

TEST(EmfReader, RefusesWhatIsNoEmf) {
    EXPECT_TRUE(std::holds_alternative<ParseError>(readEmf(QByteArray())));
    EXPECT_TRUE(std::holds_alternative<ParseError>(readEmf(QByteArray(200, 'x'))));
    EXPECT_TRUE(std::holds_alternative<ParseError>(parseMetafile(QByteArray("GIF89a....."))));
    QByteArray bytes = EmfBuilder(96, 96).build();
    putU32(bytes, 40, 0x12345678);  // signature
    EXPECT_TRUE(std::holds_alternative<ParseError>(readEmf(bytes)));
    for (uint32_t headerSize : {0u, 20u, 90u, 100000u}) {
        QByteArray broken = EmfBuilder(96, 96).build();
        putU32(broken, 4, headerSize);
        EXPECT_TRUE(std::holds_alternative<ParseError>(readEmf(broken))) << headerSize;
    }
}

TEST(EmfReader, BrokenRecordEndsThePictureThereKeepingWhatCameBefore) {
    // Record sizes of 0, below 8, not a multiple of 4, and beyond the data each end the chain.
    for (uint32_t badSize : {0u, 4u, 13u, 0x7ffffff0u}) {
        QByteArray bytes = EmfBuilder(96, 96).rectangle(1, 1, 5, 5).rectangle(2, 2, 6, 6).build();
        const qsizetype second = 108 + 24;
        putU32(bytes, second + 4, badSize);
        const EmfFile file = read(bytes);
        ASSERT_EQ(file.records.size(), 2u) << badSize;
        EXPECT_FALSE(file.truncationNote.isEmpty());
        EXPECT_EQ(play(bytes), QStringList{QStringLiteral("rectangle 1,1,5,5")});
    }
    // Cut in the middle of a record.
    const QByteArray whole = EmfBuilder(96, 96).rectangle(1, 1, 5, 5).rectangle(2, 2, 6, 6).build();
    const EmfFile cut = read(whole.left(108 + 24 + 10));
    EXPECT_EQ(cut.records.size(), 2u);
    EXPECT_FALSE(cut.truncationNote.isEmpty());
}

TEST(EmfReader, DeclaredSizeBeyondTheDataIsReadAsFarAsItGoes) {
    QByteArray bytes = EmfBuilder(96, 96).rectangle(1, 1, 5, 5).build();
    putU32(bytes, 48, 0x7fffffff);  // nBytes
    EXPECT_EQ(play(bytes), QStringList{QStringLiteral("rectangle 1,1,5,5")});
}

TEST(EmfReader, CountsBeyondTheRecordSkipTheRecordOnly) {
    QByteArray poly;
    for (int i = 0; i < 4; ++i) appendU32(poly, 0);
    appendU32(poly, 1'000'000);  // a million points claimed, two present
    appendU32(poly, 0x00020001);
    appendU32(poly, 0x00040003);
    QByteArray polyPoly;
    for (int i = 0; i < 4; ++i) appendU32(polyPoly, 0);
    appendU32(polyPoly, 2);  // two polygons
    appendU32(polyPoly, 3);  // three points in all, but the counts say 2 + 5
    appendU32(polyPoly, 2);
    appendU32(polyPoly, 5);
    for (int i = 0; i < 3; ++i) appendU32(polyPoly, 0);
    PlaybackStats stats;
    const QStringList calls = play(
        EmfBuilder(96, 96).record(87, poly).record(91, polyPoly).poly(87, {{1, 2}, {3, 4}}).build(),
        &stats);
    EXPECT_EQ(calls, QStringList{QStringLiteral("polyline 1,2 3,4")});
    EXPECT_EQ(stats.recordsSkipped, 2);
}

TEST(EmfReader, TextFieldsAreCheckedAndDecoded) {
    const QByteArray bytes = EmfBuilder(96, 96)
                                 .createFont(1, -12, 400, QStringLiteral("Arial"))
                                 .extTextOutW(5, 6, QStringLiteral("Ab"), 0, {7, 8})
                                 .build();
    EXPECT_EQ(play(bytes),
              (QStringList{QStringLiteral("font 1 Arial height -12 charset 0"),
                           QStringLiteral("text 5,6 \"Ab\" options 0 rect 0,0,0,0 dx 7,8")}));

    // A string offset beyond the record is refused; the picture goes on.
    QByteArray broken =
        EmfBuilder(96, 96).extTextOutW(5, 6, QStringLiteral("Ab")).rectangle(0, 0, 1, 1).build();
    putU32(broken, 108 + 8 + 16 + 12 + 8 + 4, 0x10000);  // offString
    PlaybackStats stats;
    EXPECT_EQ(play(broken, &stats), QStringList{QStringLiteral("rectangle 0,0,1,1")});
    EXPECT_EQ(stats.recordsSkipped, 1);
}

TEST(EmfReader, SmallTextOutDrawsByteAndWideTextWithOrWithoutItsRectangle) {
    // ETO_SMALL_CHARS (0x200) stores the low byte of each UTF-16 unit: 0xE9 is U+00E9 whatever
    // the font's code page; a Symbol face maps its bytes as in ExtTextOutW. The flag itself
    // is the record's and does not reach the sink.
    const QByteArray bytes = EmfBuilder(96, 96)
                                 .smallTextOut(1, 2, QStringLiteral("A\u00e9"), 0x200 | 0x100)
                                 .smallTextOut(3, 4, QStringLiteral("\u20acb"), 0x4, {5, 6, 70, 80})
                                 .smallTextOut(7, 8, QStringLiteral("x"), 0x200 | 0x2, {1, 1, 9, 9})
                                 .createFont(1, -12, 400, QStringLiteral("Symbol"), 0, 2)
                                 .selectObject(1)
                                 .smallTextOut(0, 0, QStringLiteral("a"), 0x300)
                                 .build();
    EXPECT_EQ(play(bytes).filter(QStringLiteral("text")),
              (QStringList{QStringLiteral("text 1,2 \"A\u00e9\" options 256 rect 0,0,0,0 dx "),
                           QStringLiteral("text 3,4 \"\u20acb\" options 4 rect 5,6,70,80 dx "),
                           QStringLiteral("text 7,8 \"x\" options 2 rect 1,1,9,9 dx "),
                           QStringLiteral("text 0,0 \"\u03b1\" options 256 rect 0,0,0,0 dx ")}));

    // More characters than the record holds: the record is skipped, the picture goes on.
    for (const uint32_t options : {0x300u, 0x100u, 0u}) {
        QByteArray broken = EmfBuilder(96, 96)
                                .smallTextOut(1, 2, QStringLiteral("abcd"), options)
                                .rectangle(0, 0, 1, 1)
                                .build();
        putU32(broken, 108 + 8 + 8, 5);  // cChars: one more than the record holds
        PlaybackStats stats;
        EXPECT_EQ(play(broken, &stats), QStringList{QStringLiteral("rectangle 0,0,1,1")});
        EXPECT_EQ(stats.recordsSkipped, 1);
    }
}

TEST(EmfReader, SmallTextOutOfARealFileGivesBothLines) {
    const QString path = plume::test::sharedDataDir() +
                         QStringLiteral("/metafile-corpus/emf/hughbe__image-type_test-3.emf");
    const QByteArray file = plume::test::readFileBytes(path);
    if (file.isEmpty()) GTEST_SKIP() << "no shared corpus";
    const QStringList texts = play(file).filter(QStringLiteral("text"));
    EXPECT_EQ(texts.filter(QStringLiteral("\"Text8 from U_EMRSMALLTEXTOUT\"")).size(), 1);
    EXPECT_EQ(texts.filter(QStringLiteral("\"Text16 from U_EMRSMALLTEXTOUT\"")).size(), 1);
}

TEST(EmfReader, WideTextInSymbolFontsBecomesTheCharactersItStandsFor) {
    // Word and its kin write Symbol and Wingdings text as the fonts' own codes: U+F0xx, or
    // plain bytes for Symbol. Other faces keep their text as written.
    const QString codes = QString(QChar(0xF061)) + QChar(0xF0B3) + QLatin1Char('c');
    const QByteArray bytes = EmfBuilder(96, 96)
                                 .createFont(1, -12, 400, QStringLiteral("Symbol"), 0, 2)
                                 .createFont(2, -12, 400, QStringLiteral("Wingdings"), 0, 2)
                                 .createFont(3, -12, 400, QStringLiteral("Arial"))
                                 .selectObject(1)
                                 .extTextOutW(0, 0, codes, 0, {5, 6, 7})
                                 .selectObject(2)
                                 .extTextOutW(0, 0, QString(QChar(0xF04A)))
                                 .selectObject(3)
                                 .extTextOutW(0, 0, codes)
                                 .build();
    const QStringList texts = play(bytes).filter(QStringLiteral("text"));
    ASSERT_EQ(texts.size(), 3);
    const QString greek = QString(QChar(0x03B1)) + QChar(0x2265) + QChar(0x03C7);
    const QString format = QStringLiteral("text 0,0 \"%1\" options 0 rect 0,0,0,0 dx %2");
    EXPECT_EQ(texts[0], format.arg(greek, QStringLiteral("5,6,7")));
    EXPECT_EQ(texts[1], format.arg(QChar(0x263A), QString()));
    EXPECT_EQ(texts[2], format.arg(codes, QString()));
}

TEST(EmfReader, ShiftJisTextMergesTheAdvancesOfDoubleByteCharacters) {
    // "Aメ" in CP932 is 41 83 81: three bytes, two characters; Dx per byte 10, 6, 6.
    QByteArray p;
    for (int i = 0; i < 4; ++i) appendU32(p, 0);
    appendU32(p, 1);
    appendU32(p, 0);
    appendU32(p, 0);
    appendU32(p, 3);
    appendU32(p, 4);
    appendU32(p, 3);       // chars (bytes)
    appendU32(p, 8 + 68);  // offString
    appendU32(p, 0);       // options
    for (int i = 0; i < 4; ++i) appendU32(p, 0);
    appendU32(p, 8 + 68 + 4);  // offDx
    p.append("\x41\x83\x81\x00", 4);
    appendU32(p, 10);
    appendU32(p, 6);
    appendU32(p, 6);
    const QByteArray bytes = EmfBuilder(96, 96)
                                 .createFont(1, -12, 400, QStringLiteral("MS Gothic"), 0, 128)
                                 .selectObject(1)
                                 .record(83, p)
                                 .build();
    EXPECT_EQ(play(bytes).filter(QStringLiteral("text")),
              QStringList{QStringLiteral("text 3,4 \"A\u30e1\" options 0 rect 0,0,0,0 dx 10,12")});
}

TEST(EmfReader, RestoreDcBringsBackTheCharacterSetOfTheFontSelectedBefore) {
    // 83 81 is "メ" in CP932; in Arial's CP1252 it would be "ƒ" and an unassigned code.
    const QByteArray sjis("\x83\x81");
    const QString me = QString::fromUtf8("メ");
    const QStringList texts = play(EmfBuilder(96, 96)
                                       .createFont(1, -12, 400, QStringLiteral("MS Gothic"), 0, 128)
                                       .createFont(2, -12, 400, QStringLiteral("Arial"))
                                       .selectObject(1)
                                       .saveDc()
                                       .selectObject(2)
                                       .extTextOutA(0, 0, sjis)
                                       .restoreDc(-1)
                                       .extTextOutA(0, 0, sjis)
                                       .saveDc()
                                       .saveDc()
                                       .selectObject(2)
                                       .restoreDc(1)  // absolute level: before both saves
                                       .extTextOutA(0, 0, sjis)
                                       .build())
                                  .filter(QStringLiteral("text"));
    ASSERT_EQ(texts.size(), 3);
    EXPECT_FALSE(texts[0].contains(me)) << texts[0].toStdString();
    const QString restored = QStringLiteral("text 0,0 \"%1\" options 0 rect 0,0,0,0 dx ").arg(me);
    EXPECT_EQ(texts[1], restored);
    EXPECT_EQ(texts[2], restored);
}

TEST(EmfReader, EmfPlusCommentsAreSkippedAndOtherCommentsPassed) {
    QByteArray emfPlus;
    appendU32(emfPlus, 8);
    appendU32(emfPlus, 0x2B464D45);  // "EMF+"
    appendU32(emfPlus, 0x4001);
    QByteArray other;
    appendU32(other, 4);
    appendU32(other, 0x43494447);  // "GDIC"
    const QStringList calls = play(
        EmfBuilder(96, 96).record(70, emfPlus).record(70, other).rectangle(0, 0, 2, 2).build());
    EXPECT_EQ(calls, (QStringList{QStringLiteral("unknown 0046"), QStringLiteral("comment 4"),
                                  QStringLiteral("rectangle 0,0,2,2")}));
}

TEST(EmfReader, ClipRegionAndBitmapRecordsKeepTheirData) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QStringList calls = play(EmfBuilder(96, 96)
                                       .extSelectClipRgn({{1, 2, 3, 4}, {5, 6, 7, 8}}, 1)
                                       .extSelectClipRgn({}, 5)
                                       .stretchDiBits(1, 2, 30, 20, image, 0x00CC0020)
                                       .build());
    EXPECT_EQ(calls, (QStringList{QStringLiteral("clip 2 rects mode 1"),
                                  QStringLiteral("clip 0 rects mode 5"),
                                  QStringLiteral("blit dest 1,2 30x20 src 0,0 3x2 rop 00cc0020 "
                                                 "dib 40+24")}));
}

TEST(EmfReader, RegionWithMoreRectanglesThanBytesIsRefused) {
    QByteArray p;
    appendU32(p, 48);  // cbRgnData
    appendU32(p, 1);
    appendU32(p, 32);
    appendU32(p, 1);
    appendU32(p, 0x10000000);  // rectangles claimed
    appendU32(p, 16);
    for (int i = 0; i < 8; ++i) appendU32(p, 0);
    PlaybackStats stats;
    EXPECT_TRUE(play(EmfBuilder(96, 96).record(75, p).build(), &stats).isEmpty());
    EXPECT_EQ(stats.recordsSkipped, 1);
}
