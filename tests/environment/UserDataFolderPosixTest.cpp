// Choosing and creating the user data folder from "UserData.ini", and the folder services.
#include "platform/desktop/Usr.h"
#include "environment/YIni.h"
#include "platform/base/Cp932.h"
#include "platform/base/Paths.h"
#include "platform/base/PlumeError.h"
#include "platform/desktop/ProgramPaths.h"
#include "platform/desktop/ShellFolders.h"
#include "platform/desktop/UserRegistry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace plume {
namespace {

using test::MessageCapture;
using test::writeFileBytes;

// Each case gets its own home (special folders), registry file and program folder.
class UserDataFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_oldHome = qgetenv("HOME");
        qputenv("HOME", m_root.filePath("home").toUtf8());
        QDir().mkpath(m_root.filePath("home"));
        QDir().mkpath(m_root.filePath("prog"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_root.filePath("config"));
        setExecutableOverrideForTesting(m_root.filePath("prog"), QStringLiteral("plume"));
        Usr::sExeNm = QStringLiteral("plume");
        Usr::sUsrFld.clear();
        Usr::oFso.reset();
    }
    void TearDown() override {
        qputenv("HOME", m_oldHome);
        setExecutableOverrideForTesting({}, {});
        Usr::oFso.reset();
    }

    QString programFolder() const { return withTrailingSeparator(m_root.filePath("prog")); }
    QString defaultFolder() const { return specialFolderPath(kCsidlAppData) + "/Tovari/plume/"; }
    void writeIni(const QByteArray& bytes) {
        writeFileBytes(programFolder() + "UserData.ini", bytes);
    }
    void resolve() { m_ini.W_UserData(42); }

    QTemporaryDir m_root;
    QByteArray m_oldHome;
    YIni m_ini;
    MessageCapture m_messages;
};

TEST_F(UserDataFolder, NoIniFileShowsMessage1AndCreatesTheDefaultFolderWithAllLevels) {
    resolve();
    EXPECT_EQ(Usr::sUsrFld, defaultFolder());
    EXPECT_TRUE(QFileInfo(Usr::sUsrFld).isDir());
    EXPECT_TRUE(Usr::sUsrFld.startsWith(m_root.filePath("home")));
    ASSERT_EQ(m_messages.texts().size(), 1);
    EXPECT_EQ(m_messages.texts()[0], programFolder() +
                                         "UserData.ini が見つかりません\r"
                                         "ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは　" +
                                         defaultFolder() + " を使用します");
    EXPECT_EQ(m_ini.nWhnd(), 42);
}

