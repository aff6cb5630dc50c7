#include "e2e/ScreenPixel.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace orvel {

namespace {

// One connection for the whole run of the tests.
Display* display() {
  static Display* opened = XOpenDisplay(nullptr);
  return opened;
}

}  // namespace

std::optional<std::array<int, 3>> readScreenPixel(int x, int y) {
  Display* display = orvel::display();
  if (!display) {
    return std::nullopt;
  }
  std::unique_ptr<XImage, int (*)(XImage*)> image(
      XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap),
      [](XImage* owned) { return XDestroyImage(owned); });
  if (!image) {
    return std::nullopt;
  }
  const unsigned long pixel = XGetPixel(image.get(), 0, 0);
  return std::array<int, 3>{static_cast<int>((pixel >> 16) & 0xFF),
                            static_cast<int>((pixel >> 8) & 0xFF), static_cast<int>(pixel & 0xFF)};
}

unsigned long windowUnderPointer() {
  Display* display = orvel::display();
  if (!display) {
    return 0;
  }
  ::Window window = DefaultRootWindow(display);
  for (;;) {
    ::Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    if (!XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &mask) || !child) {
      return window;
    }
    window = child;
  }
}

}  // namespace orvel
