// The settings file as bytes on disk: layout to the character, CP932, loading and saving.
#include "platform/desktop/Usr.h"
#include "platform/base/Cp932.h"
#include "settings/SettingsStore.h"
#include "support/FailingWrites.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

namespace plume {
namespace {

using test::MessageCapture;
using test::readFileBytes;
using test::writeFileBytes;

const QString kNewDocument =
    QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n</運用>");

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        Usr::oFso.reset();
    }
    void TearDown() override { Usr::oFso.reset(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

TEST_F(SettingsFile, MissingFileIsCreatedEmptyAtOnceAndANewDocumentSavesExactly) {
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(path("User.xml"), bOk);
    EXPECT_TRUE(bOk);
    ASSERT_TRUE(QFile::exists(path("User.xml")));
    EXPECT_EQ(readFileBytes(path("User.xml")).size(), 0);
    EXPECT_EQ(store.sIniTx(), kNewDocument);

    store.SetTxt(bOk);
    EXPECT_TRUE(bOk);
    EXPECT_EQ(readFileBytes(path("User.xml")),
              QByteArray("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<\x89\x5e\x97\x70>\r\n"
                         "</\x89\x5e\x97\x70>"));
}

TEST_F(SettingsFile, TheTwoGroupExampleIsWrittenToTheCharacter) {
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(path("User.xml"), bOk);
    // The thumbnail window saves first, then the main window at its unload.
    store.GetGtx(QStringLiteral("THUMB"));
    store.SetVal(QStringLiteral("LEFT"), 2400.0f);
    store.SetVal(QStringLiteral("TOP"), 1800.0f);
    store.SetVal(QStringLiteral("WIDTH"), 9000.0f);
    store.SetVal(QStringLiteral("HEIGHT"), 7200.0f);
    store.SetVal(QStringLiteral("列数"), 3.0);
    store.SetVal(QStringLiteral("行数"), 5.0);
    store.SetVal(QStringLiteral("PC_SIZE"), 200.0);
    store.SetVal(QStringLiteral("DISP_NAME"), false);
    store.SetGtx();
    store.GetGtx(QStringLiteral("位置"));
    store.SetVal(QStringLiteral("LEFT"), 1536.0f);
    store.SetVal(QStringLiteral("TOP"), 1152.0f);
    store.SetVal(QStringLiteral("WIDTH"), 10752.0f);
    store.SetVal(QStringLiteral("HEIGHT"), 8064.0f);
    store.SetVal(QStringLiteral("FOLD"), QStringLiteral("d:\\data\\Temp"));
    store.SetGtx();
    store.SetTxt(bOk);
    ASSERT_TRUE(bOk);

    const QString expected = QStringLiteral(
        "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n"
        "<運用>\r\n"
        "   <THUMB>\r\n"
        "      <LEFT>2400</LEFT>\r\n"
        "      <TOP>1800</TOP>\r\n"
        "      <WIDTH>9000</WIDTH>\r\n"
        "      <HEIGHT>7200</HEIGHT>\r\n"
        "      <列数>3</列数>\r\n"
        "      <行数>5</行数>\r\n"
        "      <PC_SIZE>200</PC_SIZE>\r\n"
        "      <DISP_NAME>False</DISP_NAME>\r\n"
        "   </THUMB>\r\n"
        "   <位置>\r\n"
        "      <LEFT>1536</LEFT>\r\n"
        "      <TOP>1152</TOP>\r\n"
        "      <WIDTH>10752</WIDTH>\r\n"
        "      <HEIGHT>8064</HEIGHT>\r\n"
        "      <FOLD>d:\\data\\Temp</FOLD>\r\n"
        "   </位置>\r\n"
        "</運用>");
    EXPECT_EQ(store.sIniTx(), expected);
    EXPECT_EQ(readFileBytes(path("User.xml")), encodeCp932(expected));

    // Loaded again, both groups read back with their own keys.
    SettingsStore again;
    again.GetTxt(path("User.xml"), bOk);
    again.GetGtx(QStringLiteral("THUMB"));
    EXPECT_EQ(again.vGtVal(QStringLiteral("LEFT"), 0.0).number(), 2400.0);
    again.GetGtx(QStringLiteral("位置"));
    EXPECT_EQ(again.vGtVal(QStringLiteral("LEFT"), 0.0).number(), 1536.0);
    EXPECT_EQ(again.vGtVal(QStringLiteral("FOLD"), QString()).text(), "d:\\data\\Temp");
}

TEST_F(SettingsFile, DvSuffixDesignatesTheFileWithoutIt) {
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(path("Set_dv.XML_DV.xml"), bOk);
    // Only the first occurrence, found in any letter case, is replaced.
    EXPECT_EQ(store.sIniPh(), path("Set.xml_DV.xml"));
    store.GetTxt(path("User.xml"), bOk);
    EXPECT_EQ(store.sIniPh(), path("User.xml"));
}

TEST_F(SettingsFile, AFileStartingWithABlankLineIsReadWhole) {
    writeFileBytes(
        path("User.xml"),
        encodeCp932(QStringLiteral("\r\n   <位置>\r\n      <LEFT>7</LEFT>\r\n   </位置>\r\n")));
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(path("User.xml"), bOk);
    EXPECT_TRUE(bOk);
    store.GetGtx(QStringLiteral("位置"));
    EXPECT_EQ(store.vGtVal(QStringLiteral("LEFT"), 0).number(), 7.0);
}

TEST_F(SettingsFile, EmptyFileStartsANewDocument) {
    writeFileBytes(path("User.xml"), {});
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(path("User.xml"), bOk);
    EXPECT_TRUE(bOk);
    EXPECT_EQ(store.sIniTx(), kNewDocument);
}

TEST_F(SettingsFile, LoadInAMissingFolderFailsAndSaveWritesNothing) {
    SettingsStore store;
    bool bOk = true;
    store.GetTxt(path("no/such/User.xml"), bOk);
    EXPECT_FALSE(bOk);
    // Reads give defaults, and a group can still be put into a new document.
    store.GetGtx(QStringLiteral("位置"));
    EXPECT_EQ(store.vGtVal(QStringLiteral("LEFT"), 5.0).number(), 5.0);
    store.SetVal(QStringLiteral("LEFT"), 1.0);
    store.SetGtx();
    EXPECT_TRUE(store.sIniTx().startsWith(SettingsStore::kDeclaration));
    MessageCapture messages;
    store.SetTxt(bOk);
    EXPECT_FALSE(bOk);
    EXPECT_EQ(messages.texts(),
              QStringList{SettingsStore::saveFailedMessage(path("no/such/User.xml"),
                                                           "ﾌｫﾙﾀﾞが見つかりません")});
}

TEST_F(SettingsFile, SaveWithoutALoadWritesNothingAndKeepsTheFlag) {
    SettingsStore store;
    bool bOk = true;
    store.SetTxt(bOk);
    EXPECT_TRUE(bOk);
    bOk = false;
    store.SetTxt(bOk);
    EXPECT_FALSE(bOk);
    EXPECT_TRUE(QDir(m_dir.path()).isEmpty());
}

TEST_F(SettingsFile, AFileThatCannotBeLoadedIsToldOnceAndNeverOverwritten) {
    const QByteArray utf16 = QByteArray("\xff\xfe<\0?\0x\0", 8);
    const struct {
        QByteArray bytes;
        FileReadError::Kind kind;
    } cases[] = {
        {QByteArray("<?xml?>\r\n<\xe9\x81\x8b\xe7\x94\xa8>\xff\xfe", 19),
         FileReadError::Kind::NotText},
        {QByteArray("<\x89\x5e\x97\x70>\x89"), FileReadError::Kind::NotText},  // cut short
        {utf16, FileReadError::Kind::NotText},
        {utf16.mid(2), FileReadError::Kind::NotText},  // UTF-16 without its mark
        {QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), FileReadError::Kind::NotText},
        {QByteArray(FileSystemObject::kMaxTextFileBytes + 1, ' '), FileReadError::Kind::TooLarge},
    };
    for (const auto& c : cases) {
        writeFileBytes(path("User.xml"), c.bytes);
        MessageCapture messages;
        SettingsStore store;
        bool bOk = true;
        store.GetTxt(path("User.xml"), bOk);
        EXPECT_FALSE(bOk);
        store.GetGtx(QStringLiteral("位置"));
        EXPECT_EQ(store.vGtVal(QStringLiteral("LEFT"), 5.0).number(), 5.0);
        store.SetVal(QStringLiteral("LEFT"), 1.0);
        store.SetGtx();
        store.SetTxt(bOk);
        EXPECT_FALSE(bOk);
        EXPECT_TRUE(readFileBytes(path("User.xml")) == c.bytes) << c.bytes.left(20).toHex().data();
        EXPECT_EQ(messages.texts(),
                  QStringList{SettingsStore::unreadableMessage(path("User.xml"), c.kind)});
    }
    EXPECT_EQ(SettingsStore::unreadableMessage("/u/User.xml", FileReadError::Kind::NotText),
              "ﾕｰｻﾞｰ環境ﾌｧｲﾙ(/u/User.xml) が読み込めません\rShift-JIS のﾃｷｽﾄではありません\r"
              "既定の設定で起動します\rﾌｧｲﾙは変更せずにそのまま残します");
    EXPECT_TRUE(SettingsStore::unreadableMessage("/u/User.xml", FileReadError::Kind::TooLarge)
                    .contains("\rﾌｧｲﾙが大きすぎます\r"));
}

// Writes half the bytes, then fails: a disk that fills up during the save.
class HalfWritingFileSystem : public FileSystemObject {
  protected:
    bool writeBytes(QIODevice& device, const QByteArray& bytes) const override {
        device.write(bytes.left(bytes.size() / 2));
        return false;
    }
};

TEST_F(SettingsFile, AFailedSaveLeavesTheOldFileWhole) {
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(path("User.xml"), bOk);
    store.GetGtx(QStringLiteral("位置"));
    store.SetVal(QStringLiteral("FOLD"), QStringLiteral("/old"));
    store.SetGtx();
    store.SetTxt(bOk);
    ASSERT_TRUE(bOk);
    const QByteArray before = readFileBytes(path("User.xml"));

    store.GetGtx(QStringLiteral("位置"));
    store.SetVal(QStringLiteral("FOLD"), QStringLiteral("/new/and/much/longer/than/before"));
    store.SetGtx();
    Usr::oFso = std::make_shared<HalfWritingFileSystem>();
    MessageCapture messages;
    store.SetTxt(bOk);
    EXPECT_FALSE(bOk);
    EXPECT_EQ(messages.texts().size(), 1);
    EXPECT_EQ(readFileBytes(path("User.xml")), before);
    // No temporary file is left behind either.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"User.xml"});
}

TEST_F(SettingsFile, ASaveOnAFullDiskSaysWhyOnceAndKeepsTheOldFile) {
    test::SmallDisk disk;
    PLUME_SKIP_WITHOUT_SMALL_DISK(disk);
    const QString file = disk.filePath("User.xml");
    const QByteArray old = encodeCp932(QStringLiteral(
        "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
        "      <FOLD>/old</FOLD>\r\n   </位置>\r\n</運用>"));
    writeFileBytes(file, old);
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(file, bOk);
    store.GetGtx(QStringLiteral("位置"));
    store.SetVal(QStringLiteral("FOLD"), QStringLiteral("/new"));
    store.SetGtx();
    disk.fill();
    MessageCapture messages;
    store.SetTxt(bOk);
    EXPECT_FALSE(bOk);
    EXPECT_EQ(readFileBytes(file), old);
    EXPECT_EQ(messages.texts(),
              QStringList{"ﾕｰｻﾞｰ環境ﾌｧｲﾙ(" + file + ") を保存できません\rﾃﾞｨｽｸに空きがありません\r"
                          "前回保存した設定をそのまま残します"});
}

// A file cut off in the middle of a tag, as a crash or a full disk leaves it.
const QString kWhole = QStringLiteral(
    "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
    "      <LEFT>1536</LEFT>\r\n      <FOLD>/w</FOLD>\r\n   </位置>\r\n   <CLIPBOARD>\r\n"
    "      <WATCH>True</WATCH>\r\n   </CLIPBOARD>\r\n</運用>");
const QByteArray kCut = encodeCp932(kWhole.left(kWhole.indexOf("</WATCH>") + 4));

// Runs Plume's reads and writes once on the file: the window's group, then the watch's choice
// (turned on), then the save at exit. Gives the messages shown.
QStringList runOnce(const QString& file, bool watch) {
    MessageCapture messages;
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(file, bOk);
    store.GetGtx(QStringLiteral("位置"));
    EXPECT_EQ(store.vGtVal(QStringLiteral("LEFT"), 0.0).number(), 1536.0);
    store.GetGtx(QStringLiteral("CLIPBOARD"));
    EXPECT_EQ(store.vGtVal(QStringLiteral("WATCH"), false).truth(), watch);
    store.SetVal(QStringLiteral("WATCH"), true);
    store.SetGtx();
    store.SetTxt(bOk);
    return messages.texts();
}

TEST_F(SettingsFile, ADamagedFileIsToldOnceKeptAsACopyAndSavedSound) {
    writeFileBytes(path("User.xml"), kCut);
    writeFileBytes(path("User.xml.damaged"), "an older copy");
    EXPECT_EQ(runOnce(path("User.xml"), false),
              QStringList{SettingsStore::damageKeptMessage("CLIPBOARD", path("User.xml"),
                                                           path("User.xml.damaged.2"))});
    EXPECT_EQ(readFileBytes(path("User.xml.damaged.2")), kCut);
    EXPECT_EQ(readFileBytes(path("User.xml.damaged")), "an older copy");
    // The next start reads a sound file: no message, and the watch's choice is there.
    EXPECT_EQ(runOnce(path("User.xml"), true), QStringList{});
    EXPECT_EQ(readFileBytes(path("User.xml")), encodeCp932(kWhole));
    EXPECT_EQ(SettingsStore::damageKeptMessage("A", "/u/User.xml", "/u/User.xml.damaged"),
              "<A> の設定が読み込めません\rﾕｰｻﾞｰ環境ﾌｧｲﾙ(/u/User.xml) が破損しています\r"
              "破損したﾌｧｲﾙは /u/User.xml.damaged として残しました\r"
              "終了時に読み込めた設定だけを正しい形で保存します");
}

TEST_F(SettingsFile, ADamagedFileWithoutRoomForItsCopyIsLeftAsItIs) {
    test::SmallDisk disk;
    PLUME_SKIP_WITHOUT_SMALL_DISK(disk);
    const QString file = disk.filePath("User.xml");
    writeFileBytes(file, kCut);
    disk.fill();
    EXPECT_EQ(runOnce(file, false),
              QStringList{SettingsStore::damageUntouchedMessage("CLIPBOARD", file)});
    EXPECT_EQ(readFileBytes(file), kCut);
}

TEST_F(SettingsFile, AnyCharacterRoundTripsAndCp932TextStaysByteForByte) {
    // A file as Plume has always written it, "&", "\\" and half-width katakana included,
    // is saved back unchanged.
    const QByteArray existing = encodeCp932(
        QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
                       "      <FOLD>c:\\ﾃﾞｰﾀ & 図</FOLD>\r\n   </位置>\r\n</運用>"));
    writeFileBytes(path("User.xml"), existing);
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(path("User.xml"), bOk);
    ASSERT_TRUE(bOk);
    store.SetTxt(bOk);
    ASSERT_TRUE(bOk);
    EXPECT_EQ(readFileBytes(path("User.xml")), existing);

    const QString fold = QStringLiteral("/home/한글/homé/😀/A&B/&#x41;");
    store.GetGtx(QStringLiteral("位置"));
    store.SetVal(QStringLiteral("FOLD"), fold);
    store.SetGtx();
    store.GetGtx(QStringLiteral("THUMB"));
    store.SetVal(QStringLiteral("Schlüssel"), QStringLiteral("ünï"));
    store.SetGtx();
    store.SetTxt(bOk);
    ASSERT_TRUE(bOk);
    const QByteArray bytes = readFileBytes(path("User.xml"));
    EXPECT_TRUE(
        bytes.contains("<FOLD>/home/&#xD55C;&#xAE00;/hom&#xE9;/&#x1F600;/A&B/&#x26;#x41;"
                       "</FOLD>"));
    EXPECT_TRUE(bytes.contains("<Schl&#xFC;ssel>&#xFC;n&#xEF;</"));

    SettingsStore again;
    again.GetTxt(path("User.xml"), bOk);
    again.GetGtx(QStringLiteral("位置"));
    EXPECT_EQ(again.vGtVal(QStringLiteral("FOLD"), QString()).text(), fold);
    again.GetGtx(QStringLiteral("THUMB"));
    EXPECT_EQ(again.vGtVal(QStringLiteral("Schlüssel"), QString()).text(), "ünï");
}

TEST_F(SettingsFile, AFileInUtf8IsReadAndSavedBackAsCp932) {
    const QString text = QStringLiteral(
        "<?xml version='1.0' encoding='Shift-JIS' ?>\r\n<運用>\r\n   <位置>\r\n"
        "      <FOLD>/home/한글/作業</FOLD>\r\n   </位置>\r\n</運用>");
    // As an editor saves it, with its byte-order mark.
    writeFileBytes(path("User.xml"), "\xef\xbb\xbf" + text.toUtf8());
    MessageCapture messages;
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(path("User.xml"), bOk);
    ASSERT_TRUE(bOk);
    EXPECT_EQ(store.sIniTx(), text);
    store.SetTxt(bOk);
    ASSERT_TRUE(bOk);
    const QByteArray saved = readFileBytes(path("User.xml"));
    EXPECT_EQ(saved, encodeCp932WithReferences(text));
    EXPECT_TRUE(saved.contains("<FOLD>/home/&#xD55C;&#xAE00;/\x8d\xec\x8b\xc6</FOLD>"));
    EXPECT_TRUE(messages.texts().isEmpty());
}

TEST_F(SettingsFile, TextsLongerThan32767CharactersWork) {
    SettingsStore store;
    bool bOk = false;
    store.GetTxt(path("User.xml"), bOk);
    const QString longValue(40000, u'x');
    store.GetGtx(QStringLiteral("A"));
    store.SetVal(QStringLiteral("K"), longValue);
    store.SetGtx();
    store.GetGtx(QStringLiteral("B"));
    store.SetVal(QStringLiteral("K"), QStringLiteral("after"));
    store.SetGtx();
    store.SetTxt(bOk);
    ASSERT_TRUE(bOk);

    SettingsStore again;
    again.GetTxt(path("User.xml"), bOk);
    again.GetGtx(QStringLiteral("A"));
    EXPECT_EQ(again.vGtVal(QStringLiteral("K"), QString()).text(), longValue);
    again.GetGtx(QStringLiteral("B"));
    EXPECT_EQ(again.vGtVal(QStringLiteral("K"), QString()).text(), "after");
}

}  // namespace
}  // namespace plume
