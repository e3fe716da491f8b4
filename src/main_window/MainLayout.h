#pragma once

#include <QRectF>

namespace plume {

// Where the main window's controls go for a client area of the given size (twips). The file
// list keeps its width, the preview its size, the status line its height; the top strip and
// the status line follow the width. Heights that would be negative are zero.
struct MainLayout {
    QRectF frMnu;
    QRectF File1;
    QRectF pcImg;
    QRectF lbMsg;
};

inline constexpr double kTopStripHeight = 360;
inline constexpr double kPreviewTop = 370;

MainLayout layoutMainWindow(double clientWidth, double clientHeight, double file1Width,
                            double lbMsgHeight, double pcImgWidth, double pcImgHeight);

}  // namespace plume
