// The engine's face table against Windows' own list of fonts (Qt's windows platform, which
// asks GDI): a face the system has draws a metafile's text as itself, and only a face it lacks
// draws as its stand-in. Run on that platform by tests/windows/at_dpi.sh.
#include "builders/EmfBuilder.h"
#include "platform/metafile/format/FontText.h"
#include "support/ReferenceImage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>

namespace plume::metafile {
namespace {

QImage drawnIn(const QString& face) {
    test::EmfBuilder emf(200, 40);
    emf.createFont(1, -24, 400, face).selectObject(1).extTextOutW(4, 4, QStringLiteral("Plume 12"));
    return test::renderMetafile(emf.build(), {200, 40});
}

QString familyDrawn(const QString& face, uint8_t charSet = charset::kAnsi) {
    LogFont font;
    font.faceName = face;
    font.height = -24;
    font.charSet = charSet;
    return QFontInfo(fontForLogFont(font, 24)).family();
}

TEST(WindowsFaceTable, AFaceTheSystemHasDrawsAsItselfAndOneItLacksAsItsStandIn) {
    if (QGuiApplication::platformName() != QLatin1String("windows"))
        GTEST_SKIP() << "needs Windows' own list of fonts: runs through at_dpi.sh";
    // Wine's own Tahoma and Symbol are in the test prefix, and no Arial or Courier New.
    ASSERT_TRUE(QFontDatabase::hasFamily(QStringLiteral("Tahoma")));
    ASSERT_TRUE(QFontDatabase::hasFamily(QStringLiteral("Symbol")));
    ASSERT_FALSE(QFontDatabase::hasFamily(QStringLiteral("Arial")));
    ASSERT_FALSE(QFontDatabase::hasFamily(QStringLiteral("Courier New")));
    EXPECT_EQ(familyDrawn(QStringLiteral("Tahoma")), "Tahoma");
    EXPECT_EQ(familyDrawn(QStringLiteral("symbol"), charset::kSymbol), "Symbol");
    EXPECT_EQ(familyDrawn(QStringLiteral("Arial")), "Liberation Sans");
    EXPECT_EQ(familyDrawn(QStringLiteral("Courier New")), "Liberation Mono");
    // The player draws with the same face: Tahoma's text is not Liberation Sans', Arial's is.
    const QImage standIn = drawnIn(QStringLiteral("Liberation Sans"));
    EXPECT_NE(drawnIn(QStringLiteral("Tahoma")), standIn);
    EXPECT_EQ(drawnIn(QStringLiteral("Arial")), standIn);
}

}  // namespace
}  // namespace plume::metafile
