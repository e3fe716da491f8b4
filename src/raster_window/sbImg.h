#pragma once

#include "platform/widgets/DrawingSurface.h"
#include "platform/widgets/ImageArea.h"

#include <QWidget>
#include <cstdint>

class QAction;
class QEventLoop;
class QLabel;
class QMenuBar;

namespace plume {

class FramePlacement;

// The raster conversion window: shows the main window's picture stretched over its client
// area; the user picks the raster size by resizing the window, and "複写" renders the picture
// at exactly that size and puts the bitmap on the clipboard.
//
// The controls keep their names as object names: Image1 (the picture), lbMsg (the message
// line), Picture1 (the invisible drawing surface), mnCopy and mnExit (the two menu commands).
// Closing the window (終了 or the close box) unloads it: it hides, drops its picture, and
// Act returns.
class sbImg : public QWidget {
    Q_OBJECT
  public:
    // The one instance of the program, made on first use; release() destroys it (the main
    // window's unload).
    static sbImg& take();
    static void release();

    explicit sbImg(QWidget* parent = nullptr);
    ~sbImg() override;

    // Shows the window modally at (nLf, nTp) (its outer top-left corner) with a client area of
    // exactly nWd x nHi, all in twips, and returns when it has been closed. Timers of other
    // windows keep firing meanwhile. Set the picture on image1() first.
    void Act(int32_t nLf, int32_t nTp, int32_t nWd, int32_t nHi);

    ImageArea* image1() const { return m_image1; }
    QLabel* lbMsg() const { return m_lbMsg; }
    DrawingSurface* picture1() const { return m_picture1; }
    QAction* mnCopy() const { return m_mnCopy; }
    QAction* mnExit() const { return m_mnExit; }
    // The client area: everything below the menu bar.
    QWidget* clientArea() const { return m_client; }

    void Form_Resize();
    void mnCopy_Click();
    void mnExit_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Makes the client area `wanted` pixels, whatever the menu bar and frame take.
    void fitClientArea(QSize wanted);
    void unload();

    QMenuBar* m_menuBar = nullptr;
    QAction* m_mnCopy = nullptr;
    QAction* m_mnExit = nullptr;
    QWidget* m_client = nullptr;
    ImageArea* m_image1 = nullptr;
    QLabel* m_lbMsg = nullptr;
    DrawingSurface* m_picture1 = nullptr;
    QEventLoop* m_loop = nullptr;
    FramePlacement* m_placement = nullptr;
};

}  // namespace plume
