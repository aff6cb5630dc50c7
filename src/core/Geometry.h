// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace orvel {

// A rectangle in screen points; on X11 the origin is the top-left corner and y grows downwards.
struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double minX() const { return x; }
  double minY() const { return y; }
  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  double midX() const { return x + width / 2; }
  double midY() const { return y + height / 2; }
  bool isEmpty() const { return width <= 0 || height <= 0; }
  bool intersects(const Rect& other) const;
  // Zero when the rectangles do not overlap.
  double intersectionArea(const Rect& other) const;
  bool operator==(const Rect&) const = default;
};

// A point in screen points, in the same coordinates as Rect.
struct Point {
  double x = 0;
  double y = 0;
};

// One monitor as the window helpers see it: the area windows may use (without panels and docks).
struct Screen {
  Rect visibleFrame;
};

}  // namespace orvel
