#include "platform/widgets/ImageArea.h"

namespace plume {
namespace {

Expected<QImage> drawStretched(const Picture* picture, QSize size,
                               const metafile::RenderOptions& options,
                               metafile::RenderStats* stats) {
    if (!picture) return Expected<QImage>::failure(QStringLiteral("no picture"));
    // Drawn on a transparent ground, as the area shows only the picture itself.
    return renderPicture(*picture, size, Qt::transparent, options, stats);
}

}  // namespace

ImageArea::ImageArea(QWidget* parent) : PictureView(parent, QColor(), drawStretched, true) {}

}  // namespace plume
