// What the X display shows, for the window test: pixels of the root window,
// a PNG of it, and the close request a window manager sends when its close
// button is clicked.
//   xprobe pixel X Y [X Y ...]   one "R G B" line per point
//   xprobe png FILE              the whole screen as a PNG
//   xprobe close WINDOW          WM_DELETE_WINDOW to the window (decimal id)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Rgb {
    unsigned r, g, b;
};

Rgb pixelOf(XImage *image, int x, int y) {
    unsigned long p = XGetPixel(image, x, y);
    auto channel = [p](unsigned long mask) {
        if (mask == 0)
            return 0u;
        int shift = __builtin_ctzl(mask);
        unsigned long max = mask >> shift;
        return static_cast<unsigned>(((p & mask) >> shift) * 255 / max);
    };
    return Rgb{channel(image->red_mask), channel(image->green_mask), channel(image->blue_mask)};
}

XImage *grabRoot(Display *display, int *width, int *height) {
    Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    *width = attributes.width;
    *height = attributes.height;
    return XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
}

int writePng(XImage *image, int width, int height, const char *path) {
    FILE *file = std::fopen(path, "wb");
    if (file == nullptr)
        return 1;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return 1;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgb c = pixelOf(image, x, y);
            row[x * 3] = static_cast<png_byte>(c.r);
            row[x * 3 + 1] = static_cast<png_byte>(c.g);
            row[x * 3 + 2] = static_cast<png_byte>(c.b);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 ? 0 : 1;
}

int closeWindow(Display *display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: xprobe pixel X Y ... | png FILE | close WINDOW\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "xprobe: cannot open the display\n");
        return 2;
    }
    int result = 0;
    if (std::strcmp(argv[1], "close") == 0) {
        result = closeWindow(display, static_cast<Window>(std::strtoul(argv[2], nullptr, 10)));
    } else {
        int width = 0, height = 0;
        XImage *image = grabRoot(display, &width, &height);
        if (image == nullptr) {
            result = 1;
        } else if (std::strcmp(argv[1], "png") == 0) {
            result = writePng(image, width, height, argv[2]);
        } else {
            for (int i = 2; i + 1 < argc; i += 2) {
                int x = std::atoi(argv[i]), y = std::atoi(argv[i + 1]);
                Rgb c = x >= 0 && y >= 0 && x < width && y < height ? pixelOf(image, x, y) : Rgb{0, 0, 0};
                std::printf("%u %u %u\n", c.r, c.g, c.b);
            }
        }
        if (image != nullptr)
            XDestroyImage(image);
    }
    XCloseDisplay(display);
    return result;
}
