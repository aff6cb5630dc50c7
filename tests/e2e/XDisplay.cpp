// SPDX-License-Identifier: GPL-3.0-or-later

#include "e2e/XDisplay.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace orvel::e2e::x11 {

namespace {

// One connection for the whole run of the tests, used by one thread at a time. A window can go
// between two questions about it: the error that follows is an answer, not a reason to exit.
Display* display() {
  static Display* opened = [] {
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    return XOpenDisplay(nullptr);
  }();
  return opened;
}

std::mutex& displayLock() {
  static std::mutex lock;
  return lock;
}

// A property of a window as bytes, or nothing when it is not set.
std::optional<std::string> property(Display* display, ::Window window, const char* name,
                                    Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1 << 16, False,
                         type, &actualType, &format, &count, &remaining, &data) != Success ||
      actualType == None) {
    if (data) {
      XFree(data);
    }
    return std::nullopt;
  }
  std::string bytes(reinterpret_cast<const char*>(data), count * (format / 8));
  if (format == 32) {
    // Xlib hands 32-bit items over as longs.
    bytes.assign(reinterpret_cast<const char*>(data), count * sizeof(long));
  }
  XFree(data);
  return bytes;
}

std::string titleOf(Display* display, ::Window window) {
  if (auto name =
          property(display, window, "_NET_WM_NAME", XInternAtom(display, "UTF8_STRING", False))) {
    return *name;
  }
  return property(display, window, "WM_NAME", AnyPropertyType).value_or("");
}

bool viewable(Display* display, ::Window window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// Depth-first through the window tree: the window manager's frames hold the clients.
::Window findBelow(Display* display, ::Window parent, const std::string& title) {
  ::Window root = 0, up = 0;
  ::Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) {
    return 0;
  }
  ::Window found = 0;
  for (unsigned index = count; index-- > 0 && !found;) {
    if (!viewable(display, children[index])) {
      continue;
    }
    if (titleOf(display, children[index]) == title) {
      found = children[index];
    } else {
      found = findBelow(display, children[index], title);
    }
  }
  if (children) {
    XFree(children);
  }
  return found;
}

}  // namespace

std::optional<std::array<int, 3>> readScreenPixel(int x, int y) {
  std::lock_guard hold(displayLock());
  Display* display = x11::display();
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

int countBrightPixels(int x, int y, int width, int height) {
  std::lock_guard hold(displayLock());
  Display* display = x11::display();
  if (!display || width <= 0 || height <= 0) {
    return 0;
  }
  std::unique_ptr<XImage, int (*)(XImage*)> image(
      XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                static_cast<unsigned>(height), AllPlanes, ZPixmap),
      [](XImage* owned) { return XDestroyImage(owned); });
  if (!image) {
    return 0;
  }
  int bright = 0;
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const unsigned long pixel = XGetPixel(image.get(), column, row);
      bright += ((pixel >> 16) & 0xFF) > 200 && ((pixel >> 8) & 0xFF) > 200 && (pixel & 0xFF) > 200;
    }
  }
  return bright;
}

unsigned long windowUnderPointer() {
  std::lock_guard hold(displayLock());
  Display* display = x11::display();
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

std::optional<std::pair<int, int>> pointerPosition() {
  std::lock_guard hold(displayLock());
  Display* display = x11::display();
  if (!display) {
    return std::nullopt;
  }
  ::Window root = 0, child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y,
                     &mask)) {
    return std::nullopt;
  }
  return std::pair{rootX, rootY};
}

unsigned long findClientWindow(const std::string& title) {
  std::lock_guard hold(displayLock());
  Display* display = x11::display();
  return display ? findBelow(display, DefaultRootWindow(display), title) : 0;
}

bool isManaged(unsigned long window) {
  std::lock_guard hold(displayLock());
  Display* display = x11::display();
  return display && property(display, window, "WM_STATE", AnyPropertyType).has_value();
}

std::optional<Geometry> geometry(unsigned long window) {
  std::lock_guard hold(displayLock());
  Display* display = x11::display();
  if (!display) {
    return std::nullopt;
  }
  ::Window root = 0, child = 0;
  int x = 0, y = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  if (!XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth) ||
      !XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child)) {
    return std::nullopt;
  }
  return Geometry{x, y, static_cast<int>(width), static_cast<int>(height)};
}

std::string windowManagerName() {
  std::lock_guard hold(displayLock());
  Display* display = x11::display();
  if (!display) {
    return "";
  }
  const auto check =
      property(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
  if (!check || check->size() < sizeof(long)) {
    return "";
  }
  long window = 0;
  std::memcpy(&window, check->data(), sizeof window);
  const auto name = property(display, static_cast<::Window>(window), "_NET_WM_NAME",
                             XInternAtom(display, "UTF8_STRING", False));
  return name.value_or("");
}

bool isCompositing() {
  std::lock_guard hold(displayLock());
  Display* display = x11::display();
  if (!display) {
    return false;
  }
  const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
  return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
}

unsigned long activeWindow() {
  std::lock_guard hold(displayLock());
  Display* display = x11::display();
  if (!display) {
    return 0;
  }
  const auto active =
      property(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
  if (!active || active->size() < sizeof(long)) {
    return 0;
  }
  long window = 0;
  std::memcpy(&window, active->data(), sizeof window);
  return static_cast<unsigned long>(window);
}

}  // namespace orvel::e2e::x11
