// silentowner [MS]: takes the X11 clipboard and answers none of the requests it gets, as a
// program that hangs while it holds the clipboard. With MS it takes the clipboard again every
// MS milliseconds, as a program that copies in a loop. Writes "ready" once it holds the
// clipboard; on standard error, one line "asked" for each request and "took" each time it
// took the clipboard again. Ends when its standard input closes.
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

// A server time for the ownership: the time of a property change on our own window.
xcb_timestamp_t serverTime(xcb_connection_t* connection, xcb_window_t window) {
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                        8, 0, "");
    xcb_flush(connection);
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        const bool property = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
        const xcb_timestamp_t time =
            property ? reinterpret_cast<xcb_property_notify_event_t*>(event)->time : 0;
        std::free(event);
        if (property) return time;
    }
    return XCB_CURRENT_TIME;
}

}  // namespace

int main(int argc, char** argv) {
    const int every = argc > 1 ? std::atoi(argv[1]) : 0;
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "silentowner: cannot open display\n");
        return 2;
    }
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screen.rem; ++i) xcb_screen_next(&screen);
    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &events);
    const xcb_atom_t clipboard = atom(connection, "CLIPBOARD");
    const auto take = [&] {
        xcb_set_selection_owner(connection, window, clipboard, serverTime(connection, window));
        xcb_flush(connection);
    };
    take();
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {0, POLLIN, 0}};
        const int ready = ::poll(fds, 2, every > 0 ? every : -1);
        if (fds[1].revents != 0) {
            char buffer[64];
            if (::read(0, buffer, sizeof buffer) <= 0) break;
        }
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST)
                std::fprintf(stderr, "asked\n");
            std::free(event);
        }
        if (xcb_connection_has_error(connection)) break;
        if (ready == 0 && every > 0) {
            take();
            std::fprintf(stderr, "took\n");
        }
    }
    xcb_disconnect(connection);
    return 0;
}
