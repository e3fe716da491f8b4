#include "main_window/WindowPlacement.h"

#include "platform/base/Numbers.h"

namespace plume {

TwipsRect defaultMainWindowPlace(const QSizeF& screenTwips) {
    auto whole = [](double twips) { return static_cast<double>(toInt32HalfEven(twips)); };
    return {whole(screenTwips.width() * 0.1), whole(screenTwips.height() * 0.1),
            whole(screenTwips.width() * 0.7), whole(screenTwips.height() * 0.7)};
}

TwipsRect placeMainWindow(const TwipsRect& stored, const QSizeF& screenTwips,
                          const QSizeF& designTwips, const QVector<QRectF>& screensTwips) {
    const double width = stored.width < 0 ? 0 : stored.width;
    const double height = stored.height < 0 ? 0 : stored.height;
    if (width != 0 && height != 0) {
        const QRectF wanted(stored.left, stored.top, width, height);
        for (const QRectF& screen : screensTwips)
            if (screen.intersects(wanted)) return {stored.left, stored.top, width, height};
        if (screensTwips.isEmpty()) return {stored.left, stored.top, width, height};
        return defaultMainWindowPlace(screenTwips);
    }
    const float left =
        (static_cast<float>(screenTwips.width()) - static_cast<float>(designTwips.width())) / 2.0f;
    const float top =
        (static_cast<float>(screenTwips.height()) - static_cast<float>(designTwips.height())) /
        2.0f;
    return {left, top, designTwips.width(), designTwips.height()};
}

QRect twipsToPixels(const TwipsRect& rect, double twipsPerPixel) {
    auto px = [twipsPerPixel](double twips) { return toInt32HalfEven(twips / twipsPerPixel); };
    return QRect(px(rect.left), px(rect.top), px(rect.width), px(rect.height));
}

TwipsRect pixelsToTwips(const QRect& rect, double twipsPerPixel) {
    return {rect.x() * twipsPerPixel, rect.y() * twipsPerPixel, rect.width() * twipsPerPixel,
            rect.height() * twipsPerPixel};
}

}  // namespace plume
