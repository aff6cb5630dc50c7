// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/MKVVideoSurface.h"

#include <gtest/gtest.h>

#include <limits>

namespace orvel {
namespace {

using Frame = MKVVideoSurface::Frame;

TEST(MKVVideoSurface, ZoomGrowsThePictureAroundTheCentreBetweenOneAndThree) {
  EXPECT_EQ(MKVVideoSurface::videoFrame(640, 360, 1), (Frame{0, 0, 640, 360}));
  EXPECT_EQ(MKVVideoSurface::videoFrame(640, 360, 2), (Frame{-320, -180, 1280, 720}));
  EXPECT_EQ(MKVVideoSurface::videoFrame(640, 360, 1.5), (Frame{-160, -90, 960, 540}));
  EXPECT_EQ(MKVVideoSurface::videoFrame(640, 360, 3), (Frame{-640, -360, 1920, 1080}));

  EXPECT_EQ(MKVVideoSurface::videoFrame(640, 360, 0.5), MKVVideoSurface::videoFrame(640, 360, 1));
  EXPECT_EQ(MKVVideoSurface::videoFrame(640, 360, 5), MKVVideoSurface::videoFrame(640, 360, 3));
  EXPECT_EQ(MKVVideoSurface::videoFrame(640, 360, std::numeric_limits<double>::quiet_NaN()),
            MKVVideoSurface::videoFrame(640, 360, 1));
}

TEST(MKVVideoSurface, UsesItsOwnZoomAndTellsTheViewWhenToLayOutAgain) {
  MKVVideoSurface surface;
  EXPECT_EQ(surface.zoom, 1.0);
  int requests = 0;
  ObserverToken token = surface.observeLayoutRequests([&] { ++requests; });
  surface.zoom = 2;
  surface.setNeedsLayout();
  EXPECT_EQ(requests, 1);
  EXPECT_EQ(surface.videoFrame(100, 50), (Frame{-50, -25, 200, 100}));
}

}  // namespace
}  // namespace orvel
