#include "main_window/MainLayout.h"

#include "platform/base/Numbers.h"

#include <algorithm>

namespace plume {

MainLayout layoutMainWindow(double clientWidth, double clientHeight, double file1Width,
                            double lbMsgHeight, double pcImgWidth, double pcImgHeight) {
    // The list's width and the status line's height are used as whole twips.
    const double listWidth = roundHalfEven(file1Width);
    const double msgHeight = roundHalfEven(lbMsgHeight);
    const double width = std::max(0.0, clientWidth);
    MainLayout layout;
    layout.frMnu = QRectF(0, 0, width, kTopStripHeight);
    layout.File1 = QRectF(0, kTopStripHeight, listWidth,
                          std::max(0.0, clientHeight - msgHeight - kTopStripHeight));
    layout.pcImg = QRectF(listWidth + 1, kPreviewTop, pcImgWidth, pcImgHeight);
    layout.lbMsg = QRectF(0, clientHeight - msgHeight, width, msgHeight);
    return layout;
}

}  // namespace plume
