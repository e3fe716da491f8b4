#pragma once

#include <QRect>
#include <QSize>
#include <QVector>

namespace plume {

// A window rectangle in twips: left, top, width, height of the whole window with its frame.
struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const TwipsRect&, const TwipsRect&) = default;
};

// Where the main window opens, from the stored values (already rounded to whole twips) and
// the screen. Both sizes non-zero: the stored rectangle. Otherwise the design size centred
// on the screen (in single precision). Negative sizes count as zero, and a rectangle that
// lies on no screen (given in twips) falls back to the default place.
TwipsRect placeMainWindow(const TwipsRect& stored, const QSizeF& screenTwips,
                          const QSizeF& designTwips, const QVector<QRectF>& screensTwips);

// The default place: a tenth of the screen from its top-left corner, seven tenths its size,
// in whole twips.
TwipsRect defaultMainWindowPlace(const QSizeF& screenTwips);

// Twips to whole pixels and back, with the screen's twips per pixel.
QRect twipsToPixels(const TwipsRect& rect, double twipsPerPixel);
TwipsRect pixelsToTwips(const QRect& rect, double twipsPerPixel);

}  // namespace plume
