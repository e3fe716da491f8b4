// Where text goes, held to GDI's own drawings (references/gdi, made with ../shared/tools/gdiref
// under Wine 8): escapement and orientation under mirroring mappings in both graphics modes,
// glyphs stretched by lfWidth, vertical "@" faces, and the spacing records.
//
// Tolerances are on the fidelity measure (no match within 48 levels in a pixel's 3x3
// neighbourhood, either way). Wine rasterises glyphs with FreeType's own grey levels and
// positions them on whole pixels; the player draws Qt's outlines at fractional positions, so
// the edges of letters differ here and there while a misplaced or turned word differs in
// hundreds of pixels.

#include "platform/metafile/Metafile.h"
#include "platform/metafile/render/TextLayout.h"
#include "builders/EmfBuilder.h"
#include "builders/WmfBuilder.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace plume::metafile {
namespace {

using test::EmfBuilder;
using test::WmfBuilder;

constexpr uint32_t kRed = 0x0000FF;

QImage render(const QByteArray& bytes, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    const ParseResult parsed = parseMetafile(bytes);
    const auto* document = std::get_if<DocumentPtr>(&parsed);
    if (!document) return image;
    QPainter painter(&image);
    render(**document, painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

// The share of pixels that differ from GDI's reference `name` as fidelity.py counts them.
double differenceFromGdi(const QString& name, const QByteArray& picture, QSize size) {
    const QImage gdi = test::gdiReference(name, picture);
    if (gdi.isNull()) {
        ADD_FAILURE() << "no GDI reference " << name.toStdString();
        return 1;
    }
    return test::compareImages(gdi, render(picture, size), 48, {}, 1, 1).share();
}

TEST(TextLayout, EscapementAndOrientationUnderMirroringMappingsAsGdi) {
    // Five words turned by 0, 90, 270, 45 and 180 degrees, each hung from a red cross (TA_TOP),
    // under a y axis pointing down, one pointing up (MM_ANISOTROPIC with a negative window
    // height, as charts draw their axis titles) and an x axis pointing left. GM_COMPATIBLE
    // turns the words the other way under a mirroring mapping and keeps them readable;
    // GM_ADVANCED mirrors them with everything else, their glyphs upright (lfOrientation 0)
    // while the words run along the escapement.
    const QSize size(400, 140);
    const int escapements[] = {0, 900, 2700, 450, 1800};
    const int anchors[] = {30, 100, 160, 220, 330};
    for (const uint32_t mode : {1u, 2u}) {
        for (const char* mapping : {"down", "up", "xflip"}) {
            EmfBuilder b(size.width(), size.height());
            b.textGraphicsMode(mode).createPen(1, 0, 1, kRed).selectObject(1);
            if (mapping != std::string_view("down")) {
                const bool up = mapping == std::string_view("up");
                b.setMapMode(8)
                    .setWindowExt(up ? 400 : -400, up ? -140 : 140)
                    .setWindowOrg(up ? 0 : 400, up ? 140 : 0)
                    .setViewportExt(400, 140);
            }
            for (int i = 0; i < 5; ++i) {
                const int e = escapements[i], x = anchors[i];
                b.createTurnedFont(2 + i, -20, QStringLiteral("Arial"), e, mode == 1 ? e : 0);
                b.selectObject(2 + i);
                b.moveTo(x - 5, 70).lineTo(x + 5, 70).moveTo(x, 65).lineTo(x, 75);
                b.extTextOutW(x, 70, QStringLiteral("Ab%1").arg(e / 10));
            }
            const QString name = QStringLiteral("text_escapement_gm%1_%2").arg(mode).arg(mapping);
            // About 0.75 % here; the words of the old layout, turned the wrong way, 3.4 % and more.
            EXPECT_LE(differenceFromGdi(name, b.build(), size), 0.012) << name.toStdString();
        }
    }
}

// The columns that hold dark pixels in rows [top, bottom) of `image`: first and last.
std::pair<int, int> inkColumns(const QImage& image, int top, int bottom) {
    int first = image.width(), last = -1;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

TEST(TextLayout, WidthStretchesTheGlyphsAgainstTheAverageWidthAsGdi) {
    // lfWidth asks for an average character width: GDI stretches the glyphs themselves by
    // its ratio to the face's own average (tmAveCharWidth, the OS/2 xAvgCharWidth in whole
    // pixels). Faces whose files are the same here and in the reference's Wine prefix (that
    // one holds Liberation 2, whose Sans has another average than the Liberation 1 here).
    const QSize size(400, 260);
    EmfBuilder b(size.width(), size.height());
    struct Row {
        const char16_t* face;
        int width;
    };
    const Row rows[] = {{u"Courier New", 0}, {u"Courier New", 10}, {u"Courier New", 26},
                        {u"MS Gothic", 0},   {u"MS Gothic", 9},    {u"MS Gothic", 24}};
    for (int i = 0; i < 6; ++i) {
        b.createTurnedFont(1 + i, -30, QString::fromUtf16(rows[i].face), 0, 0, rows[i].width);
        b.selectObject(1 + i).extTextOutW(5, 5 + 42 * i, QStringLiteral("Width%1").arg(rows[i].width));
    }
    // 1.2 % here, the grey levels of stretched glyph edges.
    EXPECT_LE(differenceFromGdi(QStringLiteral("text_lfwidth"), b.build(), size), 0.016);

    // Arial's stand-in, Liberation Sans, counts its average over every glyph (0.574 em) where
    // Arial weighs the lowercase letters (904/2048 = 0.441 em): a writer on Windows asked for
    // widths against the latter, and Wine's GDI, using the stand-in's own, draws them a
    // quarter narrower. The player keeps to Arial's.
    EmfBuilder arial(300, 100);
    arial.createFont(1, -30, 400, QStringLiteral("Arial")).selectObject(1);
    arial.extTextOutW(5, 5, QStringLiteral("HHHHH"));
    arial.createFont(2, -30, 400, QStringLiteral("Arial"), 0, 0, 0, 0, 10).selectObject(2);
    arial.extTextOutW(5, 50, QStringLiteral("HHHHH"));
    const QImage image = render(arial.build(), {300, 100});
    const auto [a0, a1] = inkColumns(image, 0, 45);
    const auto [b0, b1] = inkColumns(image, 45, 100);
    const double ratio = double(b1 - b0) / double(a1 - a0);
    EXPECT_NEAR(ratio, 10 / (30 * 904.0 / 2048), 0.02);
}

TEST(TextLayout, VerticalFacesStandFullWidthCharactersUpright) {
    // "@ＭＳ ゴシック" at escapement 2700 (a line reading down, the way Japanese is written
    // vertically) and at 0, and the face without "@" at 2700 beside them. In the "@" face
    // kanji, kana and full-width digits stand upright in their cells while Latin letters lie
    // along the line, and 、。「」 take their vertical forms; without "@" everything lies.
    const QSize size(460, 260);
    EmfBuilder b(size.width(), size.height());
    b.createPen(1, 0, 1, kRed).selectObject(1);
    const QString text = QStringLiteral("縦書きAbg１２、。「ー」");
    struct Case {
        const char16_t* face;
        int escapement, x, y;
    };
    const Case cases[] = {{u"@ＭＳ ゴシック", 2700, 40, 10},
                          {u"@ＭＳ ゴシック", 0, 140, 110},
                          {u"ＭＳ ゴシック", 2700, 100, 10}};
    for (int i = 0; i < 3; ++i) {
        const Case& c = cases[i];
        b.createFont(2 + i, -24, 400, QString::fromUtf16(c.face), c.escapement, 128);
        b.selectObject(2 + i).moveTo(c.x - 5, c.y).lineTo(c.x + 5, c.y);
        b.moveTo(c.x, c.y - 5).lineTo(c.x, c.y + 5).extTextOutW(c.x, c.y, text);
    }
    // 1.1 % here (the vertical forms of 、。 sit a little apart); every character lying,
    // 2.3 %.
    EXPECT_LE(differenceFromGdi(QStringLiteral("text_vertical_face"), b.build(), size), 0.017);
}

TEST(TextLayout, VerticalGlyphsComeFromTheFacesOwnSubstitutions) {
    // A GSUB table whose `tag` feature swaps glyphs 10 and 20 for 110 and 120 (a single
    // substitution listing them, its coverage a glyph list).
    const auto gsub = [](const char* tag) {
        QByteArray t;
        for (const int v : {1, 0, 0, 10, 24, 1}) t.append(char(v >> 8)).append(char(v));
        t.append(tag, 4);
        for (const int v : {8, 0, 1, 0, 1, 4, 1, 0, 1, 8, 2, 10, 2, 110, 120, 1, 2, 10, 20})
            t.append(char(v >> 8)).append(char(v));
        return t;
    };
    const QHash<quint32, quint32> expected{{10, 110}, {20, 120}};
    EXPECT_EQ(verticalSubstitutions(gsub("vert")), expected);
    EXPECT_TRUE(verticalSubstitutions(gsub("liga")).isEmpty());
    // Cut short anywhere, the table gives what it still holds and reads nothing past its end.
    const QByteArray whole = gsub("vert");
    for (qsizetype n = 0; n < whole.size(); ++n) {
        const QHash<quint32, quint32> part = verticalSubstitutions(whole.left(n));
        for (auto it = part.begin(); it != part.end(); ++it)
            EXPECT_EQ(expected.value(it.key()), it.value()) << n;
    }
}

TEST(TextLayout, CharacterExtraJustificationAndVerticalAdvancesAsGdi) {
    // WMF (its reference drawn by PlayMetaFile, gdiref --direct): SetTextCharacterExtra widens
    // every advance, the Dx array's too; SetTextJustification spreads its extra over the
    // spaces of text without Dx only. Under each line the same text plainly, to compare.
    const QSize size(400, 200);
    WmfBuilder w;
    w.createFont(-20, "Arial").selectObject(0).setBkMode(1);
    w.extTextOut(5, 5, "Plain line");
    w.setTextCharacterExtra(6).extTextOut(5, 30, "Char extra");
    w.extTextOut(200, 30, "Dx too", 0, {}, {12, 12, 12, 12, 12, 12});
    w.setTextCharacterExtra(0).setTextJustification(61, 3).extTextOut(5, 80, "a b c d");
    w.extTextOut(200, 80, "a b c d", 0, {}, {12, 12, 12, 12, 12, 12, 12});
    w.setTextJustification(0, 0).extTextOut(5, 130, "a b c d");
    // EMF: EMR_SETTEXTJUSTIFICATION, and ETO_PDY (x and y advances; a positive y goes up).
    EmfBuilder e(size.width(), size.height());
    e.createFont(1, -20, 400, QStringLiteral("Arial")).selectObject(1).setBkMode(1);
    e.setTextJustification(40, 2).extTextOutW(5, 5, QStringLiteral("x y z"));
    e.setTextJustification(0, 0).extTextOutW(200, 5, QStringLiteral("x y z"));
    e.extTextOutW(5, 120, QStringLiteral("Stairs"), 0x2000, {14, 6, 14, 6, 14, 6, 14, 6, 14, 6, 14, 6});
    const QByteArray wmf = w.placeable(0, 0, size.width(), size.height(), 96);
    // 0.7 % and 0.16 % here; without the extra on Dx and the justification, 1.4 % and 0.34 %.
    EXPECT_LE(differenceFromGdi(QStringLiteral("text_spacing_wmf"), wmf, size), 0.01);
    EXPECT_LE(differenceFromGdi(QStringLiteral("text_spacing_emf"), e.build(), size), 0.0025);
}

}  // namespace
}  // namespace plume::metafile
