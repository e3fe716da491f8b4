// Cutting, building and typed reading of groups and keys in the settings text.
#include "platform/desktop/Usr.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

namespace plume {
namespace {

using test::MessageCapture;

// A store loaded from a text given in the test.
class SettingsAccess : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        Usr::oFso.reset();
    }
    void TearDown() override { Usr::oFso.reset(); }

    void load(const QString& text) {
        Usr::F_FsoChk();
        Usr::oFso->writeAnsiTextAtomic(m_dir.filePath("User.xml"), text);
        bool bOk = false;
        m_store.GetTxt(m_dir.filePath("User.xml"), bOk);
        ASSERT_TRUE(bOk);
    }

    QTemporaryDir m_dir;
    SettingsStore m_store;
    MessageCapture m_messages;
};

QString document(const QString& body) {
    return QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n") + body +
           QStringLiteral("</運用>");
}

TEST_F(SettingsAccess, AbsentGroupsAndKeysGiveDefaultsOfTheirOwnKindSilently) {
    load(document(QString()));
    m_store.GetGtx(QStringLiteral("THUMB"));
    EXPECT_EQ(m_store.vGtVal("列数", int16_t{3}), SettingValue(int16_t{3}));
    EXPECT_EQ(m_store.vGtVal("DISP_NAME", false), SettingValue(false));
    EXPECT_EQ(m_store.vGtVal("FOLD", "dflt"), SettingValue("dflt"));
    const QDateTime when(QDate(2020, 1, 2), QTime(3, 4, 5));
    EXPECT_EQ(m_store.vGtVal("D", when), SettingValue(when));
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(SettingsAccess, EmptyStoredValuesReadAsTheDefaultForEveryKind) {
    load(document("   <G>\r\n      <N></N>\r\n   </G>\r\n"));
    m_store.GetGtx("G");
    EXPECT_EQ(m_store.vGtVal("N", 7.5), SettingValue(7.5));
    EXPECT_EQ(m_store.vGtVal("N", int32_t{4}), SettingValue(int32_t{4}));
    EXPECT_EQ(m_store.vGtVal("N", true), SettingValue(true));
    EXPECT_EQ(m_store.vGtVal("N", "x"), SettingValue("x"));
}

TEST_F(SettingsAccess, NumbersReadBackAsDoublesByTheLeadingNumberRule) {
    load(
        document("   <G>\r\n      <A>1440</A>\r\n      <B>abc</B>\r\n      <C> 12.5abc</C>\r\n"
                 "      <D>1e3</D>\r\n      <E>-</E>\r\n   </G>\r\n"));
    m_store.GetGtx("G");
    const SettingValue a = m_store.vGtVal("A", int16_t{0});
    EXPECT_EQ(a.typeName(), "double");
    EXPECT_EQ(a.number(), 1440.0);
    EXPECT_EQ(m_store.vGtVal("B", 99.0), SettingValue(0.0));  // not the default
    EXPECT_EQ(m_store.vGtVal("C", 0.0), SettingValue(12.5));
    EXPECT_EQ(m_store.vGtVal("D", 0.0), SettingValue(1000.0));
    EXPECT_EQ(m_store.vGtVal("E", 5.0), SettingValue(0.0));
}

TEST_F(SettingsAccess, TruthValuesReadFromWordsAndNumbers) {
    load(
        document("   <G>\r\n      <A>True</A>\r\n      <B>true</B>\r\n      <C>TRUE</C>\r\n"
                 "      <D>-1</D>\r\n      <E>0</E>\r\n      <F>fAlSe</F>\r\n      <H>maybe</H>\r\n"
                 "   </G>\r\n"));
    m_store.GetGtx("G");
    for (const char* key : {"A", "B", "C", "D"})
        EXPECT_EQ(m_store.vGtVal(key, false), SettingValue(true)) << key;
    EXPECT_EQ(m_store.vGtVal("E", true), SettingValue(false));
    EXPECT_EQ(m_store.vGtVal("F", true), SettingValue(false));
    // Neither a truth word nor a number: the default.
    EXPECT_EQ(m_store.vGtVal("H", true), SettingValue(true));
    EXPECT_EQ(m_store.vGtVal("H", false), SettingValue(false));
}

TEST_F(SettingsAccess, DatesRoundTripAndBadDatesGiveTheDefault) {
    load(document(QString()));
    const QDateTime when(QDate(2026, 12, 7), QTime(8, 30, 15));
    m_store.GetGtx("G");
    m_store.SetVal("When", when);
    m_store.SetVal("Bad", "not a date");
    m_store.SetGtx();
    m_store.GetGtx("G");
    EXPECT_EQ(m_store.vGtVal("When", QDateTime()), SettingValue(when));
    const QDateTime fallback(QDate(2000, 1, 1), QTime(0, 0));
    EXPECT_EQ(m_store.vGtVal("Bad", fallback), SettingValue(fallback));
}

TEST_F(SettingsAccess, ValuesWithSpacesAndLineEndsComeBackUnchanged) {
    load(document(QString()));
    const QString value = QStringLiteral("  a <b> & \"c\"\r\nnext line\t ");
    m_store.GetGtx("G");
    m_store.SetVal("K", value);
    m_store.SetGtx();
    m_store.GetGtx("G");
    EXPECT_EQ(m_store.vGtVal("K", QString()).text(), value);
}

TEST_F(SettingsAccess, DamagedElementsGiveTheDefaultAndAreToldOnceThenLeftOut) {
    load(
        document("   <G>\r\n      <OnlyOpen>1\r\n      </OnlyClose>\r\n      </Rev><Rev>\r\n"
                 "      <Sound>7</Sound>\r\n   </G>\r\n   <H>\r\n      <K>v</K>\r\n   </H>\r\n"
                 "   <Broken>\r\n"));
    m_store.GetGtx("G");
    EXPECT_EQ(m_store.vGtVal("OnlyOpen", 5.0), SettingValue(5.0));
    EXPECT_EQ(m_store.vGtVal("OnlyClose", 5.0), SettingValue(5.0));
    EXPECT_EQ(m_store.vGtVal("Rev", 5.0), SettingValue(5.0));
    EXPECT_EQ(m_store.vGtVal("Sound", 5.0), SettingValue(7.0));
    m_store.GetGtx("Broken");
    EXPECT_EQ(m_store.sGpTx(), QString());
    // Told once, at the first damaged element; the damaged tags are gone from the text, and
    // what reads soundly stays.
    EXPECT_EQ(m_messages.texts(),
              QStringList{SettingsStore::damageKeptMessage("OnlyOpen", m_store.sIniPh(),
                                                           m_store.sIniPh() + ".damaged")});
    EXPECT_EQ(m_store.sIniTx(),
              document("   <G>\r\n      <Sound>7</Sound>\r\n   </G>\r\n"
                       "   <H>\r\n      <K>v</K>\r\n   </H>\r\n"));
    EXPECT_EQ(SettingsStore::damageMessage("A", "/u/User.xml"),
              "<A> の設定が読み込めません\rﾕｰｻﾞｰ環境ﾌｧｲﾙ(/u/User.xml) が破損しています");
}

TEST_F(SettingsAccess, NamesAreCaseSensitiveAndTheFirstOccurrenceCounts) {
    load(
        document("   <thumb>\r\n      <LEFT>1</LEFT>\r\n   </thumb>\r\n"
                 "   <G>\r\n      <K>first</K>\r\n      <K>second</K>\r\n   </G>\r\n"));
    m_store.GetGtx("THUMB");
    EXPECT_EQ(m_store.sGpTx(), QString());
    EXPECT_EQ(m_store.vGtVal("LEFT", 9.0), SettingValue(9.0));
    m_store.GetGtx("G");
    EXPECT_EQ(m_store.vGtVal("K", QString()).text(), "first");
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(SettingsAccess, GroupBodiesAreCutAtFixedOffsetsWhateverTheLayout) {
    // LF-only line ends and other indentation: two characters after the opening tag and
    // three before the closing tag are left out regardless.
    load(QStringLiteral("<運用>\n<G>\n  <K>v</K>\n  </G>\n<E></E>\n<S>ab</S></運用>"));
    m_store.GetGtx("G");
    EXPECT_EQ(m_store.sGpTx(), QStringLiteral(" <K>v</K>"));
    EXPECT_EQ(m_store.sGtTag(0, "E"), QString());  // closing tag too close: empty
    EXPECT_EQ(m_store.sGtTag(0, "S"), QString());
}

TEST_F(SettingsAccess, SetValReplacesBetweenTheTagsOrAppendsAndSetGtxPlacesGroups) {
    load(document("   <A>\r\n      <X>1</X>\r\n      <Y>2</Y>\r\n   </A>\r\n"));
    m_store.GetGtx("A");
    m_store.SetVal("X", 10.0);
    m_store.SetVal("Z", true);
    EXPECT_EQ(m_store.sGpTx(),
              QStringLiteral("      <X>10</X>\r\n      <Y>2</Y>\r\n      <Z>True</Z>\r\n"));
    m_store.SetGtx();
    m_store.GetGtx("B");
    m_store.SetVal("K", "v");
    m_store.SetGtx();
    const QString expected = document(
        "   <A>\r\n      <X>10</X>\r\n      <Y>2</Y>\r\n      <Z>True</Z>\r\n   </A>\r\n"
        "   <B>\r\n      <K>v</K>\r\n   </B>\r\n");
    EXPECT_EQ(m_store.sIniTx(), expected);
    // A second SetGtx without changes leaves the document as it was.
    m_store.SetGtx();
    EXPECT_EQ(m_store.sIniTx(), expected);
}

TEST_F(SettingsAccess, AChangeNotPutBackBeforeTheNextGroupIsLost) {
    load(document("   <A>\r\n      <X>1</X>\r\n   </A>\r\n"));
    m_store.GetGtx("A");
    m_store.SetVal("X", 2.0);
    m_store.GetGtx("B");
    m_store.GetGtx("A");
    EXPECT_EQ(m_store.vGtVal("X", 0.0), SettingValue(1.0));
}

TEST_F(SettingsAccess, DamagedTagsStayAndACompleteElementIsAdded) {
    load(document("   <A>\r\n      <X>1\r\n   </A>\r\n"));
    m_store.GetGtx("A");
    m_store.SetVal("X", 2.0);
    EXPECT_EQ(m_store.sGpTx(), QStringLiteral("      <X>1\r\n      <X>2</X>\r\n"));
}

TEST_F(SettingsAccess, ADocumentWithoutTheRootClosingTagKeepsItsTextWhenAGroupIsAdded) {
    load(
        QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <A>\r\n"
                       "      <X>1</X>\r\n   </A>\r\n"));
    m_store.GetGtx("B");
    m_store.SetVal("Y", 2.0);
    m_store.SetGtx();
    EXPECT_TRUE(m_store.sIniTx().startsWith(
        QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <A>\r\n")));
    EXPECT_TRUE(m_store.sIniTx().endsWith(
        QStringLiteral("   <B>\r\n      <Y>2</Y>\r\n   </B>\r\n</運用>")));
    m_store.GetGtx("A");
    EXPECT_EQ(m_store.vGtVal("X", 0.0), SettingValue(1.0));
}

TEST_F(SettingsAccess, WithoutALoadEverythingWorksInMemory) {
    SettingsStore store;
    store.GetGtx("位置");
    EXPECT_EQ(store.vGtVal("LEFT", 3.0), SettingValue(3.0));
    store.SetVal("LEFT", 1.0f);
    store.SetGtx();
    EXPECT_EQ(store.sIniTx(),
              document(QStringLiteral("   <位置>\r\n      <LEFT>1</LEFT>\r\n   </位置>\r\n")));
}

TEST(SettingsBuilder, ElementsAreBuiltWithCrLfAndOtherModesGiveNothing) {
    EXPECT_EQ(SettingsStore::sMkTag(2, "K", int32_t{-120}),
              QStringLiteral("      <K>-120</K>\r\n"));
    EXPECT_EQ(SettingsStore::sMkTag(1, "G", "body"), QStringLiteral("   <G>\r\nbody   </G>\r\n"));
    EXPECT_EQ(SettingsStore::sMkTag(3, "G", "body"), QString());
}

}  // namespace
}  // namespace plume
