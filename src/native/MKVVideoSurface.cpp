// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/MKVVideoSurface.h"

#include <algorithm>

namespace orvel {

MKVVideoSurface::Frame MKVVideoSurface::videoFrame(double width, double height, double zoom) {
  const double growth = zoom >= 1 ? std::min(zoom, 3.0) - 1 : 0;
  return {-width * growth / 2, -height * growth / 2, width * (1 + growth), height * (1 + growth)};
}

}  // namespace orvel
