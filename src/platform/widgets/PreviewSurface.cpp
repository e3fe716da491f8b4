#include "platform/widgets/PreviewSurface.h"

namespace plume {

PreviewSurface::PreviewSurface(QWidget* parent) : PictureView(parent, Qt::white) {}

Expected<QImage> PreviewSurface::render(const Picture* picture, QSize size) const {
    return renderAtOwnSize(picture, size);
}

}  // namespace plume
