// bench-mapwatch now: the monotonic clock in milliseconds.
// bench-mapwatch PID: waits until a top-level window of process PID is mapped and
// prints the monotonic time in milliseconds when the X server said so (exit 1 after
// 60 s without). The clock is the one of Qt's "%{time boot}" in message patterns.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>

static long long nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

static long windowPid(Display *display, Window window)
{
    static const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data && count == 1 && format == 32)
        pid = static_cast<long>(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    return pid;
}

static int ignoreErrors(Display *, XErrorEvent *)
{
    return 0; // a window may be gone between the event and the question
}

int main(int argc, char *argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "now") == 0) {
        std::printf("%lld\n", nowMs());
        return 0;
    }
    if (argc != 2)
        return 2;
    const long pid = std::atol(argv[1]);
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    // Mapped before we listened: report it now.
    Window rootBack, parent, *children = nullptr;
    unsigned int count = 0;
    bool shown = false;
    if (XQueryTree(display, root, &rootBack, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !shown; ++i) {
            XWindowAttributes attributes;
            shown = XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable && windowPid(display, children[i]) == pid;
        }
        if (children)
            XFree(children);
    }
    if (shown) {
        std::printf("%lld\n", nowMs());
        return 0;
    }

    const long long deadline = nowMs() + 60000;
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    while (nowMs() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && windowPid(display, event.xmap.window) == pid) {
                std::printf("%lld\n", nowMs());
                return 0;
            }
        }
        poll(&fd, 1, 100);
    }
    return 1;
}
