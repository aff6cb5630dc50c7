// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/MKVPlayback.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "native/FakeMediaEngine.h"
#include "support/ManualMainQueue.h"

namespace orvel {
namespace {

using Snapshot = MKVPlayback::Snapshot;
using State = MediaEngineState;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

StreamingMedia mkv(const std::string& path) {
  StreamingMedia media{.providerID = "mkv",
                       .providerName = "MKV",
                       .mediaID = "mkv:file://" + path,
                       .playbackURL = *Url::parse("file://" + path),
                       .defaultTitle = "clip"};
  return media;
}

class MKVPlaybackTest : public ::testing::Test {
 protected:
  MKVPlaybackTest()
      : token_(playback_.observeUpdates([this](const Snapshot& s) { updates_.push_back(s); })) {}

  FakeMediaEnginePlayer& player() { return engine_.latest(); }
  // Makes the latest player report playback at this position, as a running engine would.
  void playing(std::int64_t milliseconds, std::int64_t length) {
    player().currentState = State::playing;
    player().playing = true;
    player().seekable = true;
    player().milliseconds = milliseconds;
    player().lengthMilliseconds = length;
  }
  void ended(std::int64_t milliseconds, std::int64_t length) {
    playing(milliseconds, length);
    player().currentState = State::ended;
    player().playing = false;
  }

