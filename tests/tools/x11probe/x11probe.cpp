// x11probe wait NAME SECONDS   waits until a mapped window titled NAME (UTF-8) exists
// x11probe geometry NAME       prints "x y width height" of that window (root coordinates)
// x11probe frame NAME          the same for the whole window with a window manager's frame
// x11probe focused -           the window that has the keyboard: its area, then its frame's
// x11probe close -focused-     asks the window that has the keyboard to close
// x11probe grabbed -           exits 0 when a program holds the keyboard (an open menu)
// x11probe close NAME          sends WM_DELETE_WINDOW, as a close button does
// x11probe ping -               exits 0 when the display answers
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

// The window's title: _NET_WM_NAME (UTF-8) when set, else WM_NAME.
std::string titleOf(Display* display, Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 4096,
                           False, XInternAtom(display, "UTF8_STRING", False), &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 8) {
        title.assign(reinterpret_cast<const char*>(data), count);
    } else {
        char* name = nullptr;
        if (XFetchName(display, window, &name) && name) {
            title = name;
            XFree(name);
        }
    }
    if (data) XFree(data);
    return title;
}

Window findNamed(Display* display, Window window, const std::string& name) {
    if (titleOf(display, window) == name) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, window, &attributes) &&
            attributes.map_state == IsViewable && attributes.width > 1)
            return window;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i)
            found = findNamed(display, children[i], name);
        if (children) XFree(children);
    }
    return found;
}

// The window manager's frame round `window`: the ancestor that is a child of the root window.
Window frameOf(Display* display, Window root, Window window) {
    Window frame = window;
    for (;;) {
        Window rootOut = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, frame, &rootOut, &parent, &children, &count)) break;
        if (children) XFree(children);
        if (parent == root || parent == 0) break;
        frame = parent;
    }
    return frame;
}

// "x y width height" of a window in root coordinates.
void printPlace(Display* display, Window root, Window window) {
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
    std::printf("%d %d %d %d", x, y, attributes.width, attributes.height);
}

// Windows come and go while the tree is walked (menus, dialogs): a window that is gone is
// passed over instead of ending the program.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: x11probe wait|geometry|frame|focused|grabbed|close NAME [SECONDS]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11probe: cannot open display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    const std::string command = argv[1];
    const std::string name = argv[2];
    if (command == "ping") {
        XCloseDisplay(display);
        return 0;
    }
    const Window root = DefaultRootWindow(display);
    if (command == "grabbed") {
        const int status =
            XGrabKeyboard(display, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (status == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
        XCloseDisplay(display);
        return status == AlreadyGrabbed ? 0 : 1;
    }
    if (command == "focused") {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        if (focus == None || focus == PointerRoot) return 1;
        printPlace(display, root, focus);
        std::printf(" ");
        printPlace(display, root, frameOf(display, root, focus));
        std::printf("\n");
        return 0;
    }
    Window window = 0;
    if (name == "-focused-") {
        int revert = 0;
        XGetInputFocus(display, &window, &revert);
        if (window == PointerRoot) window = 0;
    } else {
        window = findNamed(display, root, name);
    }
    if (command == "wait") {
        const double seconds = argc > 3 ? std::atof(argv[3]) : 10.0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!window && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            window = findNamed(display, root, name);
        }
        return window ? 0 : 1;
    }
    if (!window) {
        std::fprintf(stderr, "x11probe: no window named %s\n", name.c_str());
        return 1;
    }
    if (command == "geometry") {
        printPlace(display, root, window);
        std::printf("\n");
        return 0;
    }
    if (command == "frame") {
        printPlace(display, root, frameOf(display, root, window));
        std::printf("\n");
        return 0;
    }
    if (command == "close") {
        XEvent event;
        std::memset(&event, 0, sizeof event);
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
        XCloseDisplay(display);
        return 0;
    }
    std::fprintf(stderr, "x11probe: unknown command %s\n", command.c_str());
    return 2;
}
