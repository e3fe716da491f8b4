// Moving a file to the desktop's trash as the freedesktop.org trash lays it out.
#include "platform/desktop/Trash.h"
#include "support/FailingWrites.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QUrl>

namespace plume {
namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

  private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// The key=value lines of a .trashinfo file.
QMap<QString, QString> infoKeys(const QString& path) {
    QMap<QString, QString> keys;
    for (const QByteArray& line : test::readFileBytes(path).split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            keys[QString::fromLatin1(line.left(eq))] = QString::fromLatin1(line.mid(eq + 1));
    }
    return keys;
}

TEST(Trash, ATrashOnAFullDiskSaysWhyAndLeavesTheFile) {
    test::SmallDisk disk;
    PLUME_SKIP_WITHOUT_SMALL_DISK(disk);
    const ScopedEnv data("XDG_DATA_HOME", QFile::encodeName(disk.filePath("data")));
    const QString original = disk.filePath("001.wmf");
    test::writeFileBytes(original, "drawing");
    QDir().mkpath(disk.filePath("data/Trash/info"));
    QDir().mkpath(disk.filePath("data/Trash/files"));
    disk.fill();
    const Expected<TrashedFile> moved = moveToTrash(original);
    EXPECT_EQ(moved.error(), original + " をごみ箱に移動できません (ﾃﾞｨｽｸに空きがありません)");
    EXPECT_EQ(test::readFileBytes(original), "drawing");
    EXPECT_TRUE(QDir(disk.filePath("data/Trash/info")).isEmpty());
}

TEST(Trash, AFileGoesToTheHomeTrashWithItsOriginalPathEscaped) {
    QTemporaryDir root;
    const ScopedEnv data("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")));
    const QString folder = root.filePath(QStringLiteral("한글 100%"));
    QDir().mkpath(folder);
    const QString original = folder + "/001.wmf";
    test::writeFileBytes(original, "drawing");

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const Expected<TrashedFile> moved = moveToTrash(original);
    ASSERT_TRUE(moved) << moved.error().toStdString();
    const QString trash = root.filePath("data/Trash");
    EXPECT_EQ(moved.value().trashFolder, trash);
    EXPECT_EQ(moved.value().pathInTrash, trash + "/files/001.wmf");
    EXPECT_FALSE(QFile::exists(original));
    EXPECT_EQ(test::readFileBytes(trash + "/files/001.wmf"), "drawing");

    const QByteArray info = test::readFileBytes(trash + "/info/001.wmf.trashinfo");
    EXPECT_TRUE(info.startsWith("[Trash Info]\n"));
    const QMap<QString, QString> keys = infoKeys(trash + "/info/001.wmf.trashinfo");
    // Escaped as in URLs: no space, no raw "%" or non-ASCII byte, and it decodes back.
    EXPECT_FALSE(keys["Path"].contains(u' '));
    EXPECT_EQ(QFile::decodeName(QByteArray::fromPercentEncoding(keys["Path"].toLatin1())),
              original);
    const QDateTime when = QDateTime::fromString(keys["DeletionDate"], Qt::ISODate);
    ASSERT_TRUE(when.isValid()) << keys["DeletionDate"].toStdString();
    EXPECT_GE(when, before);
    EXPECT_EQ(keys["DeletionDate"].size(), 19);  // YYYY-MM-DDThh:mm:ss, no zone
}

TEST(Trash, ANameTakenInTheTrashGivesANewOneAndTheHomeIsTheDefault) {
    QTemporaryDir root;
    const ScopedEnv home("HOME", QFile::encodeName(root.filePath("home")));
    // A relative XDG_DATA_HOME is not valid: the home folder's ~/.local/share is used.
    const ScopedEnv data("XDG_DATA_HOME", "relative/data");
    QDir().mkpath(root.filePath("home/a"));
    QDir().mkpath(root.filePath("home/b"));
    test::writeFileBytes(root.filePath("home/a/001.wmf"), "first");
    test::writeFileBytes(root.filePath("home/b/001.wmf"), "second");
    const Expected<TrashedFile> first = moveToTrash(root.filePath("home/a/001.wmf"));
    const Expected<TrashedFile> second = moveToTrash(root.filePath("home/b/001.wmf"));
    ASSERT_TRUE(first && second);
    const QString trash = root.filePath("home/.local/share/Trash");
    EXPECT_EQ(first.value().trashFolder, trash);
    EXPECT_NE(first.value().pathInTrash, second.value().pathInTrash);
    EXPECT_EQ(test::readFileBytes(first.value().pathInTrash), "first");
    EXPECT_EQ(test::readFileBytes(second.value().pathInTrash), "second");
    const QString secondName = QFileInfo(second.value().pathInTrash).fileName();
    EXPECT_TRUE(secondName.endsWith(".wmf"));
    EXPECT_EQ(infoKeys(trash + "/info/" + secondName + ".trashinfo")["Path"],
              root.filePath("home/b/001.wmf"));
    EXPECT_EQ(QFileInfo(trash).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
}

TEST(Trash, AMissingFileOrAFolderStaysAndNothingIsReserved) {
    QTemporaryDir root;
    const ScopedEnv data("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")));
    QDir().mkpath(root.filePath("folder"));
    const Expected<TrashedFile> missing = moveToTrash(root.filePath("gone.wmf"));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.error(), root.filePath("gone.wmf") + " をごみ箱に移動できません");
    EXPECT_FALSE(moveToTrash(root.filePath("folder")));
    EXPECT_TRUE(QDir(root.filePath("folder")).exists());
    EXPECT_TRUE(QDir(root.filePath("data/Trash/info")).entryList(QDir::Files).isEmpty());
}

}  // namespace
}  // namespace plume
