// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mpv/MpvSoftwareVideoArea.h"
#include "platform/mpv/MpvVideoArea.h"

#include <gtest/gtest.h>
#include <gtkmm/init.h>
#include <gtkmm/window.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/GlibMainQueue.h"
#include "native/MKVPlayback.h"
#include "native/MpvTestSupport.h"
#include "platform/mpv/MpvMediaEngine.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

constexpr double kTimeout = 30;
constexpr int kWidth = 240;
constexpr int kHeight = 180;

struct Colour {
  int red = 0;
  int green = 0;
  int blue = 0;
  bool isGreen() const { return green > 100 && red < 60 && blue < 60; }
  bool isWhite() const { return red > 200 && green > 200 && blue > 200; }
  bool isBlue() const { return blue > 150 && red < 60 && green < 60; }
};

// Both views: the GL area, and the software view used with GTK's Cairo renderer.
template <class Area>
class MpvVideoAreaTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    hasDisplay_ = gtk_init_check();
    if (hasDisplay_) {
      Gtk::init_gtkmm_internals();
    }
  }

  void SetUp() override {
    if (!hasDisplay_) {
      GTEST_SKIP() << "needs a display";
    }
    // Green with a white box over the middle third of each side; then plain blue.
    if (!makeClip(boxed_, {"-f", "lavfi", "-i",
                           "color=c=green:s=240x180:r=25:d=1,drawbox=x=80:y=60:w=80:h=60:"
                           "color=white:t=fill",
                           "-c:v", "ffv1"}) ||
        !makeClip(blue_,
                  {"-f", "lavfi", "-i", "color=c=blue:s=240x180:r=25:d=1", "-c:v", "ffv1"})) {
      GTEST_SKIP() << "ffmpeg is needed to make the test media";
    }
    window_ = std::make_unique<Gtk::Window>();
    area_ = Gtk::make_managed<Area>(engine_, playback_.surface());
    window_->set_child(*area_);
    window_->set_default_size(kWidth, kHeight);
    window_->present();
    ASSERT_TRUE(
        runLoopUntil([&] { return area_->get_realized() && area_->get_width() > 0; }, kTimeout));
  }

  void TearDown() override {
    playback_.stop();
    window_.reset();
    // Redraws still queued for the area find it gone.
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
  }

  // The colour the window shows at this point of the area, as GTK composed it.
  Colour colourAt(double x, double y) {
    GdkPaintable* paintable = gtk_widget_paintable_new(GTK_WIDGET(area_->gobj()));
    const int width = area_->get_width();
    const int height = area_->get_height();
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(paintable, GDK_SNAPSHOT(snapshot), width, height);
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    g_object_unref(paintable);
    if (!node) {
      return {};
    }
    GskRenderer* renderer = gtk_native_get_renderer(GTK_NATIVE(window_->gobj()));
    GdkTexture* texture = gsk_renderer_render_texture(renderer, node, nullptr);
    gsk_render_node_unref(node);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    gdk_texture_download(texture, pixels.data(), static_cast<gsize>(width) * 4);
    g_object_unref(texture);
    const std::size_t offset =
        (static_cast<std::size_t>(y * height) * width + static_cast<std::size_t>(x * width)) * 4;
    // Cairo's ARGB32 in memory order on a little-endian machine: blue, green, red, alpha.
    return {pixels[offset + 2], pixels[offset + 1], pixels[offset]};
  }

  bool shows(double x, double y, bool (Colour::*check)() const) {
    return runLoopUntil([&] { return (colourAt(x, y).*check)(); }, kTimeout);
  }

  inline static bool hasDisplay_ = false;
  TemporaryFolder folder_;
  std::string boxed_ = folder_.file("boxed.mkv");
  std::string blue_ = folder_.file("blue.mkv");
  MpvMediaEngine engine_{{{"ao", "null"}}};
  GlibMainQueue queue_;
  MKVPlayback playback_{queue_, engine_};
  std::unique_ptr<Gtk::Window> window_;
  Area* area_ = nullptr;
};

using Areas = ::testing::Types<MpvVideoArea, MpvSoftwareVideoArea>;
TYPED_TEST_SUITE(MpvVideoAreaTest, Areas);

TYPED_TEST(MpvVideoAreaTest, ShowsThePictureAndZoomsIntoItsMiddle) {
  this->playback_.play(mkvFile(this->boxed_), 0, 100);
  EXPECT_TRUE(this->shows(0.1, 0.1, &Colour::isGreen));
  EXPECT_TRUE(this->shows(0.5, 0.5, &Colour::isWhite));
  EXPECT_GT(this->area_->renderedFrames(), 0);

  // Zoom 3 shows the middle third, the white box, over the whole area; also once the clip has
  // ended on its last picture.
  this->playback_.surface().zoom = 3;
  this->playback_.surface().setNeedsLayout();
  EXPECT_TRUE(this->shows(0.1, 0.1, &Colour::isWhite));
  ASSERT_TRUE(runLoopUntil(
      [&] { return this->playback_.snapshot() && this->playback_.snapshot()->state == 0; },
      kTimeout));
  this->playback_.surface().zoom = 0.5;
  this->playback_.surface().setNeedsLayout();
  EXPECT_TRUE(this->shows(0.1, 0.1, &Colour::isGreen));
}

TYPED_TEST(MpvVideoAreaTest, EachNewPlayerDrawsIntoTheSameArea) {
  this->playback_.play(mkvFile(this->boxed_), 0, 100);
  EXPECT_TRUE(this->shows(0.5, 0.5, &Colour::isWhite));
  this->playback_.play(mkvFile(this->blue_), 0, 100);
  EXPECT_TRUE(this->shows(0.5, 0.5, &Colour::isBlue));
  this->playback_.togglePlayPause();
  this->playback_.stop();
}

}  // namespace
}  // namespace orvel