TEST_F(UserDataFolder, AnInstalledCopyReadsThePackagesIniUnlessOneIsBesideIt) {
    // PREFIX/bin/plume with PREFIX/share/plume/UserData.ini, as the package installs them.
    QDir().mkpath(m_root.filePath("prefix/bin"));
    QDir().mkpath(m_root.filePath("prefix/share/plume"));
    setExecutableOverrideForTesting(m_root.filePath("prefix/bin"), QStringLiteral("plume"));
    writeFileBytes(m_root.filePath("prefix/share/plume/UserData.ini"), "%usr%");
    resolve();
    EXPECT_EQ(Usr::sUsrFld, defaultFolder());
    EXPECT_TRUE(m_messages.texts().isEmpty());

    writeFileBytes(m_root.filePath("prefix/bin/UserData.ini"), "%app%");
    resolve();
    EXPECT_EQ(Usr::sUsrFld, m_root.filePath("prefix/bin/usData/"));
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(UserDataFolder, KeywordsChooseTheirFoldersInAnyLetterCase) {
    const QString documents = specialFolderPath(kCsidlPersonal) + "/Tovari/plume/";
    const struct {
        QByteArray content;
        QString folder;
    } rows[] = {
        {"%APP%", programFolder() + "usData/"},
        {"%usr%", defaultFolder()},
        {"%Applicaion Data%", defaultFolder()},
        {"%Doc", documents},
        {"%MY DOCUMENT%", documents},
        {"%doc%", defaultFolder()},      // closing percent sign: another keyword
        {"%app%\r\n", defaultFolder()},  // nothing is trimmed: no longer "%app%"
        {"%anything", defaultFolder()},
    };
    for (const auto& row : rows) {
        writeIni(row.content);
        resolve();
        EXPECT_EQ(Usr::sUsrFld, row.folder) << row.content.constData();
        EXPECT_TRUE(QFileInfo(Usr::sUsrFld).isDir()) << row.content.constData();
    }
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(UserDataFolder, AnExistingFolderIsUsedAsWrittenWithASeparatorAdded) {
    const QString folder = m_root.filePath("Data/MixedCase");
    QDir().mkpath(folder);
    writeIni(encodeCp932(folder));
    resolve();
    EXPECT_EQ(Usr::sUsrFld, folder + "/");
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(UserDataFolder, AFolderNameIsReadAsCp932OrAsUtf8) {
    for (const char* name : {"作業", "한글", "josé", "ﾃｩ", "😀"})
        QDir().mkpath(m_root.filePath(name));
    const struct {
        QByteArray content;
        QString folder;
    } rows[] = {
        {encodeCp932(m_root.filePath("作業/")), m_root.filePath("作業/")},
        // Not CP932: UTF-8.
        {m_root.filePath("한글").toUtf8(), m_root.filePath("한글/")},
        // Both ways readable ("é" is "ﾃｩ" in CP932): the reading that names a folder.
        {m_root.filePath("josé").toUtf8(), m_root.filePath("josé/")},
        {encodeCp932(m_root.filePath("ﾃｩ")), m_root.filePath("ﾃｩ/")},
        // Character references, as the settings file writes them.
        {encodeCp932WithReferences(m_root.filePath("😀")), m_root.filePath("😀/")},
    };
    for (const auto& row : rows) {
        writeIni(row.content);
        resolve();
        EXPECT_EQ(Usr::sUsrFld, row.folder);
    }
    EXPECT_TRUE(m_messages.texts().isEmpty());
}

TEST_F(UserDataFolder, AMissingFolderShowsMessage3AndIsNotCreated) {
    const QString missing = m_root.filePath("Not/There");
    writeIni(encodeCp932(missing));
    resolve();
    EXPECT_EQ(Usr::sUsrFld, defaultFolder());
    EXPECT_FALSE(QFileInfo::exists(missing));
    ASSERT_EQ(m_messages.texts().size(), 1);
    EXPECT_EQ(m_messages.texts()[0], "ﾌｫﾙﾀﾞ " + missing + " が見つかりません\rﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは　" +
                                         defaultFolder() + " を使用します");
}

TEST_F(UserDataFolder, AnEmptyIniOrOneStartingWithALineBreakShowsMessage2) {
    for (const QByteArray& content : {QByteArray(), QByteArray("\r\n/tmp"), QByteArray("\n")}) {
        m_messages.clear();
        writeIni(content);
        resolve();
        EXPECT_EQ(Usr::sUsrFld, defaultFolder());
        ASSERT_EQ(m_messages.texts().size(), 1);
        EXPECT_EQ(m_messages.texts()[0],
                  " ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞが定義されていません\r" + defaultFolder() + " を使用します");
    }
}

TEST_F(UserDataFolder, TheExecutablePathIsRecordedUnlessOnlyLetterCaseDiffers) {
    const QString fullPath = programFolder() + "plume" + executableSuffix();
    resolve();
    EXPECT_EQ(GetSetting("TovariTools", "Path", "plume", "none"), fullPath);

    SaveSetting("TovariTools", "Path", "plume", fullPath.toUpper());
    resolve();
    EXPECT_EQ(GetSetting("TovariTools", "Path", "plume", "none"), fullPath.toUpper());

    SaveSetting("TovariTools", "Path", "plume", "/moved/elsewhere/plume");
    resolve();
    EXPECT_EQ(GetSetting("TovariTools", "Path", "plume", "none"), fullPath);
}

TEST_F(UserDataFolder, CreateFolderMakesMissingLevelsFromTheOutsideIn) {
    const QString base = m_root.filePath("a");
    QDir().mkpath(base);
    m_ini.F_CreateFld(base + "/b/c");
    EXPECT_TRUE(QFileInfo(base + "/b/c").isDir());
    m_ini.F_CreateFld(base + "/b/c");  // already there: nothing happens
    EXPECT_TRUE(QFileInfo(base + "/b/c").isDir());
}

TEST_F(UserDataFolder, CreateFolderPassesOverALevelThatIsAFile) {
    writeFileBytes(m_root.filePath("x"), "a file");
    EXPECT_NO_THROW(m_ini.F_CreateFld(m_root.filePath("x/y")));
    EXPECT_FALSE(QFileInfo(m_root.filePath("x/y")).exists());
    EXPECT_TRUE(QFileInfo(m_root.filePath("x")).isFile());
}

TEST_F(UserDataFolder, CheckSubFoldersCreatesOneLevelAndRaisesWhenItCannot) {
    const QString base = withTrailingSeparator(m_root.path());
    m_ini.F_ChkSb(base, {"Temp", "Other"});
    EXPECT_TRUE(QFileInfo(base + "Temp").isDir());
    EXPECT_TRUE(QFileInfo(base + "Other").isDir());
    EXPECT_NO_THROW(m_ini.F_ChkSb(base, {"Temp"}));
    EXPECT_THROW(m_ini.F_ChkSb(base, {"missing/deeper"}), PlumeError);
}

TEST_F(UserDataFolder, SpecialFoldersHaveNoTrailingSeparatorAndUnknownIdsAreEmpty) {
    EXPECT_FALSE(m_ini.FsGtSpFld(kCsidlAppData).isEmpty());
    EXPECT_FALSE(endsWithSeparator(m_ini.FsGtSpFld(kCsidlAppData)));
    EXPECT_EQ(m_ini.FsGtSpFld(kCsidlSendTo), QString());
    EXPECT_EQ(m_ini.FsGtSpFld(12345), QString());
}

}  // namespace
}  // namespace plume
