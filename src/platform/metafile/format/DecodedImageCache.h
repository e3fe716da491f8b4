#pragma once

// Compressed images (PNG, JPEG, GIF, ...) inside pictures, decoded once. A document decodes
// its EMF+ records once for all its drawings (EmfPlusRecordList), but the same bytes are read
// into new documents again and again: the preview reads a file anew each time it is chosen,
// the thumbnails read it on their own, and a picture past the list's bound decodes its last
// records at every drawing; decoding a large JPEG costs more than drawing everything else in
// it. The cache is shared by the process and its threads and holds at most
// kDecodedImageCacheBytes of pixels, the least recently used going first.

#include <QImage>

#include <cstdint>
#include <functional>
#include <span>

namespace plume::metafile {

inline constexpr qint64 kDecodedImageCacheBytes = 32LL * 1024 * 1024;

// The image the bytes decode to: the cached one when the same bytes were decoded before,
// otherwise decode() (kept when it fits the cache).
QImage decodedImage(std::span<const uint8_t> encoded, const std::function<QImage()>& decode);

}  // namespace plume::metafile
