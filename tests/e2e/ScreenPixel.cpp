#include "e2e/ScreenPixel.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace orvel {

std::optional<std::array<int, 3>> readScreenPixel(int x, int y) {
  // One connection for the whole run of the tests.
  static Display* display = XOpenDisplay(nullptr);
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

}  // namespace orvel
