#include "platform/ThumbnailGridFacade.h"

#include <QImageReader>

#if __has_include("platform/PictureIo.h")
#include "platform/PictureIo.h"
#define PLUME_HAVE_PICTURE_IO 1
#endif

namespace plume {

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
    // Until picture files can be loaded, raster files are read directly, scaled while they
    // are decoded; their header size is checked first so that a huge image is never made.
    QImageReader reader(path);
    const QSize own = reader.size();
    if (!own.isValid() || own.width() > 16'384 || own.height() > 16'384)
        return {{}, QStringLiteral("no readable picture")};
    reader.setScaledSize(fitThumbnail(own, box));
    QImage image = reader.read();
    if (image.isNull()) return {{}, reader.errorString()};
    return {std::move(image), {}};
#endif
}

}  // namespace plume
