// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>

#include "core/Cancellable.h"
#include "core/ObserverList.h"

namespace orvel {

// The native video view's model: the zoom the toolbar chose and where the picture goes for it.
// The platform view draws the picture and listens for layout requests.
class MKVVideoSurface {
 public:
  // A rectangle in the surface's coordinates, origin at its top left.
  struct Frame {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const Frame&) const = default;
  };

  // 1 shows the whole picture; 2 shows its middle half at twice the size; up to 3.
  double zoom = 1.0;

  // Where the video view goes in a surface of this size: the bounds grown evenly on every side
  // by the zoom beyond 1, centred; what falls outside is clipped. Zooms below 1 (or not a
  // number) lay out as 1, zooms above 3 as 3.
  static Frame videoFrame(double width, double height, double zoom);
  Frame videoFrame(double width, double height) const { return videoFrame(width, height, zoom); }

  // Asks the view to lay the picture out again, after `zoom` changed.
  void setNeedsLayout() { layoutRequests_.notify(); }
  [[nodiscard]] ObserverToken observeLayoutRequests(std::function<void()> observer) {
    return layoutRequests_.add(std::move(observer));
  }

 private:
  ObserverList<> layoutRequests_;
};

}  // namespace orvel
