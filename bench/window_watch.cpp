// window_watch: prints every top-level window that is mapped or unmapped on an X display, the moment the server
// tells us, stamped with CLOCK_MONOTONIC (the clock Python's time.monotonic() reads).
//
//   window_watch :101
//   ready
//   <ns> map <window> <override-redirect 0|1> <_NET_WM_PID or 0> <title as UTF-8>
//   <ns> unmap <window>
//
// Wine without a virtual desktop gives every visible top-level window its own X window, a child of the root, so
// SubstructureNotify on the root sees a program's window appear without any polling of ours in the way.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

long long NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

std::string Utf8Title(Display* display, Window window) {
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8String, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(display, window, &name) != 0 && name != nullptr) {
            title = name;
            XFree(name);
        }
    }
    for (char& c : title) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return title;
}

unsigned long WindowPid(Display* display, Window window) {
    const Atom netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    unsigned long pid = 0;
    if (XGetWindowProperty(display, window, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr) {
        if (count == 1 && format == 32) {
            pid = *reinterpret_cast<unsigned long*>(data);
        }
        XFree(data);
    }
    return pid;
}

// A window that vanished between the event and our question is no reason to stop watching.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(argc > 1 ? argv[1] : nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "window_watch: cannot open display %s\n", argc > 1 ? argv[1] : "$DISPLAY");
        return 1;
    }
    XSetErrorHandler(IgnoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        const long long at = NowNs();
        if (event.type == MapNotify && event.xmap.event == root) {
            const Window window = event.xmap.window;
            std::printf("%lld map %lu %d %lu %s\n", at, window, event.xmap.override_redirect ? 1 : 0,
                        WindowPid(display, window), Utf8Title(display, window).c_str());
        } else if (event.type == UnmapNotify && event.xunmap.event == root) {
            std::printf("%lld unmap %lu\n", at, event.xunmap.window);
        } else {
            continue;
        }
        if (std::fflush(stdout) != 0) {
            return 0;  // nobody is reading any more
        }
    }
}
