#include "platform/widgets/WindowFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>
#include <vector>

#ifdef PLUME_WITH_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#endif

namespace plume {
namespace {

#ifdef PLUME_WITH_XCB

// How long a window manager is given to say how thick its frame will be.
constexpr auto kFrameAnswerTime = std::chrono::milliseconds(300);

template <typename Reply>
using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The 32-bit values of a window's property (none when it is missing or of another type).
std::vector<uint32_t> property32(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name,
                                 xcb_atom_t type) {
    const XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 1024), nullptr),
        &std::free);
    if (!reply || reply->type != type || reply->format != 32) return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::vector<uint32_t>(values, values + std::max(0, count));
}

xcb_window_t rootOf(xcb_connection_t* c, xcb_window_t window) {
    const XcbReply<xcb_query_tree_reply_t> reply(
        xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
    return reply ? reply->root : xcb_window_t(XCB_WINDOW_NONE);
}

// A window manager that follows the desktop conventions names a window of its own on the
// root window, and that window names itself.
bool windowManagerRunning(xcb_connection_t* c, xcb_window_t root) {
    const xcb_atom_t check = internAtom(c, "_NET_SUPPORTING_WM_CHECK");
    const std::vector<uint32_t> named = property32(c, root, check, XCB_ATOM_WINDOW);
    if (named.size() != 1) return false;
    const std::vector<uint32_t> self = property32(c, named[0], check, XCB_ATOM_WINDOW);
    return self.size() == 1 && self[0] == named[0];
}

bool windowManagerSupports(xcb_connection_t* c, xcb_window_t root, xcb_atom_t feature) {
    const std::vector<uint32_t> supported =
        property32(c, root, internAtom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    return std::find(supported.begin(), supported.end(), feature) != supported.end();
}

// _NET_FRAME_EXTENTS: left, right, top, bottom.
std::optional<QMargins> frameExtents(xcb_connection_t* c, xcb_window_t window) {
    const std::vector<uint32_t> v =
        property32(c, window, internAtom(c, "_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL);
    if (v.size() != 4) return std::nullopt;
    return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
}

void requestFrameExtents(xcb_connection_t* c, xcb_window_t root, xcb_window_t window,
                         xcb_atom_t request) {
    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = request;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

// The frame's thickness in device pixels on X11: zero without a window manager, nothing when
// the window manager has not said (or this is not X11). `ask` requests it from the window
// manager when the window has not been framed yet.
std::optional<QMargins> x11FrameMargins(QWidget& window, bool ask) {
    xcb_connection_t* c = x11Connection();
    if (!c) return std::nullopt;
    const auto id = xcb_window_t(window.winId());
    const xcb_window_t root = rootOf(c, id);
    if (root == XCB_WINDOW_NONE || !windowManagerRunning(c, root)) return QMargins();
    if (std::optional<QMargins> known = frameExtents(c, id)) return known;
    const xcb_atom_t request = internAtom(c, "_NET_REQUEST_FRAME_EXTENTS");
    if (!ask || window.isVisible() || !windowManagerSupports(c, root, request)) return std::nullopt;
    requestFrameExtents(c, root, id, request);
    const auto end = std::chrono::steady_clock::now() + kFrameAnswerTime;
    while (std::chrono::steady_clock::now() < end) {
        if (std::optional<QMargins> answered = frameExtents(c, id)) return answered;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return std::nullopt;
}

#endif

QMargins frameMargins(QWidget& window, bool ask) {
    QMargins device;
#ifdef PLUME_WITH_XCB
    if (std::optional<QMargins> x11 = x11FrameMargins(window, ask)) {
        device = *x11;
    } else
#endif
    {
        Q_UNUSED(ask);
        window.winId();
        if (const QWindow* handle = window.windowHandle()) return handle->frameMargins();
        return {};
    }
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
#ifdef PLUME_WITH_XCB
    if (xcb_connection_t* c = x11Connection()) {
        m_extentsAtom = internAtom(c, "_NET_FRAME_EXTENTS");
        qApp->installNativeEventFilter(this);
    }
#endif
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
#ifdef PLUME_WITH_XCB
    if (!m_watching || eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
    const auto* changed = static_cast<const xcb_property_notify_event_t*>(message);
    if (changed->atom == m_extentsAtom && changed->window == xcb_window_t(m_window.winId()))
        QMetaObject::invokeMethod(this, &FramePlacement::settle, Qt::QueuedConnection);
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
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
