#include "xwindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace XWindows {

namespace {

struct DisplayCloser {
    void operator()(Display *d) const { XCloseDisplay(d); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Windows come and go while tests look at them; a vanished window is no error.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

DisplayPtr openDisplay()
{
    XSetErrorHandler(ignoreErrors);
    return DisplayPtr(XOpenDisplay(nullptr));
}

QByteArray property(Display *dpy, Window w, Atom prop, Atom type, int format)
{
    Atom actualType;
    int actualFormat;
    unsigned long count, after;
    unsigned char *data = nullptr;
    QByteArray out;
    if (XGetWindowProperty(dpy, w, prop, 0, 4096, False, type, &actualType, &actualFormat,
                           &count, &after, &data) == Success && data) {
        if (actualFormat == format)
            out = QByteArray(reinterpret_cast<const char *>(data),
                             int(count * (format == 32 ? sizeof(long) : format / 8)));
        XFree(data);
    }
    return out;
}

void collect(Display *dpy, Window w, QList<Window> &out)
{
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &children, &n))
        return;
    for (unsigned int i = 0; i < n; ++i) {
        out << children[i];
        collect(dpy, children[i], out);
    }
    if (children)
        XFree(children);
}

} // namespace

QList<unsigned long> windowsOf(qint64 pid, const QString &title)
{
    QList<unsigned long> result;
    DisplayPtr dpy = openDisplay();
    if (!dpy)
        return result;
    const Atom pidAtom = XInternAtom(dpy.get(), "_NET_WM_PID", False);
    const Atom nameAtom = XInternAtom(dpy.get(), "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(dpy.get(), "UTF8_STRING", False);
    QList<Window> all;
    collect(dpy.get(), DefaultRootWindow(dpy.get()), all);
    for (Window w : qAsConst(all)) {
        const QByteArray p = property(dpy.get(), w, pidAtom, XA_CARDINAL, 32);
        if (p.size() < int(sizeof(long)) || *reinterpret_cast<const long *>(p.constData()) != pid)
            continue;
        if (!title.isEmpty()
            && QString::fromUtf8(property(dpy.get(), w, nameAtom, utf8, 8)) != title)
            continue;
        result << w;
    }
    return result;
}

bool isViewable(unsigned long window)
{
    DisplayPtr dpy = openDisplay();
    XWindowAttributes attrs;
    return dpy && XGetWindowAttributes(dpy.get(), window, &attrs)
        && attrs.map_state == IsViewable;
}

bool requestClose(unsigned long window)
{
    DisplayPtr dpy = openDisplay();
    if (!dpy)
        return false;
    XEvent ev = {};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = XInternAtom(dpy.get(), "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = long(XInternAtom(dpy.get(), "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(dpy.get(), window, False, NoEventMask, &ev) != 0;
    XFlush(dpy.get());
    return sent;
}

bool trayAvailable()
{
    DisplayPtr dpy = openDisplay();
    if (!dpy)
        return false;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(DefaultScreen(dpy.get()));
    return XGetSelectionOwner(dpy.get(), XInternAtom(dpy.get(), name.constData(), False)) != None;
}

} // namespace XWindows
