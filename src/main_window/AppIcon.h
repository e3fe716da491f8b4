#pragma once

#include <QIcon>

namespace plume {

// Plume's window icon, drawn at 32 x 32 and 16 x 16 pixels: a quill over a sheet.
QIcon appIcon();

}  // namespace plume
