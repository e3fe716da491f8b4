#include "platform/widgets/PreviewSurface.h"

namespace plume {
namespace {

Expected<QImage> drawAtOwnSize(const Picture* picture, QSize size,
                               const metafile::RenderOptions& options,
                               metafile::RenderStats* stats) {
    return renderAtOwnSize(picture, size, Qt::white, options, stats);
}

}  // namespace

PreviewSurface::PreviewSurface(QWidget* parent)
    : PictureView(parent, Qt::white, drawAtOwnSize, false) {}

}  // namespace plume
