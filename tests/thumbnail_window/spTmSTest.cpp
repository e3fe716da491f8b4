// The thumbnail chooser on the offscreen platform: placement, the group "THUMB", the option
// strip, picking and closing, listing once per opening.
#include "environment/YIni.h"
#include "platform/base/Twips.h"
#include "platform/desktop/Usr.h"
#include "support/TestSupport.h"
#include "thumbnail_window/spTmS.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace plume {
namespace {

// Draws every file as a small grey picture, so the window's behaviour is tested apart from
// the picture engine.
ThumbnailRendering greyThumbnail(const QString&, int box, const std::function<bool()>&) {
    QImage image(fitThumbnail(QSize(4, 3), box), QImage::Format_RGB32);
    image.fill(Qt::gray);
    return {image, {}};
}

class Chooser : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(QDir().mkpath(folder()));
        for (const char* name : {"001.wmf", "002.WMF", "003.wmf", "readme.txt"})
            test::writeFileBytes(folder() + "/" + name, "x");
        Usr::oFso.reset();
        bool bOk = false;
        YIni::take()->GetTxt(m_root.filePath("User.xml"), bOk);
        ASSERT_TRUE(bOk);
        m_owner.setGeometry(100, 80, 600, 400);
        m_owner.show();
    }
    void TearDown() override {
        YIni::release();
        Usr::oFso.reset();
    }

    // The folder as the main window passes it: with the system's separators.
    QString folder() const { return test::nativePath(m_root.filePath("pics")); }
    QLineEdit* field(const char* name) { return m_window.findChild<QLineEdit*>(name); }
    QCheckBox* namesBox() { return m_window.findChild<QCheckBox*>("chFn"); }

    // Opens the chooser with `sFL` and runs `inside` once it is shown and has listed;
    // returns sFL. A chooser that never shows is closed after a few seconds, failing the test.
    QString open(std::function<void()> inside, QString sFL = QStringLiteral("left over")) {
        auto* poll = new QTimer(&m_window);
        int ticks = 0;
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            if (m_window.isVisible() && m_window.isActivatedForOpening()) {
                poll->deleteLater();
                inside();
            } else if (++ticks > 500) {
                poll->deleteLater();
                ADD_FAILURE() << "the chooser was not shown";
                m_window.close();
            }
        });
        poll->start(10);
        m_window.Act(m_owner, folder(), sFL);
        return sFL;
    }
    QString openAndClose(std::function<void()> inside = {}) {
        return open([&, inside] {
            if (inside) inside();
            m_window.close();
        });
    }

    // Reads a key of "THUMB" as the stored text.
    QString stored(const QString& key) {
        const auto yIni = YIni::take();
        yIni->GetGtx(QStringLiteral("THUMB"));
        return yIni->vGtVal(key, QString()).text();
    }
    void store(std::initializer_list<std::pair<const char*, SettingValue>> values) {
        const auto yIni = YIni::take();
        yIni->GetGtx(QStringLiteral("THUMB"));
        for (const auto& [key, value] : values) yIni->SetVal(QString::fromUtf8(key), value);
        yIni->SetGtx();
    }
    int member(int number) { return m_window.IkThumb().member(number).toInt(); }

    QTemporaryDir m_root;
    QWidget m_owner;
    spTmS m_window{greyThumbnail, nullptr};
};

TEST_F(Chooser, FirstUseOpensOverTheOwnerWithTheDefaultsAndSavesThemOnClose) {
    ASSERT_TRUE(YIni::take()->sIniTx().indexOf("THUMB") < 0);
    const QRect owner = m_owner.frameGeometry();
    QRect placed;
    QString title;
    QStringList fields;
    bool names = true;
    int columns = 0, rows = 0, size = 0, listed = 0;
    bool controlNames = true;
    const QString sFL = openAndClose([&] {
        placed = m_window.frameGeometry();
        title = m_window.windowTitle();
        fields = {field("txCL")->text(), field("txRw")->text(), field("txSz")->text()};
        names = namesBox()->isChecked();
        columns = member(22);
        rows = member(23);
        size = member(39);
        controlNames = m_window.IkThumb().member(25).toBool();
        listed = m_window.IkThumb().grid().count();
    });
    EXPECT_EQ(sFL, "");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);  // the hourglass is gone
    // The owner's left and top, 98 % of its client size.
    EXPECT_EQ(placed, QRect(owner.topLeft(), QSize(qRound(0.98 * 600), qRound(0.98 * 400))));
    EXPECT_EQ(title, folder());
    EXPECT_EQ(fields, QStringList({"3", "5", "200"}));
    EXPECT_FALSE(names);
    EXPECT_EQ(columns, 3);
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(size, 200);
    EXPECT_FALSE(controlNames);
    EXPECT_EQ(listed, 3);  // the ".wmf" files in any letter case, nothing else
    EXPECT_EQ(m_window.thumbDataFileName(), folder() + QDir::separator() + "Thmb200.Dat");

    // Closing put the group back into the settings text, place included.
    const double tpp = twipsPerPixel();
    EXPECT_EQ(stored("列数"), "3");
    EXPECT_EQ(stored("行数"), "5");
    EXPECT_EQ(stored("PC_SIZE"), "200");
    EXPECT_EQ(stored("DISP_NAME"), "False");
    EXPECT_EQ(stored("LEFT").toDouble(), owner.x() * tpp);
    EXPECT_EQ(stored("WIDTH").toDouble(), qRound(0.98 * 600) * tpp);
    EXPECT_FALSE(m_window.isVisible());
    EXPECT_FALSE(m_window.isActivatedForOpening());
}

