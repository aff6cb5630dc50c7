// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/PlayerEqualizer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "FakeMediaEngine.h"
#include "support/ManualMainQueue.h"
#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

// A web route that records what it was given and when it was taken down.
struct RecordingRoute final : WebAudioEqualizer {
  explicit RecordingRoute(int& counter) : alive(counter) { ++alive; }
  ~RecordingRoute() override { --alive; }
  void update(const std::vector<double>& newGains, double newVolume) override {
    gains = newGains;
    volume = newVolume;
  }
  void setVolume(double newVolume) override { volume = newVolume; }
  int& alive;
  std::vector<double> gains;
  double volume = -1;
};

struct EqualizerFixture : ::testing::Test {
  ManualMainQueue queue;
  MemoryDefaults defaults;
  FakeMediaEngine engine;
  MKVPlayback playback{queue, engine};
  int routesAlive = 0;
  int routesMade = 0;
  std::optional<std::string> failure;
  RecordingRoute* lastRoute = nullptr;
  std::function<void(const std::string&)> onFailure;

  std::unique_ptr<PlayerEqualizer> make() {
    auto equalizer = std::make_unique<PlayerEqualizer>(
        defaults, [this](const std::vector<double>& gains, double volume,
                         std::function<void(const std::string&)> failed) {
          onFailure = std::move(failed);
          ++routesMade;
          if (failure) {
            return Result<std::shared_ptr<WebAudioEqualizer>>::failure(*failure);
          }
          auto route = std::make_shared<RecordingRoute>(routesAlive);
          route->update(gains, volume);
          lastRoute = route.get();
          return Result<std::shared_ptr<WebAudioEqualizer>>(
              std::shared_ptr<WebAudioEqualizer>(route));
        });
    equalizer->setNativePlayback(&playback);
    return equalizer;
  }

  void store(PropertyList::Array values) {
    defaults.set(PlayerEqualizer::kGainsKey, PropertyList(std::move(values)));
  }
  std::vector<double> stored() const {
    std::vector<double> values;
    auto found = defaults.values().find(PlayerEqualizer::kGainsKey);
    if (found != defaults.values().end()) {
      for (const auto& value : *found->second.get<PropertyList::Array>()) {
        values.push_back(*value.get<double>());
      }
    }
    return values;
  }
};

TEST_F(EqualizerFixture, SixStoredGainsBecomeSevenAndAreStoredBack) {
  store({1.0, 2.0, 4.0, 6.0, 8.0, 10.0});
  auto equalizer = make();
  const std::vector<double> expected{1, 2, 3, 4, 6, 7, 8};
  EXPECT_EQ(equalizer->gains(), expected);
  EXPECT_EQ(stored(), expected);

  // Neighbours near the largest double still have a finite mean, which can be stored back.
  const double huge = 1.7e308;
  store({0.0, huge, huge, -huge, -huge, 0.0});
  const std::vector<double> migrated{0, huge, huge, huge, -huge, -huge, -huge};
  EXPECT_EQ(make()->gains(), migrated);
  EXPECT_EQ(stored(), migrated);
}

TEST_F(EqualizerFixture, UnusableStoredGainsLoadFlatAndStayUnstored) {
  store({1.0, 2.0, 3.0, 4.0, 5.0});
  EXPECT_EQ(make()->gains(), std::vector<double>(7, 0.0));
  store({1.0, 2.0, 3.0, PropertyList("4"), 5.0, 6.0, 7.0});
  const std::size_t writes = defaults.writeCount();
  EXPECT_EQ(make()->gains(), std::vector<double>(7, 0.0));
  EXPECT_EQ(defaults.writeCount(), writes);
  // Out-of-range stored values are kept as they are.
  store({20.0, 0.0, 0.0, 0.0, 0.0, 0.0, std::int64_t{-30}});
  EXPECT_EQ(make()->gains(), (std::vector<double>{20, 0, 0, 0, 0, 0, -30}));
}

