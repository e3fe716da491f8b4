#include "raster_window/RasterCopy.h"

#include "platform/clipboard/Clipboard.h"
#include "platform/base/Numbers.h"
#include "platform/base/Twips.h"

#include <algorithm>

namespace plume {

int rasterPixels(double twips) {
    const int32_t pixels = toInt32HalfEven(twips / twipsPerPixel());
    return std::clamp<int32_t>(pixels, 0, kMaxRasterSide);
}

RasterLayout layoutRasterClient(QSize client, int messageHeight) {
    const int width = std::max(client.width(), 0);
    const int height = std::max(client.height(), 0);
    const int imageHeight = std::max(height - messageHeight, 0);
    return {QRect(0, 0, width, imageHeight),
            QRect(0, height - messageHeight, width, messageHeight)};
}

QSize windowSizeForClient(QSize window, QSize client, QSize wanted) {
    return wanted + (window - client);
}

Expected<PicturePtr> renderRasterCopy(DrawingSurface& surface, const PicturePtr& picture,
                                      QSize clientSize, QSize imageSize) {
    if (!picture) return Expected<PicturePtr>::failure(kRasterNoPicture);
    surface.setGeometry(QRect(QPoint(0, 0), clientSize));
    const double perPixel = twipsPerPixel();
    if (Status painted = surface.paintPicture(*picture, 0, 0, imageSize.width() * perPixel,
                                              imageSize.height() * perPixel);
        !painted)
        return Expected<PicturePtr>::failure(painted.error());
    Expected<PicturePtr> raster = surface.image();
    // Every copy leaves the surface blank, so the next one starts from nothing.
    surface.clear();
    if (!raster) return raster;
    // The surface is opaque throughout; a bitmap without alpha is what other programs expect
    // of a pasted raster, and it encodes smaller.
    return Expected<PicturePtr>::success(
        Picture::fromImage(raster.value()->image().convertToFormat(QImage::Format_RGB32)));
}

Status putRasterOnClipboard(const PicturePtr& raster) {
    if (Status cleared = clipboardClear(); !cleared) return cleared;
    return clipboardSetPicture(raster);
}

}  // namespace plume
