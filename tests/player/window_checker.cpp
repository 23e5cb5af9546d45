// Waits for a top-level window with the given name on the X display, checks its place, size
// and some of its pixels, then asks it to close as a window manager would (WM_DELETE_WINDOW).
//   window_checker NAME [--at X Y] [--size W H] [--pixel X Y RRGGBB]...
// A pixel check passes once the pixel comes within 12 of the colour in each channel; all
// checks are retried until they pass or 20 seconds have gone. Exit status 1 when any failed.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct PixelCheck {
    int x = 0;
    int y = 0;
    unsigned long rgb = 0;
    unsigned long seen = 0;
};

// The first viewable window named `name` at or below `window`.
Window findWindow(Display* display, Window window, const std::string& name, int depth) {
    char* windowName = nullptr;
    if (XFetchName(display, window, &windowName) != 0 && windowName != nullptr) {
        const bool same = name == windowName;
        XFree(windowName);
        XWindowAttributes attributes;
        if (same && XGetWindowAttributes(display, window, &attributes) != 0 &&
            attributes.map_state == IsViewable) {
            return window;
        }
    }
    if (depth == 0) {
        return 0;
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
        for (unsigned int i = 0; i < count && found == 0; ++i) {
            found = findWindow(display, children[i], name, depth - 1);
        }
        if (children != nullptr) {
            XFree(children);
        }
    }
    return found;
}

unsigned long channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = 0;
    while (((mask >> shift) & 1) == 0) {
        ++shift;
    }
    return (pixel & mask) >> shift;
}

unsigned long pixelAt(Display* display, Window window, const XWindowAttributes& attributes, int x,
                      int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return ~0UL;
    }
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    const Visual* visual = attributes.visual;
    return channel(pixel, visual->red_mask) << 16 | channel(pixel, visual->green_mask) << 8 |
           channel(pixel, visual->blue_mask);
}

// X errors (a window gone, a pixel outside it) show as failed checks, not as an exit.
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

bool near(unsigned long a, unsigned long b) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const long difference =
            static_cast<long>((a >> shift) & 0xFF) - static_cast<long>((b >> shift) & 0xFF);
        if (std::labs(difference) > 12) {
            return false;
        }
    }
    return true;
}

void closeWindow(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: window_checker NAME [--at X Y] [--size W H] "
                     "[--pixel X Y RRGGBB]...\n");
        return 2;
    }
    const std::string name = argv[1];
    int atX = -1;
    int atY = -1;
    int width = -1;
    int height = -1;
    std::vector<PixelCheck> pixels;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--at" && i + 2 < argc) {
            atX = std::atoi(argv[i + 1]);
            atY = std::atoi(argv[i + 2]);
            i += 2;
        } else if (option == "--size" && i + 2 < argc) {
            width = std::atoi(argv[i + 1]);
            height = std::atoi(argv[i + 2]);
            i += 2;
        } else if (option == "--pixel" && i + 3 < argc) {
            pixels.push_back({std::atoi(argv[i + 1]), std::atoi(argv[i + 2]),
                              std::strtoul(argv[i + 3], nullptr, 16), 0});
            i += 3;
        } else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(ignoreError);
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    const Window root = DefaultRootWindow(display);
    Window window = 0;
    while ((window = findWindow(display, root, name, 3)) == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (window == 0) {
        std::fprintf(stderr, "no window named \"%s\" appeared\n", name.c_str());
        XCloseDisplay(display);
        return 1;
    }
    std::printf("found window \"%s\"\n", name.c_str());

    bool failed = false;
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
    if (atX >= 0 && (x != atX || y != atY)) {
        std::fprintf(stderr, "window at %d,%d instead of %d,%d\n", x, y, atX, atY);
        failed = true;
    }
    if (width >= 0) {
        if (attributes.width != width || attributes.height != height) {
            std::fprintf(stderr, "window is %d x %d instead of %d x %d\n", attributes.width,
                         attributes.height, width, height);
            failed = true;
        }
        // A window that cannot be resized asks for the same smallest and largest size.
        XSizeHints hints{};
        long supplied = 0;
        if (XGetWMNormalHints(display, window, &hints, &supplied) == 0 ||
            (hints.flags & (PMinSize | PMaxSize)) != (PMinSize | PMaxSize) ||
            hints.min_width != width || hints.max_width != width || hints.min_height != height ||
            hints.max_height != height) {
            std::fprintf(stderr, "window does not keep its size fixed\n");
            failed = true;
        }
    }

    bool allSeen = false;
    while (!allSeen) {
        allSeen = true;
        for (PixelCheck& check : pixels) {
            check.seen = pixelAt(display, window, attributes, check.x, check.y);
            allSeen = allSeen && near(check.seen, check.rgb);
        }
        if (allSeen || Clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (const PixelCheck& check : pixels) {
        if (!near(check.seen, check.rgb)) {
            std::fprintf(stderr, "pixel %d,%d is %06lx instead of %06lx\n", check.x, check.y,
                         check.seen, check.rgb);
            failed = true;
        }
    }

    closeWindow(display, window);
    XCloseDisplay(display);
    return failed ? 1 : 0;
}