TEST_F(Chooser, AStoredPlaceIsUsedOnlyWhenBothSizesArePositive) {
    const double tpp = twipsPerPixel();
    store({{"LEFT", 30 * tpp}, {"TOP", 40 * tpp}, {"WIDTH", 500 * tpp}, {"HEIGHT", 0.0}});
    QRect placed;
    openAndClose([&] { placed = m_window.frameGeometry(); });
    EXPECT_EQ(placed, QRect(m_owner.frameGeometry().topLeft(), QSize(588, 392)));

    store({{"LEFT", 30 * tpp}, {"TOP", 40 * tpp}, {"WIDTH", 0.0}, {"HEIGHT", 300 * tpp}});
    openAndClose([&] { placed = m_window.frameGeometry(); });
    EXPECT_EQ(placed, QRect(m_owner.frameGeometry().topLeft(), QSize(588, 392)));

    store({{"LEFT", 30 * tpp}, {"TOP", 40 * tpp}, {"WIDTH", 500 * tpp}, {"HEIGHT", 300 * tpp}});
    openAndClose([&] { placed = m_window.frameGeometry(); });
    EXPECT_EQ(placed, QRect(30, 40, 500, 300));
}

TEST_F(Chooser, FieldTextsAreSavedByTheirLeadingNumberAndReadBackRoundedHalfToEven) {
    openAndClose([&] {
        field("txCL")->setText("abc");
        field("txRw")->setText("151.5");
        field("txSz")->setText("150.5");
    });
    EXPECT_EQ(stored("列数"), "0");
    EXPECT_EQ(stored("行数"), "151.5");
    EXPECT_EQ(stored("PC_SIZE"), "150.5");

    QStringList fields;
    int columns = -1, rows = 0, size = 0;
    openAndClose([&] {
        fields = {field("txCL")->text(), field("txRw")->text(), field("txSz")->text()};
        columns = member(22);
        rows = member(23);
        size = member(39);
    });
    // A stored 0 stays 0; it is not replaced by the default.
    EXPECT_EQ(fields, QStringList({"0", "152", "150"}));
    EXPECT_EQ(columns, 0);
    EXPECT_EQ(rows, 152);
    EXPECT_EQ(size, 150);
}

TEST_F(Chooser, OptionsTypedButNotAppliedAreSavedAndInForceAtTheNextOpening) {
    int columnsWhileOpen = 0;
    openAndClose([&] {
        QLineEdit* columns = field("txCL");
        columns->clear();
        QTest::keyClicks(columns, "4");
        QTest::mouseClick(namesBox(), Qt::LeftButton);
        columnsWhileOpen = member(22);
    });
    EXPECT_EQ(columnsWhileOpen, 3);  // typing alone applies nothing
    EXPECT_EQ(stored("列数"), "4");
    EXPECT_EQ(stored("DISP_NAME"), "True");

    int columns = 0;
    bool names = false;
    openAndClose([&] {
        columns = m_window.IkThumb().grid().thumbnailLayout().columns;
        names = m_window.IkThumb().grid().thumbnailLayout().showNames;
    });
    EXPECT_EQ(columns, 4);
    EXPECT_TRUE(names);
}

TEST_F(Chooser, RedisplayAppliesTheFieldsClampedToSixteenBitsAndListsAgain) {
    int listingsBefore = 0, listingsAfter = 0;
    ThumbnailLayout applied;
    openAndClose([&] {
        listingsBefore = m_window.IkThumb().listingCount();
        field("txCL")->setText("2");
        field("txRw")->setText("99999");
        field("txSz")->setText("96");
        m_window.findChild<QToolButton*>("ssRbn")->click();
        listingsAfter = m_window.IkThumb().listingCount();
        applied = m_window.IkThumb().grid().thumbnailLayout();
    });
    EXPECT_EQ(listingsAfter, listingsBefore + 1);
    EXPECT_EQ(applied.columns, 2);
    EXPECT_EQ(applied.rows, 32767);  // not wrapped round to a negative count
    EXPECT_EQ(applied.thumbSize, 96);
    EXPECT_EQ(m_window.thumbDataFileName(), folder() + QDir::separator() + "Thmb096.Dat");
    // The field's number is saved as typed; only the grid's copy is clamped.
    EXPECT_EQ(stored("行数"), "99999");
}

