// The numbers of imported files, and storing a new one without ever replacing a file.
#include "ImportPeerDrawing.h"
#include "main_window/NumberedFiles.h"
#include "platform/base/AtomicFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <array>
#include <future>
#include <vector>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace plume {
namespace {

class NumberedFiles : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void touch(const QString& name) { test::writeFileBytes(m_dir.filePath(name), "x"); }
    int next() {
        const auto n = nextFileNumber(m_dir.path());
        return n ? n.value() : -1;
    }
    QTemporaryDir m_dir;
};

TEST_F(NumberedFiles, NamesHaveAtLeastThreeDigits) {
    EXPECT_EQ(numberedFileName(1), "001.wmf");
    EXPECT_EQ(numberedFileName(42), "042.wmf");
    EXPECT_EQ(numberedFileName(999), "999.wmf");
    EXPECT_EQ(numberedFileName(1000), "1000.wmf");
}

TEST_F(NumberedFiles, TheLargestSmallLetterWmfNumberPlusOne) {
    EXPECT_EQ(next(), 1);
    for (const char* name : {"001.wmf", "007.wmf", "abc.wmf", "010.WMF", "020.emf"}) touch(name);
    EXPECT_EQ(next(), 8);
}

TEST_F(NumberedFiles, StemsAreReadByTheLeadingNumberRuleAndRoundedHalfToEven) {
    touch("12.5.wmf");
    EXPECT_EQ(next(), 13);
    touch("13.5.wmf");  // rounds to 14
    EXPECT_EQ(next(), 15);
    touch(" 2 0x.wmf");  // blanks skipped: 20
    EXPECT_EQ(next(), 21);
}

TEST_F(NumberedFiles, NineHundredNinetyNineIsFollowedByOneThousand) {
    touch("999.wmf");
    EXPECT_EQ(next(), 1000);
    EXPECT_EQ(numberedFileName(next()), "1000.wmf");
}

TEST_F(NumberedFiles, ExhaustedOrOversizedNumbersFail) {
    touch("32767.wmf");
    EXPECT_FALSE(nextFileNumber(m_dir.path()));
    QFile::remove(m_dir.filePath("32767.wmf"));
    touch("40000.wmf");
    EXPECT_FALSE(nextFileNumber(m_dir.path()));
    EXPECT_FALSE(nextFileNumber(m_dir.filePath("missing")));
}

TEST_F(NumberedFiles, ANewFileIsWrittenWholeAndATakenNameInAnyCaseIsPassedOver) {
    touch("007.wmf");
    touch("008.WMF");  // not counted by the numbering, but taken on a case-blind disk
    const auto n = nextFileNumber(m_dir.path());
    ASSERT_TRUE(n);
    EXPECT_EQ(n.value(), 8);
    const QByteArray drawing(5000, 'd');
    const auto stored = storeNewNumberedFile(m_dir.path(), n.value(), drawing);
    ASSERT_TRUE(stored) << stored.error().toStdString();
    EXPECT_EQ(stored.value(), "009.wmf");
    EXPECT_EQ(test::readFileBytes(m_dir.filePath("009.wmf")), drawing);
    EXPECT_EQ(test::readFileBytes(m_dir.filePath("008.WMF")), "x");
    // Nothing else is left behind.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

#ifdef Q_OS_UNIX
TEST_F(NumberedFiles, ANewFileHasTheModeOfAnyNewFileUnderTheUmask) {
    for (const mode_t mask : {mode_t(022), mode_t(027)}) {
        const mode_t before = ::umask(mask);
        const auto stored = storeNewNumberedFile(m_dir.path(), 1, "drawing");
        ::umask(before);
        ASSERT_TRUE(stored) << stored.error().toStdString();
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(m_dir.filePath(stored.value())).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << stored.value().toStdString();
    }
}
#endif

TEST_F(NumberedFiles, RenameNeverReplaces) {
    touch("a");
    touch("b");
    EXPECT_FALSE(renameWithoutReplacing(m_dir.filePath("a"), m_dir.filePath("b")));
    EXPECT_TRUE(QFile::exists(m_dir.filePath("a")));
    EXPECT_TRUE(renameWithoutReplacing(m_dir.filePath("a"), m_dir.filePath("c")));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("a")));
    // A link that leads nowhere holds its name too: the store passes over it.
    ASSERT_TRUE(QFile::link(m_dir.filePath("nowhere"), m_dir.filePath("001.wmf")));
    const QSet<QString> outOfDate;
    const auto stored = storeNewNumberedFile(m_dir.path(), 1, "d", &outOfDate);
    EXPECT_EQ(stored.value(), "002.wmf") << stored.error().toStdString();
}

