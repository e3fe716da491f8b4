// A file written whole or not at all, and the cause of a failure named.
#include "platform/base/AtomicFile.h"
#include "support/FailingWrites.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <cerrno>

namespace plume {
namespace {

using test::readFileBytes;
using test::writeFileBytes;

QStringList allEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                 QDir::Name);
}

TEST(AtomicFile, OnAFullDiskTheOldFileStaysAndTheCauseIsNamed) {
    test::SmallDisk disk;
    PLUME_SKIP_WITHOUT_SMALL_DISK(disk);
    const QString target = disk.filePath("k.png");
    writeFileBytes(target, "the good old file");
    disk.fill();
    // A few bytes, which a buffered writer holds until it closes the file, and a megabyte.
    for (const qsizetype size : {qsizetype(100), qsizetype(1 << 20)}) {
        AtomicFile file(target);
        ASSERT_TRUE(file.open());
        file.write(QByteArray(size, 'x'));
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(file.systemError(), ENOSPC);
        EXPECT_EQ(readFileBytes(target), "the good old file");
        EXPECT_EQ(allEntries(disk.path()), (QStringList{"ballast", "k.png"}));
    }
    EXPECT_EQ(writeFileAtomically(target, QByteArray(5000, 'y')), ENOSPC);
    EXPECT_EQ(fileErrorCause(ENOSPC), "ﾃﾞｨｽｸに空きがありません");

    QFile::remove(disk.filePath("ballast"));
    EXPECT_EQ(writeFileAtomically(target, QByteArray(5000, 'y')), 0);
    EXPECT_EQ(readFileBytes(target), QByteArray(5000, 'y'));
}

TEST(AtomicFile, ANameThatMustStayFreeIsNeverTakenOver) {
    QTemporaryDir dir;
    writeFileBytes(dir.filePath("001.wmf"), "first");
    QFile::link(dir.filePath("nowhere"), dir.filePath("002.wmf"));
    AtomicFile file(dir.filePath("001.wmf"));
    ASSERT_TRUE(file.open());
    ASSERT_EQ(file.write("new"), 3);
    // A file and a link that leads nowhere both hold their names; the finished file waits.
    EXPECT_FALSE(file.commitWithoutReplacing(dir.filePath("001.wmf")));
    EXPECT_EQ(file.systemError(), EEXIST);
    EXPECT_FALSE(file.commitWithoutReplacing(dir.filePath("002.wmf")));
    EXPECT_TRUE(file.commitWithoutReplacing(dir.filePath("003.wmf")));
    EXPECT_EQ(readFileBytes(dir.filePath("001.wmf")), "first");
    EXPECT_EQ(readFileBytes(dir.filePath("003.wmf")), "new");
    EXPECT_EQ(allEntries(dir.path()), (QStringList{"001.wmf", "002.wmf", "003.wmf"}));
}

}  // namespace
}  // namespace plume
