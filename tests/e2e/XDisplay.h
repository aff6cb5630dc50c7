// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>

// The X server named by $DISPLAY, asked directly: a few milliseconds a question, so the moment
// an answer holds is known closely.
namespace orvel::e2e::x11 {

// The colour of one pixel of the screen, as red, green and blue.
std::optional<std::array<int, 3>> readScreenPixel(int x, int y);

// How many pixels of the screen's rectangle are near white.
int countBrightPixels(int x, int y, int width, int height);

// The innermost window that takes the pointer where it is, as the X server decides where a click
// goes: a window whose input region leaves the pointer out is passed over. 0 when unknown.
unsigned long windowUnderPointer();

// Where the pointer is on screen, or none when unknown.
std::optional<std::pair<int, int>> pointerPosition();

// A viewable top-level window whose title (_NET_WM_NAME, else WM_NAME) is exactly this, or 0.
unsigned long findClientWindow(const std::string& title);

// Whether the window manager has taken the window over: it sets WM_STATE on the windows it
// manages.
bool isManaged(unsigned long window);

struct Geometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Where the window's own area is on screen, inside any frame the window manager gave it.
std::optional<Geometry> geometry(unsigned long window);

// The window that the window manager says has the keyboard (_NET_ACTIVE_WINDOW), or 0.
unsigned long activeWindow();

// The name the running window manager gives itself (_NET_WM_NAME of its check window), and
// whether a compositing manager holds the screen's compositing selection.
std::string windowManagerName();
bool isCompositing();

}  // namespace orvel::e2e::x11
