// Counts the pictures that reach a window on the X display: every drawing
// into the window is reported by the display's DAMAGE extension, so the
// count is what the screen showed, whatever the program believes it drew.
// Used by bench/live_cost.sh to give the frames per second of the live view.
//
//   view_frames WINDOW SECONDS
//
// WINDOW is a top-level window id (as xdotool prints it); the count is taken
// on the largest window inside it that has a window of its own on the
// display (the station's live view).  Prints "frames N seconds S" and the
// size of the window it watched.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// The largest of the innermost windows below `w` (itself when it has none).
Window Largest(Display* dpy, Window w, long* area) {
    XWindowAttributes a;
    Window best = w;
    // A window for input only shows nothing.
    *area = XGetWindowAttributes(dpy, w, &a) && a.c_class == InputOutput ? static_cast<long>(a.width) * a.height : 0;
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) return best;
    long bestChild = 0;
    Window child = 0;
    for (unsigned int i = 0; i < n; ++i) {
        long sub = 0;
        Window c = Largest(dpy, children[i], &sub);
        if (sub > bestChild) {
            bestChild = sub;
            child = c;
        }
    }
    if (children) XFree(children);
    if (child) {
        *area = bestChild;
        return child;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: view_frames WINDOW SECONDS\n");
        return 2;
    }
    const Window top = std::strtoul(argv[1], nullptr, 0);
    const double seconds = std::atof(argv[2]);
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "view_frames: no display\n");
        return 1;
    }
    int eventBase = 0, errorBase = 0;
    if (!XDamageQueryExtension(dpy, &eventBase, &errorBase)) {
        std::fprintf(stderr, "view_frames: the display has no DAMAGE extension\n");
        return 1;
    }
    long area = 0;
    const Window view = Largest(dpy, top, &area);
    if (view == top) {
        std::fprintf(stderr, "view_frames: window %s has no window inside it\n", argv[1]);
        return 1;
    }
    XWindowAttributes a;
    XGetWindowAttributes(dpy, view, &a);
    Damage damage = XDamageCreate(dpy, view, XDamageReportNonEmpty);
    XSync(dpy, False);

    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    long frames = 0;
    while (Clock::now() < end) {
        while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (e.type == eventBase + XDamageNotify) {
                ++frames;
                // Taken in: the next drawing reports anew.
                XDamageSubtract(dpy, damage, None, None);
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left < 50 ? left : 50));
    }
    XDamageDestroy(dpy, damage);
    XCloseDisplay(dpy);
    std::printf("frames %ld seconds %.1f window %dx%d\n", frames, seconds, a.width, a.height);
    return 0;
}