TEST_F(Chooser, AnOverflowingNumberIsSavedWithinThe32BitRangeAndReachesTheGridClamped) {
    openAndClose([&] { field("txSz")->setText("1e999"); });
    EXPECT_EQ(stored("PC_SIZE"), "2147483647");  // not "inf", which would read back as 0
    QString shown;
    int size = 0;
    openAndClose([&] {
        shown = field("txSz")->text();
        size = member(39);
    });
    EXPECT_EQ(shown, "2147483647");
    EXPECT_EQ(size, 32767);
}

TEST_F(Chooser, TheStripKeepsItsDesignHeightAndTheThumbnailsTakeTheRest) {
    int strip = 0, thumbs = 0;
    openAndClose([&] {
        strip = m_window.findChild<QWidget*>(QStringLiteral("Frame1"))->height();
        thumbs = m_window.IkThumb().height();
    });
    EXPECT_NEAR(strip, 450 / twipsPerPixel(), 1);
    EXPECT_GT(thumbs, 5 * strip);
}

TEST_F(Chooser, ADoubleClickHandsBackTheNameAsTheControlReportsIt) {
    const QString sFL = open([&] {
        ThumbnailGrid& grid = m_window.IkThumb().grid();
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, grid.cellRect(1).center());
    });
    EXPECT_EQ(sFL, "002.WMF");
    EXPECT_FALSE(m_window.isVisible());
    // A pick unloads the window as well: the settings are saved.
    EXPECT_EQ(stored("列数"), "3");
}

TEST_F(Chooser, TheKeysStartOnTheGivenFileMoveAndPickOrEscapeWithoutAPick) {
    ThumbnailGrid& grid = m_window.IkThumb().grid();
    int startedOn = -1;
    QWidget* focused = nullptr;
    QString sFL = open(
        [&] {
            startedOn = grid.currentIndex();
            focused = m_window.focusWidget();
            QTest::keyClick(&grid, Qt::Key_Left);
            QTest::keyClick(&grid, Qt::Key_Return);
        },
        QStringLiteral("003.WMF"));
    EXPECT_EQ(startedOn, 2);  // 003.wmf, found in any letter case
    EXPECT_EQ(focused, &grid);
    EXPECT_EQ(sFL, "002.WMF");

    // Redisplay keeps the current thumbnail; Escape closes without a pick, from the grid or
    // from a field.
    int afterRedisplay = -1;
    sFL = open(
        [&] {
            QTest::keyClick(&grid, Qt::Key_Right);
            m_window.findChild<QToolButton*>("ssRbn")->click();
            afterRedisplay = grid.currentIndex();
            QTest::keyClick(field("txCL"), Qt::Key_Escape);
        },
        QStringLiteral("001.wmf"));
    EXPECT_EQ(afterRedisplay, 1);
    EXPECT_EQ(sFL, "");
    EXPECT_FALSE(m_window.isVisible());
    // A name that is not listed starts on the first thumbnail.
    sFL = open([&] {
        startedOn = grid.currentIndex();
        QTest::keyClick(&grid, Qt::Key_Escape);
    });
    EXPECT_EQ(startedOn, 0);
    EXPECT_EQ(sFL, "");
}

TEST_F(Chooser, ActivatingAgainDoesNotListAgainButTheNextOpeningDoes) {
    int listingsWhileOpen = 0;
    openAndClose([&] {
        QEvent away(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(&m_window, &away);
        QEvent back(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&m_window, &back);
        // Past the moment the window lists by itself when no activation came.
        const auto* fallback = m_window.findChild<QTimer*>(QStringLiteral("activationFallback"));
        ASSERT_NE(fallback, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !fallback->isActive(); }, 10000));
        listingsWhileOpen = m_window.IkThumb().listingCount();
    });
    EXPECT_EQ(listingsWhileOpen, 1);
    openAndClose();
    EXPECT_EQ(m_window.IkThumb().listingCount(), 2);
}

TEST(ThumbSizeDigits, HaveAtLeastThreeDigits) {
    EXPECT_EQ(thumbSizeDigits(200), "200");
    EXPECT_EQ(thumbSizeDigits(96), "096");
    EXPECT_EQ(thumbSizeDigits(1024), "1024");
    EXPECT_EQ(thumbSizeDigits(-5), "-005");
}

}  // namespace
}  // namespace plume
