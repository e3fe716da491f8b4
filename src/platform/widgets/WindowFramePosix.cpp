#include "platform/widgets/WindowFrameNative.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <xcb/xcb.h>

namespace plume {
namespace {

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
}  // namespace

std::optional<QMargins> nativeFrameMargins(QWidget& window, bool ask) {
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

quint32 frameAnnouncementAtom() {
    xcb_connection_t* c = x11Connection();
    return c ? internAtom(c, "_NET_FRAME_EXTENTS") : 0;
}

bool announcesFrame(const QByteArray& eventType, void* message, quint32 atom,
                    const QWidget& window) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
    const auto* changed = static_cast<const xcb_property_notify_event_t*>(message);
    return changed->atom == atom && changed->window == xcb_window_t(window.winId());
}

}  // namespace plume
