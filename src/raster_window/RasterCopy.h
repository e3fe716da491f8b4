#pragma once

// The work behind the raster conversion window (sbImg), in functions a test can call
// without showing the window: its layout, the size of its window for a wanted client area,
// and the render-and-copy of "複写".

#include "platform/widgets/DrawingSurface.h"
#include "platform/base/Expected.h"
#include "platform/picture/Picture.h"

#include <QRect>
#include <QSize>
#include <QString>

namespace plume {

// The message line's texts.
inline const QString kRasterAskSize = QStringLiteral("ｻｲｽﾞを指定して下さい");
inline const QString kRasterCopied =
    QStringLiteral("現在のｻｲｽﾞの画像ﾃﾞｰﾀｰ(ﾗｽﾀﾃﾞｰﾀｰ)をｸﾘｯﾌﾟﾎﾞｰﾄﾞに貼りつけました");
inline const QString kRasterNoPicture = QStringLiteral("複写する画像がありません");

// The message line's design height in twips; it never changes.
inline constexpr int kRasterMessageTwips = 270;

// A length in twips as whole pixels of the screen (halves to even), never negative and never
// beyond what a raster may have on a side: no window is made larger than a raster of it can be.
int rasterPixels(double twips);

// Where Image1 and the message line go in a client area: the picture fills the width above
// the message line, the line keeps its height along the bottom. A client area shorter than
// the line leaves the picture zero high rather than negative.
struct RasterLayout {
    QRect image;
    QRect message;
};
RasterLayout layoutRasterClient(QSize client, int messageHeight);

// The window size that makes the client area `wanted`: whatever the window adds around its
// client area now (menu bar and the like) is added to the wanted size.
QSize windowSizeForClient(QSize window, QSize client, QSize wanted);

// Renders the picture stretched to `imageSize` at the top-left of a surface of `clientSize`,
// takes the surface's bitmap as an opaque raster picture and clears the surface again. A missing
// picture or a size beyond the raster limits is refused with the message for the user.
Expected<PicturePtr> renderRasterCopy(DrawingSurface& surface, const PicturePtr& picture,
                                      QSize clientSize, QSize imageSize);

// Empties the clipboard and puts the raster picture there as a bitmap (image data only).
Status putRasterOnClipboard(const PicturePtr& raster);

}  // namespace plume
