#include "platform/ThumbnailGridFacade.h"

#include "platform/metafile/Metafile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#if __has_include("platform/PictureIo.h")
#include "platform/PictureIo.h"
#define PLUME_HAVE_PICTURE_IO 1
#endif

namespace plume {
namespace {

#ifndef PLUME_HAVE_PICTURE_IO
// The largest raster side a thumbnail is decoded from: its header is checked first, so a
// file that claims a huge image is refused before anything is allocated.
constexpr int kMaxSourceSide = 16'384;

ThumbnailRendering renderMetafile(const QByteArray& bytes, int box) {
    const metafile::ParseResult parsed = metafile::parseMetafile(bytes);
    if (const auto* failure = std::get_if<metafile::ParseError>(&parsed))
        return {{}, failure->message};
    const metafile::DocumentPtr& document = std::get<metafile::DocumentPtr>(parsed);
    // Only the aspect of the picture's own size matters here; any resolution gives it.
    const QSizeF own = document->sizeAtDpi(96);
    const QSize size = fitThumbnail(QSize(qRound(own.width()), qRound(own.height())), box);
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return {{}, QStringLiteral("out of memory")};
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    metafile::render(*document, painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return {std::move(image), {}};
}

ThumbnailRendering renderRaster(QByteArray bytes, int box) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize own = reader.size();
    if (!own.isValid() || own.width() > kMaxSourceSide || own.height() > kMaxSourceSide)
        return {{}, QStringLiteral("no readable picture")};
    // Scaled while it is decoded, so a large photograph never exists at full size.
    reader.setScaledSize(fitThumbnail(own, box));
    QImage image = reader.read();
    if (image.isNull()) return {{}, reader.errorString()};
    return {std::move(image), {}};
}
#endif

}  // namespace

ThumbnailRendering renderPictureThumbnail(const QString& path, int box) {
#ifdef PLUME_HAVE_PICTURE_IO
    const Expected<PicturePtr> loaded = loadPicture(path);
    if (!loaded) return {{}, loaded.error()};
    const PicturePtr& picture = loaded.value();
    if (!picture) return {{}, QStringLiteral("no picture")};
    Expected<QImage> image = renderPicture(*picture, fitThumbnail(picture->size(), box));
    if (!image) return {{}, image.error()};
    return {std::move(image.value()), {}};
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {{}, file.errorString()};
    if (file.size() > metafile::kMaxMetafileBytes) return {{}, QStringLiteral("file too large")};
    const QByteArray bytes = file.read(metafile::kMaxMetafileBytes);
    if (metafile::looksLikeMetafile(bytes)) return renderMetafile(bytes, box);
    return renderRaster(bytes, box);
#endif
}

}  // namespace plume
