// The disk cache of rendered thumbnails: keys, damaged entries, the size bound.
#include "platform/thumbnails/ThumbnailCache.h"
#include "support/FailingWrites.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace plume {
namespace {

QImage filled(QSize size, QRgb colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// An image that compresses badly, so that a few entries fill a small cache.
QImage noisy(int side, int seed) {
    QImage image(side, side, QImage::Format_RGB32);
    quint32 state = 2654435761u * quint32(seed + 1);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y, state >> 8);
        }
    return image;
}

class ThumbnailCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_file = m_root.filePath("001.wmf");
        test::writeFileBytes(m_file, "drawing");
    }
    QString cacheFolder() const { return m_root.filePath("cache"); }
    ThumbnailKey key(int thumbSize = 200) const { return *ThumbnailKey::ofFile(m_file, thumbSize); }

    QTemporaryDir m_root;
    QString m_file;
};

TEST_F(ThumbnailCacheTest, AnEntryThatCannotBeWrittenWholeIsNotKept) {
    test::SmallDisk disk;
    PLUME_SKIP_WITHOUT_SMALL_DISK(disk);
    QDir(disk.path()).mkdir("cache");
    disk.fill();
    ThumbnailCache cache(disk.filePath("cache"));
    EXPECT_FALSE(cache.store(key(), filled(QSize(20, 20), qRgb(1, 2, 3))));
    EXPECT_TRUE(QDir(disk.filePath("cache")).isEmpty());
}

TEST_F(ThumbnailCacheTest, AStoredThumbnailComesBackForTheSameKeyOnly) {
    ThumbnailCache cache(cacheFolder());
    const QImage image = filled(QSize(200, 150), qRgb(10, 200, 30));
    ASSERT_TRUE(cache.store(key(), image));
    const std::optional<QImage> back = cache.load(key());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), image.size());
    EXPECT_EQ(back->pixel(100, 75), image.pixel(100, 75));

    // Another thumbnail size, another file, or the same file changed: no entry.
    EXPECT_FALSE(cache.load(key(96)));
    ThumbnailKey other = key();
    other.path = m_root.filePath("002.wmf");
    EXPECT_FALSE(cache.load(other));
    ThumbnailKey resized = key();
    resized.fileSize += 1;
    EXPECT_FALSE(cache.load(resized));
    ThumbnailKey touched = key();
    touched.modifiedMs += 1000;
    EXPECT_FALSE(cache.load(touched));
}

TEST_F(ThumbnailCacheTest, TheKeyFollowsTheFileOnDisk) {
    const ThumbnailKey before = key();
    test::writeFileBytes(m_file, "a longer drawing");
    const ThumbnailKey after = key();
    EXPECT_NE(before.fileName(), after.fileName());
    EXPECT_FALSE(ThumbnailKey::ofFile(m_root.filePath("missing.wmf"), 200));
    EXPECT_FALSE(ThumbnailKey::ofFile(m_root.path(), 200));  // a folder is no file
}

TEST_F(ThumbnailCacheTest, ADamagedOrOversizedEntryIsAMissAndIsRemoved) {
    ThumbnailCache cache(cacheFolder());
    ASSERT_TRUE(cache.store(key(), filled(QSize(20, 20), qRgb(1, 2, 3))));
    const QString entry = cacheFolder() + "/" + key().fileName();
    ASSERT_TRUE(QFileInfo::exists(entry));

    test::writeFileBytes(entry, QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(40, '\xff'));
    EXPECT_FALSE(cache.load(key()));
    EXPECT_FALSE(QFileInfo::exists(entry));

    // An entry larger than a thumbnail of its key can be is not decoded at all.
    ASSERT_TRUE(filled(QSize(400, 10), qRgb(0, 0, 0)).save(entry, "png"));
    EXPECT_FALSE(cache.load(key()));
    EXPECT_FALSE(QFileInfo::exists(entry));
}

TEST_F(ThumbnailCacheTest, TheFolderStaysWithinItsBoundAndKeepsTheEntriesUsedLast) {
    const QImage sample = noisy(64, 0);
    {
        QFile probe(m_root.filePath("probe.png"));
        ASSERT_TRUE(sample.save(&probe, "png"));
    }
    const qint64 entryBytes = QFileInfo(m_root.filePath("probe.png")).size();
    const qint64 bound = entryBytes * 10;
    ThumbnailCache cache(cacheFolder(), bound);

    std::vector<ThumbnailKey> keys;
    for (int i = 0; i < 40; ++i) {
        ThumbnailKey k = key(64);
        k.path = QStringLiteral("/drawings/%1.wmf").arg(i);
        keys.push_back(k);
        ASSERT_TRUE(cache.store(k, noisy(64, i)));
        // The first entry is used all along, so it must outlive the others.
        if (i % 5 == 4) {
            ASSERT_TRUE(cache.load(keys.front()));
        }
        EXPECT_LE(cache.bytesOnDisk(), bound) << "after entry " << i;
    }
    EXPECT_TRUE(cache.load(keys.front()));
    EXPECT_TRUE(cache.load(keys.back()));
    EXPECT_FALSE(cache.load(keys[1]));
}

TEST_F(ThumbnailCacheTest, ACacheWithNoRoomStoresNothing) {
    ThumbnailCache cache(cacheFolder(), 0);
    EXPECT_FALSE(cache.store(key(), filled(QSize(8, 8), qRgb(0, 0, 0))));
    EXPECT_FALSE(cache.load(key()));
}

}  // namespace
}  // namespace plume
