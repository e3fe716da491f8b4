#include "platform/metafile/format/DecodedImageCache.h"

#include <QByteArrayView>
#include <QHash>

#include <list>
#include <mutex>
#include <optional>

namespace plume::metafile {

namespace {

// The bytes' length and two hashes of them under different seeds: equal keys of different
// bytes would need two 64-bit collisions at once.
struct Key {
    size_t size;
    size_t hashA;
    size_t hashB;
    bool operator==(const Key&) const = default;
};

Key keyOf(std::span<const uint8_t> bytes) {
    const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
    return {bytes.size(), qHash(view, 0x9e3779b9u), qHash(view, 0x85ebca6bu)};
}

class Cache {
  public:
    std::optional<QImage> find(const Key& key) {
        const std::lock_guard lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (!(it->first == key)) continue;
            m_entries.splice(m_entries.begin(), m_entries, it);  // most recently used first
            return it->second;
        }
        return std::nullopt;
    }

    void keep(const Key& key, const QImage& image) {
        const qint64 bytes = image.sizeInBytes();
        if (image.isNull() || bytes > kDecodedImageCacheBytes / 4) return;
        const std::lock_guard lock(m_mutex);
        for (const auto& entry : m_entries)
            if (entry.first == key) return;  // another thread decoded the same bytes
        m_entries.emplace_front(key, image);
        m_bytes += bytes;
        while (m_bytes > kDecodedImageCacheBytes || m_entries.size() > kMaxEntries) {
            m_bytes -= m_entries.back().second.sizeInBytes();
            m_entries.pop_back();
        }
    }

  private:
    // Few enough that a linear search costs nothing beside a decode.
    static constexpr size_t kMaxEntries = 64;
    std::mutex m_mutex;
    std::list<std::pair<Key, QImage>> m_entries;
    qint64 m_bytes = 0;
};

Cache& cache() {
    static Cache instance;
    return instance;
}

}  // namespace

QImage decodedImage(std::span<const uint8_t> encoded, const std::function<QImage()>& decode) {
    const Key key = keyOf(encoded);
    if (auto found = cache().find(key)) return *found;
    QImage image = decode();
    cache().keep(key, image);
    return image;
}

}  // namespace plume::metafile
