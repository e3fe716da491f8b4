// The SVG rendition (the clipboard's SVG and plumeconv's SVG output) is a well-formed XML
// document whatever the picture holds: every SVG made from the corpus of real files, and from
// pictures whose text, font names and strings hold characters XML 1.0 does not allow, is read
// to its end by a conforming XML parser.

#include "platform/picture/PictureIo.h"
#include "platform/picture/SvgRendition.h"
#include "support/TestSupport.h"

#include "builders/EmfBuilder.h"
#include "builders/EmfPlusBuilder.h"
#include "builders/WmfBuilder.h"

#include <gtest/gtest.h>
#include <QXmlStreamReader>
#include <iostream>

namespace plume {
namespace {

// Why the XML parser refuses `svg`, or empty when it reads it to its end.
QString xmlError(const QByteArray& svg) {
    QXmlStreamReader reader(svg);
    while (!reader.atEnd()) reader.readNext();
    if (!reader.hasError()) return {};
    return QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
}

// The SVG at up to 200 pixels a side, drawn for at most half a second: the test is about the
// XML written, and a picture cut short by the time limit has to be well-formed too.
QByteArray svgOf(const QByteArray& bytes) {
    Expected<PicturePtr> picture = pictureFromBytes(bytes);
    if (!picture) return {};
    const metafile::Document& document = *picture.value()->document();
    const QSize size = ownPixelSize(document, 96).boundedTo({200, 200});
    return svgRenditionOf(document, size, 96, 500).svg;
}

// One character of each class XML 1.0 forbids, between letters, and the characters that
// XML has to escape.
const QString kForbidden = [] {
    QString text;
    for (char16_t c : {u'a', u'\x01',   u'b', u'\x0b',   u'c',  u'\x1f',   u'd', u'\xfffe',
                       u'e', u'\xffff', u'f', u'\xd800', u'g',  u'\xdc00', u'h', u'\0',
                       u'i', u'<',      u'&', u'"',      u'\'', u'>'})
        text.append(QChar(c));
    return text;
}();

TEST(SvgRendition, TextThatXmlForbidsLeavesTheSvgWellFormed) {
    // The parser itself refuses a control character, so that the test can see one.
    EXPECT_FALSE(xmlError("<svg><text>a\x01</text></svg>").isEmpty());

    // EMR_EXTTEXTOUTW and EMR_EXTTEXTOUTA, in a face whose name holds them too.
    test::EmfBuilder emf(300, 100);
    emf.createFont(1, 20, 400, QStringLiteral("Plume") + kForbidden.left(15));
    emf.selectObject(1).extTextOutW(10, 10, kForbidden);
    emf.createFont(2, 20, 400, QStringLiteral("Liberation Serif")).selectObject(2);
    emf.extTextOutA(10, 50, QByteArray("A\x01\x02\x1b\x7f<&B", 9));
    // META_TEXTOUT and a face name, both in the font's code page.
    test::WmfBuilder wmf;
    wmf.createFont(20, QByteArray("Arial\x05\x1e", 7)).selectObject(0);
    wmf.textOut(10, 10, QByteArray("x\x03\x08y\x0cz", 6));
    // EMF+ strings and a font family.
    test::EmfPlusBuilder plus;
    plus.header(false).font(1, 20, 2, QStringLiteral("Liberation Sans") + kForbidden);
    plus.drawString(1, test::plusColor(0xFF000000), 0xFFFFFFFF, QRectF(5, 5, 250, 40), kForbidden);
    plus.drawDriverString(1, test::plusColor(0xFF000000), 0, kForbidden,
                          std::vector<QPointF>(size_t(kForbidden.size()), QPointF(5, 60)));
    plus.endOfFile();
    test::EmfBuilder plusEmf(300, 100);
    plus.flushTo(plusEmf);

    const std::pair<const char*, QByteArray> pictures[] = {
        {"EMF", emf.build()},
        {"WMF", wmf.placeable(0, 0, 300, 100, 96)},
        {"EMF+", plusEmf.build()}};
    for (const auto& [name, bytes] : pictures) {
        const QByteArray svg = svgOf(bytes);
        ASSERT_FALSE(svg.isEmpty()) << name;
        EXPECT_EQ(xmlError(svg), QString()) << name;
        EXPECT_TRUE(svg.contains("<text")) << name;
    }
}

TEST(SvgRendition, EverySvgOfTheCorpusIsWellFormed) {
    const QList<test::CorpusEntry> entries = test::corpusEntries();
    if (entries.isEmpty()) GTEST_SKIP() << "no shared corpus";
    int made = 0;
    for (const test::CorpusEntry& entry : entries) {
        const QByteArray svg = svgOf(test::readFileBytes(test::corpusDir() + "/" + entry.file));
        if (svg.isEmpty()) continue;  // refused: the corpus test holds those to a message
        ++made;
        EXPECT_EQ(xmlError(svg), QString()) << entry.file.toStdString();
    }
    std::cout << made << " SVGs of " << entries.size() << " corpus files\n";
    EXPECT_GT(made, entries.size() * 9 / 10);
}

}  // namespace
}  // namespace plume
