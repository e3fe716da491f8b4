#pragma once

#include <QImage>
#include <QMutex>
#include <QString>
#include <atomic>
#include <optional>

namespace plume {

// What identifies one rendered thumbnail: the file as it was (path, byte size, modification
// time) and the thumbnail size it was drawn for. A changed file gives a new key, so an old
// entry is never shown for it; old entries age out of the cache.
struct ThumbnailKey {
    QString path;
    qint64 fileSize = 0;
    qint64 modifiedMs = 0;  // modification time, milliseconds since the epoch (UTC)
    int thumbSize = 0;

    // The key of the file at `path` as it is now; nothing when it is no readable file.
    static std::optional<ThumbnailKey> ofFile(const QString& path, int thumbSize);

    // The cache file's base name: a hash of every field, safe for any file system.
    QString fileName() const;
};

// Rendered thumbnails kept on disk between openings, as PNG files in one folder (by default
// the user's cache folder). The folder's total size is bounded: when a store takes it over
// the bound, the entries used longest ago are removed until it is back under three quarters
// of it. Safe to use from several threads at once.
class ThumbnailCache {
  public:
    static constexpr qint64 kDefaultMaxBytes = 64 * 1024 * 1024;

    explicit ThumbnailCache(QString folder, qint64 maxBytes = kDefaultMaxBytes);

    // "thumbnails" in the user's cache folder (QStandardPaths::CacheLocation).
    static QString defaultFolder();

    const QString& folder() const { return m_folder; }
    qint64 maxBytes() const { return m_maxBytes; }

    // The stored thumbnail for the key, or nothing. An entry that is not a readable image, or
    // larger than the key's thumbnail size, counts as missing (and is removed). A hit marks
    // the entry as just used.
    std::optional<QImage> load(const ThumbnailKey& key) const;

    // Stores the thumbnail for the key, replacing the file as a whole; false when it could
    // not be written (the cache is then simply not used for it).
    bool store(const ThumbnailKey& key, const QImage& image);

    // Removes the entries used longest ago until the folder holds at most `targetBytes`.
    void trimTo(qint64 targetBytes);

    // The bytes the cache folder's entries take now (read from the folder).
    qint64 bytesOnDisk() const;

  private:
    QString entryPath(const ThumbnailKey& key) const;

    QString m_folder;
    qint64 m_maxBytes;
    // Bytes written since the folder was last measured; a trim measures it again.
    std::atomic<qint64> m_estimatedBytes{-1};
    QMutex m_trimMutex;
};

}  // namespace plume
