#include "platform/picture/Picture.h"

#include "platform/base/Twips.h"

#include <QPainter>
#include <QRectF>
#include <algorithm>
#include <cmath>

namespace plume {

Picture::Picture(metafile::DocumentPtr document, QImage image, QSize size)
    : m_document(std::move(document)), m_image(std::move(image)), m_size(size) {}

PicturePtr Picture::fromDocument(metafile::DocumentPtr document) {
    if (!document) return nullptr;
    const QSize size = ownPixelSize(*document, screenDpi());
    // make_shared needs a public constructor; the factory keeps construction checked.
    return PicturePtr(new Picture(std::move(document), QImage(), size));
}

PicturePtr Picture::fromImage(QImage image) {
    if (image.isNull()) return nullptr;
    const QSize size = image.size();
    return PicturePtr(new Picture(nullptr, std::move(image), size));
}

QByteArray Picture::emfBytes() const {
    return m_document ? m_document->toEmf() : QByteArray();
}

double screenDpi() {
    return 1440.0 / twipsPerPixel();
}

QSize ownPixelSize(const metafile::Document& document, double dpi) {
    const QSizeF size = document.sizeAtDpi(dpi);
    // A frame can claim any extent; clamp before converting so the int never overflows.
    const auto whole = [](double v) {
        if (!std::isfinite(v) || v <= 0) return 0;
        return static_cast<int>(std::lround(std::min(v, 1e9)));
    };
    return QSize(whole(size.width()), whole(size.height()));
}

Status checkRasterSize(QSize size) {
    if (size.width() <= 0 || size.height() <= 0)
        return Status::failure(QStringLiteral("画像の大きさが 0 です (%1 x %2 ピクセル)")
                                   .arg(size.width())
                                   .arg(size.height()));
    const qint64 pixels = qint64(size.width()) * size.height();
    if (size.width() > kMaxRasterSide || size.height() > kMaxRasterSide ||
        pixels > kMaxRasterPixels)
        return Status::failure(
            QStringLiteral("画像が大きすぎます (%1 x %2 ピクセル; 一辺 %3、全体 %4 ピクセルまで)")
                .arg(size.width())
                .arg(size.height())
                .arg(kMaxRasterSide)
                .arg(kMaxRasterPixels));
    return Status::success();
}

metafile::RenderStats paintPicture(QPainter& painter, const Picture& picture, const QRectF& target,
                                   const metafile::RenderOptions& options) {
    metafile::RenderStats stats;
    if (target.isEmpty()) return stats;
    painter.save();
    if (const auto& document = picture.document()) {
        stats = metafile::render(*document, painter, target, options);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, picture.image());
    }
    painter.restore();
    return stats;
}

namespace {

Expected<QImage> blankRaster(QSize size, const QColor& background) {
    if (Status allowed = checkRasterSize(size); !allowed)
        return Expected<QImage>::failure(allowed.error());
    // An opaque ground needs no alpha channel, which makes drawing and encoding cheaper.
    const QImage::Format format = background.alpha() == 255 ? QImage::Format_RGB32
                                                            : QImage::Format_ARGB32_Premultiplied;
    QImage image(size, format);
    if (image.isNull())
        return Expected<QImage>::failure(QStringLiteral("画像のメモリを確保できません (%1 x %2)")
                                             .arg(size.width())
                                             .arg(size.height()));
    image.fill(background);
    return Expected<QImage>::success(std::move(image));
}

}  // namespace

Expected<QImage> renderPicture(const Picture& picture, QSize size, const QColor& background,
                               const metafile::RenderOptions& options,
                               metafile::RenderStats* stats) {
    Expected<QImage> result = blankRaster(size, background);
    if (!result) return result;
    QPainter painter(&result.value());
    const metafile::RenderStats drawn =
        paintPicture(painter, picture, QRectF(QPointF(0, 0), QSizeF(size)), options);
    if (stats) *stats = drawn;
    return result;
}

Expected<QImage> renderAtOwnSize(const Picture* picture, QSize viewSize, const QColor& background,
                                 const metafile::RenderOptions& options,
                                 metafile::RenderStats* stats) {
    Expected<QImage> result = blankRaster(viewSize, background);
    if (!result || !picture || picture->size().isEmpty()) return result;
    QPainter painter(&result.value());
    // The painter clips to the view, so a picture larger than it is cut off at its right and
    // bottom edges; the engine skips what falls outside the clip.
    painter.setClipRect(QRect(QPoint(0, 0), viewSize));
    const metafile::RenderStats drawn =
        paintPicture(painter, *picture, QRectF(QPointF(0, 0), QSizeF(picture->size())), options);
    if (stats) *stats = drawn;
    return result;
}

}  // namespace plume