TEST_F(EqualizerFixture, GainsAreClampedAndBadOnesIgnored) {
  auto equalizer = make();
  equalizer->setGain(20, 3);
  equalizer->setGain(1, 7);
  equalizer->setGain(std::nan(""), 0);
  EXPECT_EQ(stored(), (std::vector<double>{0, 0, 0, 12, 0, 0, 0}));
  equalizer->resetGains();
  EXPECT_EQ(stored(), std::vector<double>(7, 0.0));

  // Flat gains are not written again, and nothing is routed.
  const std::size_t writes = defaults.writeCount();
  equalizer->setEnabled(true);
  equalizer->updatePlayback(false, true, 1.0);
  const int made = routesMade;
  equalizer->resetGains();
  EXPECT_EQ(defaults.writeCount(), writes);
  EXPECT_EQ(routesMade, made);
}

TEST_F(EqualizerFixture, TheWebRouteRunsOnlyWhileAWebVideoPlays) {
  auto equalizer = make();
  equalizer->setGain(6, 2);
  equalizer->setEnabled(true);
  equalizer->updatePlayback(false, false, 0.4);
  EXPECT_EQ(routesAlive, 0);
  EXPECT_FALSE(equalizer->errorMessage());

  equalizer->updatePlayback(false, true, 0.4);
  ASSERT_EQ(routesAlive, 1);
  EXPECT_EQ(lastRoute->gains[2], 6);
  EXPECT_DOUBLE_EQ(lastRoute->volume, 0.4);
  EXPECT_FALSE(playback.equalizerEnabled());

  // A running route is updated, not rebuilt.
  equalizer->setGain(-3, 0);
  equalizer->setVolume(1.7);
  EXPECT_EQ(routesMade, 1);
  EXPECT_EQ(lastRoute->gains[0], -3);
  EXPECT_DOUBLE_EQ(lastRoute->volume, 1.0);

  equalizer->updatePlayback(false, false, 1.0);
  EXPECT_EQ(routesAlive, 0);

  // An MKV is equalized by the engine itself, playing or not.
  equalizer->updatePlayback(true, false, 1.0);
  EXPECT_EQ(routesAlive, 0);
  EXPECT_TRUE(playback.equalizerEnabled());
  EXPECT_EQ(playback.equalizerGains(), equalizer->gains());
  equalizer->setEnabled(false);
  EXPECT_FALSE(playback.equalizerEnabled());
}

TEST_F(EqualizerFixture, ARouteThatCannotBeMadeIsExplainedAndRetriedLater) {
  auto equalizer = make();
  failure = "Pause audio in other WebKit apps to use Orvel player’s EQ.";
  equalizer->setEnabled(true);
  equalizer->updatePlayback(false, true, 1.0);
  EXPECT_EQ(equalizer->errorMessage(), failure);
  EXPECT_FALSE(equalizer->isWebAudioRunning());
  EXPECT_FALSE(playback.equalizerEnabled());

  failure.reset();
  equalizer->setGain(2, 4);
  EXPECT_TRUE(equalizer->isWebAudioRunning());
  EXPECT_FALSE(equalizer->errorMessage());

  // A route that breaks later is dropped and explained.
  onFailure("YouTube audio EQ needs a PulseAudio or PipeWire sound server.");
  EXPECT_FALSE(equalizer->isWebAudioRunning());
  EXPECT_EQ(routesAlive, 0);
  EXPECT_EQ(equalizer->errorMessage(),
            "YouTube audio EQ needs a PulseAudio or PipeWire sound server.");
  equalizer->setGain(3, 4);
  EXPECT_TRUE(equalizer->isWebAudioRunning());

  // Switching off takes the route down at once.
  equalizer->setEnabled(false);
  EXPECT_EQ(routesAlive, 0);
}

}  // namespace
}  // namespace orvel