  ManualMainQueue queue_;
  FakeMediaEngine engine_;
  MKVPlayback playback_{queue_, engine_};
  std::vector<Snapshot> updates_;
  ObserverToken token_;
};

TEST_F(MKVPlaybackTest, PlayStartsAFreshPlayerAndPollsItEveryQuarterSecond) {
  const StreamingMedia media = mkv("/videos/a.mkv");
  playback_.play(media, 0, 80);
  ASSERT_EQ(engine_.players.size(), 1u);
  EXPECT_EQ(player().media, media.playbackURL);
  EXPECT_EQ(player().playCount, 1);
  EXPECT_EQ(player().volumes, std::vector<int>{80});
  playing(1500, 60000);

  queue_.advance(0.24);
  EXPECT_TRUE(updates_.empty());
  queue_.advance(0.01);
  ASSERT_EQ(updates_.size(), 1u);
  EXPECT_EQ(updates_[0], (Snapshot{playback_.sessionID(), media.mediaID, 1.5, 60.0, 1}));
  EXPECT_EQ(playback_.snapshot(), updates_[0]);

  player().milliseconds = 1750;
  queue_.advance(0.75);
  ASSERT_EQ(updates_.size(), 4u);
  EXPECT_EQ(updates_.back().time, 1.75);

  playback_.play(mkv("/videos/b.mkv"), 0, 80);
  EXPECT_EQ(engine_.players.size(), 2u);
}

TEST_F(MKVPlaybackTest, MapsEngineStatesToTheWebPlayersCodes) {
  EXPECT_EQ(MKVPlayback::stateCode(State::ended, false), 0);
  EXPECT_EQ(MKVPlayback::stateCode(State::error, false), -1);
  EXPECT_EQ(MKVPlayback::stateCode(State::playing, false), 1);
  EXPECT_EQ(MKVPlayback::stateCode(State::paused, true), 2);
  for (State other : {State::stopped, State::opening, State::buffering}) {
    EXPECT_EQ(MKVPlayback::stateCode(other, true), 1);
    EXPECT_EQ(MKVPlayback::stateCode(other, false), 3);
  }
}

TEST_F(MKVPlaybackTest, PublishesTheLastSnapshotOfAnEndAndStopsPolling) {
  playback_.play(mkv("/videos/a.mkv"), 0, 100);
  ended(4960, 5000);
  queue_.advance(0.25);
  ASSERT_EQ(updates_.size(), 1u);
  EXPECT_EQ(updates_[0].state, 0);
  EXPECT_EQ(updates_[0].time, 4.96);

  queue_.advance(5);
  player().report(State::ended);
  queue_.runUntilIdle();
  EXPECT_EQ(updates_.size(), 1u);
  EXPECT_EQ(queue_.pendingCount(), 0u);
}

TEST_F(MKVPlaybackTest, AnEndWithNeitherPositionNorLengthOrAnErrorIsAFailure) {
  playback_.play(mkv("/videos/unreadable.mkv"), 0, 100);
  ended(0, 0);
  queue_.advance(0.25);
  ASSERT_EQ(updates_.size(), 1u);
  EXPECT_EQ(updates_[0].state, -1);

  playback_.play(mkv("/videos/broken.mkv"), 0, 100);
  player().report(State::error);
  queue_.runUntilIdle();
  ASSERT_EQ(updates_.size(), 2u);
  EXPECT_EQ(updates_[1].state, -1);
  queue_.advance(1);
  EXPECT_EQ(updates_.size(), 2u);

  // Length alone is enough to count as a real end.
  playback_.play(mkv("/videos/a.mkv"), 0, 100);
  ended(0, 5000);
  queue_.advance(0.25);
  EXPECT_EQ(updates_.back().state, 0);
}

TEST_F(MKVPlaybackTest, TheStartPositionWaitsUntilTheMediaPlaysAndCanSeek) {
  playback_.play(mkv("/videos/a.mkv"), 95.4, 100);
  player().seekable = true;
  player().currentState = State::opening;
  queue_.advance(0.25);
  playing(0, 600000);
  player().seekable = false;
  queue_.advance(0.25);
  EXPECT_TRUE(player().seeks.empty());

  player().seekable = true;
  queue_.advance(0.25);
  EXPECT_EQ(player().seeks, std::vector<std::int64_t>{95400});
  queue_.advance(1);
  EXPECT_EQ(player().seeks.size(), 1u);
}

// The store may not know the length (an old store, a library from another machine): the length
// the engine reads decides, and an unknown one changes nothing.
TEST_F(MKVPlaybackTest, AStartInTheLastTwoSecondsOfTheLengthTheEngineReadsStartsOver) {
  for (double start : {30.0, 28.5, 40.0}) {
    playback_.play(mkv("/videos/a.mkv"), start, 100);
    playing(0, 30000);
    queue_.advance(0.25);
    EXPECT_TRUE(player().seeks.empty()) << start;
  }
  playback_.play(mkv("/videos/a.mkv"), 27.5, 100);
  playing(0, 30000);
  queue_.advance(0.25);
  EXPECT_EQ(player().seeks, std::vector<std::int64_t>{27500});
  playback_.play(mkv("/videos/a.mkv"), 30, 100);
  playing(0, 0);
  queue_.advance(0.25);
  EXPECT_EQ(player().seeks, std::vector<std::int64_t>{30000});
}

TEST_F(MKVPlaybackTest, TheSpeedReachesThePlayerAndEveryLaterOne) {
  playback_.play(mkv("/videos/a.mkv"), 0, 100);
  EXPECT_TRUE(player().rates.empty()) << "a player starts at its own speed";
  playback_.setSpeed(1.5);
  EXPECT_EQ(player().rates, std::vector<double>{1.5});
  playback_.play(mkv("/videos/b.mkv"), 0, 100);
  EXPECT_EQ(player().rates, std::vector<double>{1.5});
  playback_.setSpeed(std::numeric_limits<double>::quiet_NaN());
  playback_.setSpeed(-1);
  EXPECT_EQ(player().rates, std::vector<double>{1.5});
}

TEST_F(MKVPlaybackTest, NoStartPositionNegativeOrNotANumberNeverSeeks) {
  for (double start : {0.0, -3.0, kNaN, -kInfinity}) {
    playback_.play(mkv("/videos/a.mkv"), start, 100);
    playing(0, 60000);
    queue_.advance(1);
    EXPECT_TRUE(player().seeks.empty()) << start;
  }
}

TEST_F(MKVPlaybackTest, EngineStateChangesFromAnyThreadArePolledOnTheMainQueue) {
  playback_.play(mkv("/videos/a.mkv"), 0, 100);
  playing(2000, 60000);
  std::thread engineThread([this] { player().report(State::paused); });
  engineThread.join();
  EXPECT_TRUE(updates_.empty());

  queue_.runUntilIdle();
  ASSERT_EQ(updates_.size(), 1u);
  EXPECT_EQ(updates_[0].state, 2) << "the reported state, not the one read later";
}

TEST_F(MKVPlaybackTest, AReplacedPlayersStateChangesAndSessionAreStale) {
  playback_.play(mkv("/videos/a.mkv"), 0, 100);
  FakeMediaEnginePlayer& first = player();
  playing(1000, 60000);
  queue_.advance(0.25);
  const std::string firstSession = updates_.back().sessionID;
  first.report(State::ended);  // queued, not yet delivered

  playback_.play(mkv("/videos/b.mkv"), 0, 100);
  EXPECT_NE(playback_.sessionID(), firstSession);
  EXPECT_FALSE(first.hasObserver());
  EXPECT_GE(first.stopCount, 1);
  queue_.runUntilIdle();
  EXPECT_EQ(updates_.size(), 1u);

  playing(10, 60000);
  queue_.advance(0.25);
  ASSERT_EQ(updates_.size(), 2u);
  EXPECT_EQ(updates_[1].sessionID, playback_.sessionID());
  EXPECT_EQ(updates_[1].mediaID, "mkv:file:///videos/b.mkv");
}

TEST_F(MKVPlaybackTest, StopEndsTheSessionAndDetachesThePlayer) {
  playback_.play(mkv("/videos/a.mkv"), 30, 100);
  playing(1000, 60000);
  queue_.advance(0.25);
  const std::string session = playback_.sessionID();

  playback_.stop();
  EXPECT_NE(playback_.sessionID(), session);
  EXPECT_EQ(playback_.snapshot(), std::nullopt);
  EXPECT_EQ(player().stopCount, 1);
  EXPECT_FALSE(player().media);
  EXPECT_FALSE(player().hasObserver());
  queue_.advance(1);
  EXPECT_EQ(updates_.size(), 1u);

  // Nothing left to resume: the toggle only passes play on to the idle player.
  playback_.togglePlayPause();
  EXPECT_EQ(engine_.players.size(), 1u);
}

TEST_F(MKVPlaybackTest, TogglePausesResumesAndRestartsAfterTheEnd) {
  const StreamingMedia media = mkv("/videos/a.mkv");
  playback_.play(media, 12, 70);
  playing(5000, 60000);
  playback_.togglePlayPause();
  EXPECT_EQ(player().pauseCount, 1);
  player().playing = false;
  playback_.togglePlayPause();
  EXPECT_EQ(player().playCount, 2);

  ended(60000, 60000);
  player().currentVolume = 37;
  queue_.advance(0.25);
  const std::string endedSession = playback_.sessionID();
  playback_.togglePlayPause();
  ASSERT_EQ(engine_.players.size(), 2u);
  EXPECT_EQ(player().media, media.playbackURL);
  EXPECT_EQ(player().volumes, std::vector<int>{37});
  EXPECT_NE(playback_.sessionID(), endedSession);
  playing(0, 60000);
  queue_.advance(0.25);
  EXPECT_TRUE(player().seeks.empty()) << "restarts at 0, not at the first start time";
  EXPECT_EQ(updates_.back().state, 1);
}

TEST_F(MKVPlaybackTest, ARestartAfterTheEndUsesFullVolumeWhenThePlayerHadNoAudio) {
  engine_.nextPlayerHasAudio = false;
  playback_.play(mkv("/videos/a.mkv"), 0, 70);
  EXPECT_TRUE(player().volumes.empty());
  ended(3000, 3000);
  queue_.advance(0.25);
  engine_.nextPlayerHasAudio = true;
  playback_.togglePlayPause();
  EXPECT_EQ(player().volumes, std::vector<int>{100});
}

TEST_F(MKVPlaybackTest, AnObserverMayStartTheNextMediaFromTheFinalSnapshot) {
  ObserverToken advance = playback_.observeUpdates([this](const Snapshot& snapshot) {
    if (snapshot.state == 0) {
      playback_.play(mkv("/videos/next.mkv"), 0, 100);
    }
  });
  playback_.play(mkv("/videos/a.mkv"), 0, 100);
  ended(3000, 3000);
  queue_.advance(0.25);
  ASSERT_EQ(engine_.players.size(), 2u);
  playing(250, 9000);
  queue_.advance(0.25);
  EXPECT_EQ(updates_.back().mediaID, "mkv:file:///videos/next.mkv");
  EXPECT_EQ(updates_.back().state, 1);
}

TEST_F(MKVPlaybackTest, SeekingNeedsASeekableMediaAndClampsToTheEnginesRange) {
  playback_.seek(10);  // no player yet
  playback_.play(mkv("/videos/a.mkv"), 0, 100);
  playback_.seek(10);
  EXPECT_TRUE(player().seeks.empty());

  player().seekable = true;
  for (double seconds : {1.2345, -1.0, 3000000.0, kNaN, kInfinity}) {
    playback_.seek(seconds);
  }
  EXPECT_EQ(player().seeks, (std::vector<std::int64_t>{1234, 0, 2147483647}));
}

TEST_F(MKVPlaybackTest, VolumeIsClampedToItsRangeAndTruncated) {
  playback_.play(mkv("/videos/a.mkv"), 0, 150);
  for (double volume : {42.9, -5.0, kNaN, 100.0}) {
    playback_.setVolume(volume);
  }
  EXPECT_EQ(player().volumes, (std::vector<int>{100, 42, 0, 100}));

  engine_.nextPlayerHasAudio = false;
  playback_.play(mkv("/videos/a.mkv"), 0, 50);
  playback_.setVolume(60);
  EXPECT_TRUE(player().volumes.empty());
}

TEST_F(MKVPlaybackTest, TheEqualizerIsInstalledOnlyWhenEnabledWithSevenGains) {
  playback_.setEqualizerEnabled(true);
  playback_.setEqualizerGains({-20, 1.5, kNaN, 3, 12.5, -12, 0});
  playback_.play(mkv("/videos/a.mkv"), 0, 100);
  EXPECT_EQ(player().equalizer, (std::vector<double>{-12, 1.5, 0, 3, 12, -12, 0}));

  playback_.setEqualizerGains({1, 2, 3, 4, 5, 6});
  playback_.applyEqualizer();
  EXPECT_EQ(player().equalizer, std::nullopt);

  playback_.setEqualizerGains({1, 2, 3, 4, 5, 6, 7});
  playback_.applyEqualizer();
  EXPECT_TRUE(player().equalizer);
  playback_.setEqualizerEnabled(false);
  playback_.applyEqualizer();
  EXPECT_EQ(player().equalizer, std::nullopt);
  EXPECT_EQ(player().equalizerChanges, 4);
}

TEST(MKVPlaybackEqualizer, EachBandLandsOnTheNearestEngineBandAndTheLaterOneWins) {
  const std::vector<double> gains{1, 2, 3, 4, 5, 6, 7};
  const std::vector<double> tenBands{60, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
  EXPECT_EQ(MKVPlayback::engineAmplifications(gains, tenBands),
            (std::vector<double>{1, 0, 2, 3, 4, 5, 7, 0, 0, 0}));
  EXPECT_EQ(MKVPlayback::engineAmplifications(gains, {62, 64}), (std::vector<double>{1, 7}))
      << "63 Hz is as near to 62 as to 64: the first band takes it";
  EXPECT_TRUE(MKVPlayback::engineAmplifications(gains, {}).empty());
}

TEST_F(MKVPlaybackTest, AGonePlaybackIgnoresQueuedWorkAndReleasesItsPlayer) {
  auto playback = std::make_unique<MKVPlayback>(queue_, engine_);
  int published = 0;
  ObserverToken token = playback->observeUpdates([&](const Snapshot&) { ++published; });
  playback->play(mkv("/videos/a.mkv"), 0, 100);
  playing(1000, 60000);
  player().report(State::playing);

  playback.reset();
  EXPECT_FALSE(player().hasObserver());
  EXPECT_EQ(player().stopCount, 1);
  queue_.advance(1);
  EXPECT_EQ(published, 0);
}

}  // namespace
}  // namespace orvel
