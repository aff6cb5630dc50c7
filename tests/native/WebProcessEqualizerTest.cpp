// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/WebProcessEqualizer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "native/FakeAudioServer.h"
#include "support/ManualMainQueue.h"

namespace orvel {
namespace {

using Error = PlayerEqualizerError;
using State = WebProcessEqualizer::State;

constexpr std::uint32_t kSpeakers = 0;
constexpr std::uint32_t kHeadphones = 1;

struct PreparedRates final : AudioProcessor {
  void prepare(double sampleRate) override { rates.push_back(sampleRate); }
  void process(float*, std::size_t) override {}
  std::vector<double> rates;
};

// What a route could leave behind on the server.
struct ServerSnapshot {
  std::map<std::uint32_t, FakeAudioServer::Module> modules;
  std::vector<SinkInput> streams;
  std::vector<std::string> sinks;
  bool operator==(const ServerSnapshot&) const = default;
};

class WebProcessEqualizerTest : public ::testing::Test {
 protected:
  WebProcessEqualizer& makeRoute(double audioWait = 2.0) {
    route_.emplace(
        queue_, server_, processor_, [this](const Error& error) { failures_.push_back(error); },
        WebProcessEqualizer::Options{.audioWait = audioWait});
    return *route_;
  }
  ServerSnapshot snapshot() const {
    ServerSnapshot taken{server_.modules, server_.streams, {}};
    for (const auto& sink : server_.sinks) {
      taken.sinks.push_back(sink.first);
    }
    return taken;
  }
  std::uint32_t privateSink() const { return server_.sinkNamed(route_->sinkName())->index; }

