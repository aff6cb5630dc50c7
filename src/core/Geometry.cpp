// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/Geometry.h"

#include <algorithm>

namespace orvel {

bool Rect::intersects(const Rect& other) const {
  return intersectionArea(other) > 0;
}

double Rect::intersectionArea(const Rect& other) const {
  const double left = std::max(minX(), other.minX());
  const double right = std::min(maxX(), other.maxX());
  const double top = std::max(minY(), other.minY());
  const double bottom = std::min(maxY(), other.maxY());
  if (right <= left || bottom <= top) {
    return 0;
  }
  return (right - left) * (bottom - top);
}

}  // namespace orvel
