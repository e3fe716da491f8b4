#pragma once

// Thumbnail mode, for file managers (the freedesktop thumbnailer entry runs
// "plumeconv --thumbnail SIZE IN OUT"): a small PNG drawn within a bounded time, carrying the
// text fields of the freedesktop.org thumbnail standard that say which file it shows.

#include "Convert.h"

#include "platform/picture/PngBands.h"

#include <QSize>

namespace plume::conv {

// Drawing stops after this long (what was drawn is kept); the whole run is cut off after
// kThumbnailRunMs (exit kTooSlow), reading and parsing included.
inline constexpr int kThumbnailDrawMs = 1500;
inline constexpr int kThumbnailRunMs = 10'000;

// What is said when the whole run took longer than kThumbnailRunMs.
QString thumbnailTooSlow();

// The picture's own size fitted into SIZE x SIZE, its proportions kept (at least 1 a side).
QSize thumbnailSize(QSize own, int size);

// What the thumbnail of a file shows, at which size, and the thumbnail standard's text
// fields: Thumb::URI, Thumb::MTime and Thumb::Size (files only), Thumb::Image::Width and
// Thumb::Image::Height (the picture's own size in pixels), Software.
struct ThumbnailPlan {
    PicturePtr picture;
    QSize size;
    PngText text;
};

// The plan for the file `input` (a path, or "-"); on failure, `failure` says why.
Expected<ThumbnailPlan> planThumbnail(const QString& input, int size, Outcome& failure);

// The whole mode: the thumbnail drawn on white and written as PNG to `output`, replaced whole.
// (Written by the converter's own PNG encoder: Qt's image writer would first look through
// every image format plugin, which costs a thumbnail more than its drawing.)
Outcome writeThumbnail(const QString& input, const QString& output, int size,
                       bool drawEmfPlus = true);

}  // namespace plume::conv
