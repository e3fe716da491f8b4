#include "platform/thumbnails/ThumbnailPictureRenderer.h"

#include "platform/picture/Picture.h"
#include "platform/picture/PictureIo.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <new>

namespace plume {
namespace {

ThumbnailRendering renderVector(const QByteArray& bytes, int box,
                                const std::function<bool()>& shouldStop) {
    const Expected<PicturePtr> loaded = pictureFromBytes(bytes);
    if (!loaded) return {{}, loaded.error()};
    const PicturePtr& picture = loaded.value();
    if (!picture) return {{}, QStringLiteral("no picture")};
    const QSize size = fitThumbnail(picture->size(), box);
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return {{}, QStringLiteral("out of memory")};
    image.fill(Qt::white);
    QPainter painter(&image);
    // A drawing shrunk to a thumbnail reads better with smoothed edges than with GDI's
    // hard ones; the picture is played exactly as the preview plays it otherwise.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    metafile::RenderOptions options;
    options.shouldStop = shouldStop;
    paintPicture(painter, *picture, QRectF(QPointF(0, 0), QSizeF(size)), options);
    painter.end();
    return {std::move(image), {}};
}

ThumbnailRendering renderRaster(QByteArray bytes, int box) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize own = reader.size();
    // The header's size is checked before anything is decoded, against the limits of any
    // raster Plume makes.
    if (!own.isValid() || own.width() > kMaxRasterSide || own.height() > kMaxRasterSide ||
        qint64(own.width()) * own.height() > kMaxRasterPixels)
        return {{}, QStringLiteral("no readable picture")};
    // Decoded straight to the thumbnail's size, so a large photograph never exists whole.
    reader.setScaledSize(fitThumbnail(own, box));
    QImage image = reader.read();
    if (image.isNull()) return {{}, reader.errorString()};
    return {std::move(image), {}};
}

}  // namespace

ThumbnailRendering renderPictureThumbnail(const QString& path, int box,
                                          const std::function<bool()>& shouldStop) {
    try {
        // A pipe or a device named like a drawing is refused unread.
        const Expected<QByteArray> bytes = readPictureFile(path);
        if (!bytes) return {{}, bytes.error()};
        if (metafile::looksLikeMetafile(bytes.value()))
            return renderVector(bytes.value(), box, shouldStop);
        return renderRaster(bytes.value(), box);
    } catch (const std::bad_alloc&) {
        // On a worker thread an escaping exception would end the program.
        return {{}, QStringLiteral("out of memory")};
    }
}

}  // namespace plume
