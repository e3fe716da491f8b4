#pragma once

#include "platform/thumbnails/ThumbnailGrid.h"

#include <QString>

namespace plume {

// The default renderer of the chooser's thumbnails: loads the file as a picture and draws
// it on white, fitted to the box with its aspect kept; a metafile's drawing ends early when
// `shouldStop` says so. Safe on worker threads.
ThumbnailRendering renderPictureThumbnail(const QString& path, int box,
                                          const std::function<bool()>& shouldStop = {});

}  // namespace plume