// Every file of the folder by its content; fails on a content found twice.
QHash<QByteArray, QString> filesByContent(const QString& folder) {
    QHash<QByteArray, QString> byContent;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        const QByteArray bytes = test::readFileBytes(folder + "/" + name);
        EXPECT_FALSE(byContent.contains(bytes)) << name.toStdString();
        byContent.insert(bytes, name);
    }
    return byContent;
}

TEST_F(NumberedFiles, ImportersSharingAnOutOfDateListPassOverEveryNameTakenMeanwhile) {
    test::writeFileBytes(m_dir.filePath("001.wmf"), "one");
    test::writeFileBytes(m_dir.filePath("002.WMF"), "two");
    const auto scan = scanNumberedFolder(m_dir.path());
    ASSERT_TRUE(scan);
    // Every importer starts from the same number with the same list, read once before any
    // of them stored anything: each rename after the first loses a race.
    constexpr int kImporters = 8;
    constexpr int kEach = 12;
    const QString folder = m_dir.path();
    std::vector<std::future<QString>> running;
    for (int t = 0; t < kImporters; ++t)
        running.push_back(std::async(std::launch::async, [&, t] {
            for (int i = 0; i < kEach; ++i) {
                const auto stored =
                    storeNewNumberedFile(folder, scan.value().next,
                                         test::importPeerDrawing("t" + QByteArray::number(t), i),
                                         &scan.value().takenLower);
                if (!stored) return stored.error();
            }
            return QString();
        }));
    for (auto& r : running) EXPECT_EQ(r.get(), QString());
    const QHash<QByteArray, QString> files = filesByContent(folder);
    EXPECT_EQ(files.size(), kImporters * kEach + 2);
    for (int t = 0; t < kImporters; ++t)
        for (int i = 0; i < kEach; ++i)
            EXPECT_TRUE(files.contains(test::importPeerDrawing("t" + QByteArray::number(t), i)));
    EXPECT_EQ(files.value("one"), "001.wmf");
    EXPECT_EQ(files.value("two"), "002.WMF");
}

TEST_F(NumberedFiles, TwoProcessesImportingIntoOneFolderLoseNothing) {
    constexpr int kEach = 120;
    std::array<QProcess, 2> peers;
    for (size_t p = 0; p < peers.size(); ++p)
        peers[p].start(QStringLiteral(IMPORTPEER_PATH),
                       {m_dir.path(), QStringLiteral("p%1").arg(p), QString::number(kEach)});
    for (QProcess& peer : peers) {
        ASSERT_TRUE(peer.waitForFinished(300000)) << peer.errorString().toStdString();
        EXPECT_EQ(peer.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(peer.exitCode(), 0) << peer.readAllStandardError().toStdString();
    }
    const QHash<QByteArray, QString> files = filesByContent(m_dir.path());
    EXPECT_EQ(files.size(), 2 * kEach);
    for (const char* tag : {"p0", "p1"})
        for (int i = 0; i < kEach; ++i) {
            const QString name = files.value(test::importPeerDrawing(tag, i));
            EXPECT_TRUE(name.endsWith(".wmf")) << tag << ' ' << i << ' ' << name.toStdString();
        }
}

TEST_F(NumberedFiles, AnUnwritableFolderFailsWithoutLeavingAFile) {
    const auto stored = storeNewNumberedFile(m_dir.filePath("missing"), 1, "x");
    EXPECT_FALSE(stored);
    EXPECT_FALSE(QFile::exists(m_dir.filePath("missing")));
}

}  // namespace
}  // namespace plume