  ManualMainQueue queue_;
  FakeAudioServer server_;
  std::shared_ptr<PreparedRates> processor_ = std::make_shared<PreparedRates>();
  std::vector<Error> failures_;
  std::optional<WebProcessEqualizer> route_;
};

TEST_F(WebProcessEqualizerTest, RoutesThePlayingWebStreamThroughAPrivateSinkAndBack) {
  server_.addStream("firefox", 7);
  const std::uint32_t web = server_.addStream("WebKitWebProcess", 3).index;
  server_.stream(web)->sink = kHeadphones;
  const ServerSnapshot before = snapshot();

  WebProcessEqualizer& route = makeRoute();
  EXPECT_EQ(route.start(), std::nullopt);
  EXPECT_EQ(route.state(), State::running);

  ASSERT_EQ(server_.modules.size(), 1u);
  const FakeAudioServer::Module& module = server_.modules.begin()->second;
  EXPECT_EQ(module.name, "module-null-sink");
  EXPECT_EQ(module.arguments,
            "sink_name=" + route.sinkName() +
                " format=float32le rate=48000 channels=2 channel_map=front-left,front-right "
                "sink_properties='device.description=\"Orvel player EQ\" orvel.player.pid=" +
                std::to_string(getpid()) + "'");
  EXPECT_EQ(server_.stream(web)->sink, privateSink());
  EXPECT_EQ(server_.stream(web - 1)->sink, kSpeakers) << "other applications keep their output";
  // The monitor is recorded at the output's rate, and the filters are set up for it first.
  EXPECT_EQ(server_.passThroughSource, route.sinkName() + ".monitor");
  EXPECT_EQ(server_.passThroughRate, 48000u);
  EXPECT_EQ(processor_->rates, std::vector<double>{48000});
  EXPECT_EQ(route.sampleRate(), 48000);
  ASSERT_NE(server_.passThrough, nullptr);
  EXPECT_EQ(server_.passThrough->processor, processor_);
  EXPECT_EQ(server_.restartedSinks, std::vector<std::uint32_t>{privateSink()});

  server_.log.clear();
  route.stop();
  EXPECT_EQ(route.state(), State::stopped);
  EXPECT_EQ(snapshot(), before) << "the stream is back on the headphones it played to";
  ASSERT_FALSE(server_.log.empty());
  EXPECT_EQ(server_.log.front(), "closePassThrough") << "no sound is heard twice";
  EXPECT_TRUE(failures_.empty());
}

// One sink name for all of this user's routes, so the server's memory of sinks holds one; a
// route first removes a sink of that name that an earlier player was killed before removing, but
// never another program's sink.
TEST_F(WebProcessEqualizerTest, EveryRouteUsesTheUsersSinkNameAndRemovesWhatAKilledPlayerLeft) {
  WebProcessEqualizer first(queue_, server_, processor_, nullptr);
  WebProcessEqualizer second(queue_, server_, processor_, nullptr);
  EXPECT_EQ(first.sinkName(), WebProcessEqualizer::kSinkNamePrefix + std::to_string(getuid()));
  EXPECT_EQ(first.sinkName(), second.sinkName());

  server_.addStream("WebKitWebProcess", 3);
  server_.connected = true;
  const std::uint32_t leftover =
      server_
          .loadModule("module-null-sink",
                      WebProcessEqualizer::sinkArguments(first.sinkName(), 48000, 999999))
          .value();
  ASSERT_EQ(first.start(), std::nullopt);
  EXPECT_FALSE(server_.modules.contains(leftover));
  ASSERT_EQ(server_.modules.size(), 1u);
  first.stop();
  EXPECT_TRUE(server_.modules.empty());

  // A sink of that name that is not the player's is left alone, and the route does not start.
  server_.loadModule("module-null-sink", "sink_name=" + first.sinkName());
  EXPECT_TRUE(second.start().has_value());
  EXPECT_EQ(server_.modules.size(), 1u);
}

TEST(WebProcessEqualizer, ALeftoverIsAPlayerSinkOfAnotherProcess) {
  const std::string name = WebProcessEqualizer::userSinkName();
  const SinkInfo sink{.index = 4,
                      .name = name,
                      .monitorSource = name + ".monitor",
                      .sampleRate = 48000,
                      .ownerModule = 7,
                      .description = WebProcessEqualizer::kSinkDescription,
                      .ownerProcess = "123"};
  EXPECT_TRUE(WebProcessEqualizer::isLeftover(sink, name, 456));
  EXPECT_FALSE(WebProcessEqualizer::isLeftover(sink, name, 123)) << "this player's own";
  SinkInfo renamed = sink;
  renamed.name += "x";
  SinkInfo described = sink;
  described.description = "Speakers";
  SinkInfo unowned = sink;
  unowned.ownerModule = kNoAudioIndex;
  for (const SinkInfo& other : {renamed, described, unowned}) {
    EXPECT_FALSE(WebProcessEqualizer::isLeftover(other, name, 456)) << other.name;
  }
}

TEST_F(WebProcessEqualizerTest, ChoosesByProcessAndRoutesAllOfItsStreams) {
  server_.addStream("WebKitWebProcess", 4, /*corked=*/true);
  const std::uint32_t playing = server_.addStream("WebKitWebProcess", 3).index;
  // The engine may play from its GPU process instead.
  const std::uint32_t second = server_.addStream("WebKitGPUProcess", 3).index;
  const std::uint32_t paused = server_.addStream("WebKitWebProcess", 3, /*corked=*/true).index;
  server_.addStream("WebKitWebProcess-other", 5);
  server_.addStream("mpv", 6);

  WebProcessEqualizer& route = makeRoute();
  ASSERT_EQ(route.start(), std::nullopt) << "two streams of one process are one process";
  for (const SinkInput& stream : server_.streams) {
    const bool routed = stream.index == playing || stream.index == second || stream.index == paused;
    EXPECT_EQ(stream.sink, routed ? privateSink() : kSpeakers) << stream.index;
  }
}

TEST_F(WebProcessEqualizerTest, TwoPlayingWebProcessesAreAmbiguousAndChangeNothing) {
  server_.addStream("WebKitWebProcess", 3);
  server_.addStream("WebKitGPUProcess", 4);
  const ServerSnapshot before = snapshot();

  WebProcessEqualizer& route = makeRoute();
  const std::optional<Error> error = route.start();
  EXPECT_EQ(error, Error::ambiguousWebAudio());
  EXPECT_EQ(error->message(), "Pause audio in other WebKit apps to use Orvel player\u2019s EQ.");
  EXPECT_EQ(route.state(), State::failed);
  EXPECT_EQ(snapshot(), before);
  server_.announceSinkInputsChanged();
  queue_.advance(10);
  EXPECT_TRUE(failures_.empty()) << "an error returned by start is not reported again";
}

TEST_F(WebProcessEqualizerTest, WaitsForWebAudioToStartThenRoutesIt) {
  SinkInput& web = server_.addStream("WebKitWebProcess", 3, /*corked=*/true);
  const std::uint32_t index = web.index;
  WebProcessEqualizer& route = makeRoute();
  EXPECT_EQ(route.start(), std::nullopt);
  EXPECT_EQ(route.state(), State::waitingForAudio);
  EXPECT_TRUE(server_.modules.empty());

  queue_.advance(1.9);
  server_.announceSinkInputsChanged();
  EXPECT_EQ(route.state(), State::waitingForAudio) << "still corked";
  server_.stream(index)->corked = false;
  server_.announceSinkInputsChanged();
  EXPECT_EQ(route.state(), State::running);
  EXPECT_EQ(server_.stream(index)->sink, privateSink());
  queue_.advance(10);
  EXPECT_EQ(route.state(), State::running) << "the wait ended with the route built";
  EXPECT_TRUE(failures_.empty());
}

TEST_F(WebProcessEqualizerTest, NoWebAudioByTheEndOfTheWaitIsReportedWithNothingLeft) {
  server_.addStream("WebKitWebProcess", 3, /*corked=*/true);
  const ServerSnapshot before = snapshot();
  WebProcessEqualizer& route = makeRoute(2.0);
  EXPECT_EQ(route.start(), std::nullopt);
  queue_.advance(1.99);
  EXPECT_TRUE(failures_.empty());
  queue_.advance(0.01);
  EXPECT_EQ(failures_, std::vector<Error>{Error::ambiguousWebAudio()});
  EXPECT_EQ(route.state(), State::failed);
  EXPECT_EQ(snapshot(), before);

  WebProcessEqualizer& immediate = makeRoute(0);
  EXPECT_EQ(immediate.start(), Error::ambiguousWebAudio());
  EXPECT_EQ(snapshot(), before);
}

TEST_F(WebProcessEqualizerTest, ASecondProcessStartingDuringTheWaitIsAmbiguous) {
  server_.addStream("WebKitWebProcess", 3, /*corked=*/true);
  WebProcessEqualizer& route = makeRoute();
  ASSERT_EQ(route.start(), std::nullopt);
  server_.addStream("WebKitWebProcess", 3);
  server_.addStream("WebKitWebProcess", 4);
  server_.announceSinkInputsChanged();
  EXPECT_EQ(failures_, std::vector<Error>{Error::ambiguousWebAudio()});
  EXPECT_TRUE(server_.modules.empty());
}

TEST_F(WebProcessEqualizerTest, StoppingWhileWaitingEndsTheWait) {
  server_.addStream("WebKitWebProcess", 3, /*corked=*/true);
  WebProcessEqualizer& route = makeRoute();
  ASSERT_EQ(route.start(), std::nullopt);
  route.stop();
  server_.streams.back().corked = false;
  server_.announceSinkInputsChanged();
  queue_.advance(10);
  EXPECT_EQ(route.state(), State::stopped);
  EXPECT_TRUE(server_.modules.empty());
  EXPECT_TRUE(failures_.empty());
}

// A request that fails part way through building, and what the route says about it.
struct BuildFailure {
  std::string request;
  // Fails only this call of the request (1 = the first).
  int call;
  AudioServerError error;
  Error expected;
};

class WebProcessEqualizerBuildFailureTest : public WebProcessEqualizerTest,
                                            public ::testing::WithParamInterface<BuildFailure> {};

TEST_P(WebProcessEqualizerBuildFailureTest, LeavesTheServerAsItWas) {
  const BuildFailure& failure = GetParam();
  server_.addStream("WebKitWebProcess", 3);
  server_.addStream("WebKitWebProcess", 3, /*corked=*/true);
  const ServerSnapshot before = snapshot();
  int calls = 0;
  server_.failWhen = [&](const std::string& request) -> std::optional<AudioServerError> {
    if (request == failure.request && ++calls == failure.call) {
      return failure.error;
    }
    return std::nullopt;
  };

  WebProcessEqualizer& route = makeRoute();
  EXPECT_EQ(route.start(), failure.expected);
  EXPECT_EQ(route.state(), State::failed);
  EXPECT_EQ(server_.passThrough, nullptr);
  EXPECT_EQ(snapshot(), before);
  EXPECT_TRUE(failures_.empty());
}

constexpr AudioServerError kRefused{AudioServerError::Kind::failed, 3};
constexpr AudioServerError kGone{AudioServerError::Kind::unreachable, 0};

INSTANTIATE_TEST_SUITE_P(
    EveryStep, WebProcessEqualizerBuildFailureTest,
    ::testing::Values(BuildFailure{"sinkInputs", 1, kRefused, Error::audioStatus(3)},
                      BuildFailure{"serverInfo", 1, kGone, Error::soundServerUnavailable()},
                      BuildFailure{"sink", 1, kRefused, Error::audioStatus(3)},
                      BuildFailure{"loadModule", 1, kRefused, Error::audioStatus(3)},
                      // The second look is for a sink an earlier player left, the third for the
                      // route's own.
                      BuildFailure{"sink", 3, kRefused, Error::audioStatus(3)},
                      BuildFailure{"openPassThrough", 1, kRefused, Error::audioStatus(3)},
                      BuildFailure{"openPassThrough",
                                   1,
                                   {AudioServerError::Kind::streamEnded, 0},
                                   Error::audioIOProcUnavailable()},
                      // The second stream of the process fails after the first has moved.
                      BuildFailure{"moveSinkInput", 2, kRefused, Error::audioStatus(3)}),
    [](const ::testing::TestParamInfo<BuildFailure>& param) {
      const BuildFailure& failure = param.param;
      const char* how = failure.error.kind == AudioServerError::Kind::unreachable   ? "Unreachable"
                        : failure.error.kind == AudioServerError::Kind::streamEnded ? "StreamEnded"
                                                                                    : "Refused";
      return failure.request + std::to_string(failure.call) + how;
    });

TEST_F(WebProcessEqualizerTest, AFormatOtherThanStereoFloatAtOneRateIsRefused) {
  server_.addStream("WebKitWebProcess", 3);
  const ServerSnapshot before = snapshot();
  const StreamFormat stereo48k{true, 2, 48000};
  for (auto [capture, playback] : {std::pair{StreamFormat{true, 1, 48000}, stereo48k},
                                   std::pair{stereo48k, StreamFormat{false, 2, 48000}},
                                   std::pair{stereo48k, StreamFormat{true, 2, 44100}}}) {
    server_.captureFormat = capture;
    server_.playbackFormat = playback;
    EXPECT_EQ(makeRoute().start(), Error::unsupportedAudioFormat());
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(server_.passThrough, nullptr);
  }
}

TEST_F(WebProcessEqualizerTest, NoSoundServerIsSaidPlainly) {
  server_.reachable = false;
  server_.addStream("WebKitWebProcess", 3);
  const std::optional<Error> error = makeRoute().start();
  ASSERT_EQ(error, Error::soundServerUnavailable());
  EXPECT_EQ(error->message(), "YouTube audio EQ needs a PulseAudio or PipeWire sound server.");
}

TEST_F(WebProcessEqualizerTest, TheServerDyingMidRouteIsReportedAndNothingIsUnloadedLater) {
  server_.addStream("WebKitWebProcess", 3);
  WebProcessEqualizer& route = makeRoute();
  ASSERT_EQ(route.start(), std::nullopt);
  server_.die();
  EXPECT_EQ(failures_, std::vector<Error>{Error::soundServerUnavailable()});
  EXPECT_EQ(route.state(), State::failed);
  EXPECT_EQ(server_.passThrough, nullptr);

  // A new server reuses module indexes: the old route must not touch it.
  server_.reachable = true;
  server_.connect();
  server_.loadModule("module-other", "sink_name=other");
  server_.log.clear();
  route.stop();
  route_.reset();
  EXPECT_EQ(server_.modules.size(), 1u);
  EXPECT_TRUE(server_.log.empty());
}

TEST_F(WebProcessEqualizerTest, ABrokenPassThroughTakesTheRouteDown) {
  const std::uint32_t web = server_.addStream("WebKitWebProcess", 3).index;
  const ServerSnapshot before = snapshot();
  WebProcessEqualizer& route = makeRoute();
  ASSERT_EQ(route.start(), std::nullopt);
  server_.passThrough->failed({AudioServerError::Kind::streamEnded, 0});
  EXPECT_EQ(failures_, std::vector<Error>{Error::audioIOProcUnavailable()});
  EXPECT_EQ(failures_[0].message(),
            "Orvel player couldn\u2019t open the system audio route for EQ.");
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(server_.stream(web)->sink, kSpeakers);
}

TEST_F(WebProcessEqualizerTest, TheRouteFollowsItsProcessButNotAStreamTheUserMovedAway) {
  server_.addStream("WebKitWebProcess", 3);
  WebProcessEqualizer& route = makeRoute();
  ASSERT_EQ(route.start(), std::nullopt);

  const std::uint32_t next = server_.addStream("WebKitWebProcess", 3).index;
  const std::uint32_t stranger = server_.addStream("WebKitWebProcess", 9).index;
  server_.announceSinkInputsChanged();
  EXPECT_EQ(server_.stream(next)->sink, privateSink());
  EXPECT_EQ(server_.stream(stranger)->sink, kSpeakers);

  server_.stream(next)->sink = kHeadphones;
  server_.announceSinkInputsChanged();
  EXPECT_EQ(server_.stream(next)->sink, kHeadphones);

  route.stop();
  EXPECT_TRUE(server_.modules.empty());
  EXPECT_EQ(server_.stream(next)->sink, kHeadphones);
}

TEST_F(WebProcessEqualizerTest, AStreamOnTheDefaultOutputReturnsToTheDefaultOfTheMoment) {
  const std::uint32_t web = server_.addStream("WebKitWebProcess", 3).index;
  WebProcessEqualizer& route = makeRoute();
  ASSERT_EQ(route.start(), std::nullopt);
  server_.defaultSink = "headphones";
  route.stop();
  EXPECT_EQ(server_.stream(web)->sink, kHeadphones);
}

TEST_F(WebProcessEqualizerTest, AStreamWhoseOutputWentReturnsToTheDefaultOutput) {
  const std::uint32_t web = server_.addStream("WebKitWebProcess", 3).index;
  server_.stream(web)->sink = kHeadphones;
  WebProcessEqualizer& route = makeRoute();
  ASSERT_EQ(route.start(), std::nullopt);
  server_.sinks.erase("headphones");
  route.stop();
  EXPECT_EQ(server_.stream(web)->sink, kSpeakers);
  EXPECT_TRUE(server_.modules.empty());
}

TEST_F(WebProcessEqualizerTest, TheFailureHandlerMayDestroyTheRoute) {
  server_.addStream("WebKitWebProcess", 3, /*corked=*/true);
  route_.emplace(queue_, server_, processor_, [this](const Error& error) {
    failures_.push_back(error);
    route_.reset();
  });
  ASSERT_EQ(route_->start(), std::nullopt);
  queue_.advance(5);
  EXPECT_EQ(failures_, std::vector<Error>{Error::ambiguousWebAudio()});
  EXPECT_FALSE(route_.has_value());
}

TEST(PlayerEqualizerErrorTest, SoundServerErrorsCarryTheirNumber) {
  EXPECT_EQ(Error::audioStatus(-7).message(),
            "Orvel player couldn\u2019t start audio EQ (sound server error -7).");
  EXPECT_EQ(Error::unsupportedAudioFormat().message(),
            "The selected audio output format is not supported by EQ.");
}

}  // namespace
}  // namespace orvel
