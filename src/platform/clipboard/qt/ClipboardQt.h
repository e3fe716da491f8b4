#pragma once

// The clipboard operations of Clipboard.h through Qt's clipboard: the system clipboard's on
// X11, and the in-process clipboard of the offscreen platform (the tests') everywhere.

#include "platform/base/Expected.h"
#include "platform/picture/Picture.h"

namespace plume::qtclip {

bool hasFormat(int format);
Expected<PicturePtr> getPicture(int format);
Status clear();
Status setPicture(const PicturePtr& picture);

}  // namespace plume::qtclip
