#pragma once

#include <QAbstractNativeEventFilter>
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace plume {

// Places a top-level window by its whole frame, as Plume's windows keep their places: left,
// top, width and height are those of the window with the frame that a window manager puts
// round it (title bar, borders). Without a window manager the frame is the window itself.
//
// A window manager frames a window only when it first shows it. Before that the frame's
// thickness is asked for (on X11 with _NET_REQUEST_FRAME_EXTENTS, answered while the window
// is still unmapped), so the window appears at its place at once. A window manager that does
// not answer in time is measured when it has framed the window, and the window is placed
// again then.
class FramePlacement : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
  public:
    explicit FramePlacement(QWidget& window);
    ~FramePlacement() override;

    // The whole window, frame included, covers `frame` (pixels).
    void placeFrame(const QRect& frame);
    // The frame's top-left corner at `frameTopLeft`; the window inside the frame `inside`.
    void placeInside(const QPoint& frameTopLeft, const QSize& inside);
    // The whole window's present place, frame included.
    QRect frame() const;
    // The frame's thickness on each side as the last placement used it.
    QMargins margins() const { return m_margins; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Sees the window manager announce the frame (X11), which may move nothing.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    // Once the frame is known: places the window again if the frame is not as thick as the
    // placement assumed.
    void settle();
    QRect insideRect() const;
    void apply();

    QWidget& m_window;
    QPoint m_topLeft;
    QSize m_frameSize;  // empty when the size inside the frame is what was asked for
    QSize m_inside;
    QMargins m_margins;
    bool m_watching = false;      // until the window manager's frame has been seen
    bool m_awaitingShow = false;  // placed, not shown since
    quint32 m_extentsAtom = 0;    // the X11 property that tells the frame's thickness
};

// The thickness of the frame that the window manager gives `window`, asking it first when the
// window has not been framed yet (waiting for the answer a short while). Zero without a window
// manager; the platform's own idea of the frame on other platforms.
QMargins windowFrameMargins(QWidget& window);

}  // namespace plume
