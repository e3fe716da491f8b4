#include "platform/thumbnails/ThumbnailCache.h"

#include "platform/base/AtomicFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMutexLocker>
#include <QStandardPaths>
#include <algorithm>
#include <vector>

namespace plume {
namespace {

const QString kSuffix = QStringLiteral(".png");
// Part of every key: a change to how thumbnails are drawn makes the old entries unused.
constexpr int kLayoutVersion = 1;

qint64 measureFolder(const QString& folder) {
    qint64 total = 0;
    const QFileInfoList entries =
        QDir(folder).entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files);
    for (const QFileInfo& entry : entries) total += entry.size();
    return total;
}

}  // namespace

std::optional<ThumbnailKey> ThumbnailKey::ofFile(const QString& path, int thumbSize) {
    const QFileInfo info(path);
    if (!info.isFile()) return std::nullopt;
    return ThumbnailKey{info.absoluteFilePath(), info.size(),
                        info.lastModified().toMSecsSinceEpoch(), thumbSize};
}

QString ThumbnailKey::fileName() const {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(path.toUtf8());
    hash.addData(QStringLiteral("\n%1\n%2\n%3\n%4")
                     .arg(fileSize)
                     .arg(modifiedMs)
                     .arg(thumbSize)
                     .arg(kLayoutVersion)
                     .toUtf8());
    return QString::fromLatin1(hash.result().toHex()) + kSuffix;
}

ThumbnailCache::ThumbnailCache(QString folder, qint64 maxBytes)
    : m_folder(std::move(folder)), m_maxBytes(std::max<qint64>(0, maxBytes)) {}

QString ThumbnailCache::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/thumbnails");
}

QString ThumbnailCache::entryPath(const ThumbnailKey& key) const {
    return m_folder + QLatin1Char('/') + key.fileName();
}

std::optional<QImage> ThumbnailCache::load(const ThumbnailKey& key) const {
    const QString path = entryPath(key);
    QImageReader reader(path, "png");
    if (!reader.canRead()) return std::nullopt;
    // The entry is only trusted as far as a thumbnail of this size can be: a larger image is
    // not read at all, so a damaged or foreign file cannot make a large allocation.
    const QSize size = reader.size();
    const int limit = std::max(1, key.thumbSize);
    QImage image;
    if (size.isValid() && size.width() <= limit && size.height() <= limit) image = reader.read();
    if (image.isNull()) {
        reader.setDevice(nullptr);  // closes the entry: Windows removes no file held open
        QFile::remove(path);
        return std::nullopt;
    }
    // Marks the entry as just used, for the trim's order; a failure only ages it sooner.
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
    return image;
}

bool ThumbnailCache::store(const ThumbnailKey& key, const QImage& image) {
    if (image.isNull() || m_maxBytes == 0) return false;
    if (!QDir().mkpath(m_folder)) return false;
    // Only a whole entry takes its name: one cut short by a full disk would read as damaged.
    AtomicFile file(entryPath(key));
    if (!file.open()) return false;
    // Drawings compress well even at a low level; a fast level keeps the background
    // rendering from waiting on the encoder.
    if (!image.save(&file, "png", 80) || !file.commit()) return false;

    const qint64 written = QFileInfo(entryPath(key)).size();
    qint64 known = m_estimatedBytes.load();
    if (known < 0) {
        // The first store of this run measures the folder once (the new entry included).
        QMutexLocker lock(&m_trimMutex);
        known = m_estimatedBytes.load();
        if (known < 0) {
            known = measureFolder(m_folder);
            m_estimatedBytes.store(known);
        } else {
            known = m_estimatedBytes.fetch_add(written) + written;
        }
    } else {
        known = m_estimatedBytes.fetch_add(written) + written;
    }
    if (known > m_maxBytes) trimTo(m_maxBytes * 3 / 4);
    return true;
}

void ThumbnailCache::trimTo(qint64 targetBytes) {
    QMutexLocker lock(&m_trimMutex);
    QFileInfoList entries =
        QDir(m_folder).entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files);
    qint64 total = 0;
    for (const QFileInfo& entry : entries) total += entry.size();
    if (total > targetBytes) {
        std::sort(entries.begin(), entries.end(), [](const QFileInfo& a, const QFileInfo& b) {
            return a.lastModified() < b.lastModified();
        });
        for (const QFileInfo& entry : entries) {
            if (total <= targetBytes) break;
            if (QFile::remove(entry.absoluteFilePath())) total -= entry.size();
        }
    }
    m_estimatedBytes.store(total);
}

qint64 ThumbnailCache::bytesOnDisk() const {
    return measureFolder(m_folder);
}

}  // namespace plume
