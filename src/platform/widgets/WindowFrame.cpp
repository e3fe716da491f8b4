#include "platform/widgets/WindowFrame.h"

#include "platform/widgets/WindowFrameNative.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cmath>
#include <optional>

namespace plume {
namespace {

QMargins frameMargins(QWidget& window, bool ask) {
    const std::optional<QMargins> native = nativeFrameMargins(window, ask);
    if (!native) {
        // The platform's own idea of the frame (on Windows, the window's real frame).
        window.winId();
        if (const QWindow* handle = window.windowHandle()) return handle->frameMargins();
        return {};
    }
    const QMargins device = *native;
    // The window system counts device pixels; the widgets count logical ones.
    const double ratio = window.devicePixelRatioF() > 0 ? window.devicePixelRatioF() : 1.0;
    auto logical = [ratio](int v) { return int(std::lround(v / ratio)); };
    return QMargins(logical(device.left()), logical(device.top()), logical(device.right()),
                    logical(device.bottom()));
}

}  // namespace

QMargins windowFrameMargins(QWidget& window) {
    return frameMargins(window, true);
}

FramePlacement::FramePlacement(QWidget& window) : QObject(&window), m_window(window) {
    m_window.installEventFilter(this);
    m_extentsAtom = frameAnnouncementAtom();
    if (m_extentsAtom != 0) qApp->installNativeEventFilter(this);
}

FramePlacement::~FramePlacement() {
    if (qApp) qApp->removeNativeEventFilter(this);
}

void FramePlacement::placeFrame(const QRect& frame) {
    m_topLeft = frame.topLeft();
    m_frameSize = frame.size();
    m_inside = QSize();
    m_margins = windowFrameMargins(m_window);
    m_watching = true;
    m_awaitingShow = true;
    apply();
}

void FramePlacement::placeInside(const QPoint& frameTopLeft, const QSize& inside) {
    m_topLeft = frameTopLeft;
    m_frameSize = QSize();
    m_inside = inside;
    m_margins = windowFrameMargins(m_window);
    m_watching = true;
    m_awaitingShow = true;
    apply();
}

QRect FramePlacement::insideRect() const {
    QSize inside = m_inside;
    if (!m_frameSize.isEmpty())
        inside = QSize(m_frameSize.width() - m_margins.left() - m_margins.right(),
                       m_frameSize.height() - m_margins.top() - m_margins.bottom());
    return QRect(m_topLeft + QPoint(m_margins.left(), m_margins.top()),
                 inside.expandedTo(QSize(1, 1)));
}

void FramePlacement::apply() {
    // The window's own geometry is the area inside the frame; the frame goes round it.
    m_window.setGeometry(insideRect());
}

QRect FramePlacement::frame() const {
    return m_window.frameGeometry();
}

bool FramePlacement::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == &m_window && type == QEvent::Show && m_awaitingShow) {
        // A platform may still report an earlier geometry of the hidden window and override
        // the placement with it: the window is shown where it was placed.
        m_awaitingShow = false;
        if (m_window.geometry() != insideRect()) apply();
    }
    if (watched == &m_window &&
        (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize))
        settle();
    return QObject::eventFilter(watched, event);
}

bool FramePlacement::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (m_watching && announcesFrame(eventType, message, m_extentsAtom, m_window))
        QMetaObject::invokeMethod(this, &FramePlacement::settle, Qt::QueuedConnection);
    return false;
}

void FramePlacement::settle() {
    if (!m_watching || !m_window.isVisible()) return;
    // The first sight of the window manager's frame settles the placement: when it is not as
    // thick as the placement assumed, the window is placed again with the real one.
    const QMargins framed = frameMargins(m_window, false);
    if (framed.isNull()) return;
    m_watching = false;
    if (framed == m_margins) return;
    m_margins = framed;
    // A size asked for inside the frame may have been changed since; it is kept.
    if (m_frameSize.isEmpty()) m_inside = m_window.size();
    apply();
}

}  // namespace plume
