// SPDX-License-Identifier: GPL-3.0-or-later

// The web audio route against a real PulseAudio server, which run-audio-tests.sh starts with a
// null sink "speakers" as the default output.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdio.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/audio/PulseTestClient.h"
#include "native/WebProcessEqualizer.h"
#include "platform/pulse/PulseAudioServer.h"
#include "support/ManualMainQueue.h"

namespace orvel {
namespace {

using Error = PlayerEqualizerError;
using State = WebProcessEqualizer::State;
using Clock = std::chrono::steady_clock;

// +12 dB as a plain gain, standing in for the equalizer's filters.
struct Gain final : AudioProcessor {
  explicit Gain(float gain) : factor(gain) {}
  void prepare(double sampleRate) override { preparedRate = sampleRate; }
  void process(float* samples, std::size_t frames) override {
    for (std::size_t index = 0; index < 2 * frames; ++index) {
      samples[index] *= factor;
    }
    calledOffMainThread = std::this_thread::get_id() != mainThread;
    processedFrames += frames;
  }

  const float factor;
  const std::thread::id mainThread = std::this_thread::get_id();
  double preparedRate = 0;
  std::atomic<bool> calledOffMainThread{false};
  std::atomic<std::uint64_t> processedFrames{0};
};

std::string run(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) {
      output += buffer;
    }
    pclose(pipe);
  }
  return output;
}

// What a route could leave behind, as the server's own tool lists it.
std::string serverState() {
  return run("pactl list short modules") + "--\n" + run("pactl list short sink-inputs");
}

class WebAudioRouteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("PULSE_SERVER")) {
      GTEST_SKIP() << "needs the private sound server of run-audio-tests.sh";
    }
  }

  std::unique_ptr<WebProcessEqualizer> makeRoute(std::shared_ptr<AudioProcessor> processor,
                                                 double audioWait = 2) {
    return std::make_unique<WebProcessEqualizer>(
        queue_, server_, std::move(processor),
        [this](const Error& error) { failures_.push_back(error); },
        WebProcessEqualizer::Options{.audioWait = audioWait});
  }
  // Runs what the server's thread posts to the main queue until `done`, or gives up.
  bool pumpUntil(const std::function<bool()>& done, double seconds = 10) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
      queue_.runUntilIdle();
      if (done()) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  // Lets the queues of both sinks fill with the sound of the moment.
  void settle() {
    pumpUntil([] { return false; }, 0.4);
  }

  ManualMainQueue queue_;
  PulseAudioServer server_{queue_};
  std::vector<Error> failures_;
};

TEST_F(WebAudioRouteTest, TwelveDecibelsOnTheWebStreamAreHeardAndGoAwayWithTheRoute) {
  TestMeter output("speakers.monitor");
  TestPlayer web("WebKitWebProcess", TestPlayer::Signal::tone);
  ASSERT_TRUE(output.ready() && web.ready());
  settle();
  const std::string before = serverState();
  const std::optional<double> direct = output.levelOver(0.5);
  ASSERT_TRUE(direct);
  EXPECT_NEAR(*direct, 20 * std::log10(0.1 / std::sqrt(2.0)), 0.5) << "the tone as played";

  // The route is asked for while the page has its stream corked, as happens when the player
  // reports "playing" before the engine starts its sound.
  web.setCorked(true);
  auto gain = std::make_shared<Gain>(3.981f);
  auto route = makeRoute(gain);
  ASSERT_EQ(route->start(), std::nullopt);
  EXPECT_EQ(route->state(), State::waitingForAudio);
  web.setCorked(false);
  ASSERT_TRUE(pumpUntil([&] { return route->state() != State::waitingForAudio; }));
  ASSERT_EQ(route->state(), State::running) << (failures_.empty() ? "" : failures_[0].message());
  EXPECT_EQ(gain->preparedRate, 48000);
  EXPECT_NE(run("pactl list short sinks").find(route->sinkName()), std::string::npos);
  EXPECT_NE(run("pactl list sinks").find("Description: Orvel player EQ"), std::string::npos);

  settle();
  const std::optional<double> equalized = output.levelOver(0.5);
  ASSERT_TRUE(equalized);
  std::printf(
      "[ measure  ] tone on the output: %.2f dBFS direct, %.2f dBFS "
      "through the route\n",
      *direct, *equalized);
  EXPECT_NEAR(*equalized - *direct, 12, 1);
  EXPECT_GT(gain->processedFrames.load(), 48000u / 4);
  EXPECT_TRUE(gain->calledOffMainThread.load());

  route->stop();
  const std::uint64_t processed = gain->processedFrames;
  settle();
  EXPECT_EQ(gain->processedFrames, processed) << "the filters are left alone once stopped";
  const std::optional<double> after = output.levelOver(0.5);
  ASSERT_TRUE(after);
  EXPECT_NEAR(*after, *direct, 1);
  EXPECT_EQ(serverState(), before) << "the stream is back on its sink and the module is gone";
  EXPECT_TRUE(failures_.empty());
}

TEST_F(WebAudioRouteTest, TwoPlayingWebProcessesAreRefusedWithNothingChanged) {
  TestPlayer first("WebKitWebProcess", TestPlayer::Signal::tone);
  TestPlayer second("WebKitGPUProcess", TestPlayer::Signal::tone, 440);
  ASSERT_TRUE(first.ready() && second.ready());
  settle();
  const std::string before = serverState();

  auto route = makeRoute(std::make_shared<Gain>(1.0f));
  const std::optional<Error> error = route->start();
  ASSERT_EQ(error, Error::ambiguousWebAudio());
  EXPECT_EQ(error->message(), "Pause audio in other WebKit apps to use Orvel player\u2019s EQ.");
  EXPECT_EQ(serverState(), before);
}

TEST_F(WebAudioRouteTest, NoWebAudioIsRefusedAfterTheWaitWithNothingChanged) {
  TestPlayer other("firefox-esr", TestPlayer::Signal::tone);
  TestPlayer paused("WebKitWebProcess", TestPlayer::Signal::tone);
  ASSERT_TRUE(other.ready() && paused.ready());
  paused.setCorked(true);
  settle();
  const std::string before = serverState();

  auto route = makeRoute(std::make_shared<Gain>(1.0f));
  ASSERT_EQ(route->start(), std::nullopt);
  settle();
  queue_.advance(2);
  EXPECT_EQ(failures_, std::vector<Error>{Error::ambiguousWebAudio()});
  EXPECT_EQ(serverState(), before);
}

TEST_F(WebAudioRouteTest, AFailureAfterTheSinkIsLoadedLeavesNothingBehind) {
  TestPlayer web("WebKitWebProcess", TestPlayer::Signal::tone);
  ASSERT_TRUE(web.ready());
  settle();
  const std::string before = serverState();

  // The real server, except that moving the stream fails as if it had just gone.
  struct RefusingMoves final : AudioServer {
    explicit RefusingMoves(AudioServer& server) : real(server) {}
    AudioServerStatus connect() override { return real.connect(); }
    AudioServerResult<ServerInfo> serverInfo() override { return real.serverInfo(); }
    AudioServerResult<std::vector<SinkInput>> sinkInputs() override { return real.sinkInputs(); }
    AudioServerResult<SinkInfo> sink(const std::string& name) override { return real.sink(name); }
    AudioServerResult<std::uint32_t> loadModule(const std::string& name,
                                                const std::string& arguments) override {
      auto module = real.loadModule(name, arguments);
      loaded = module.ok();
      return module;
    }
    AudioServerStatus unloadModule(std::uint32_t module) override {
      return real.unloadModule(module);
    }
    AudioServerStatus restartSink(std::uint32_t sink) override { return real.restartSink(sink); }
    AudioServerStatus moveSinkInput(std::uint32_t, std::uint32_t) override {
      passThroughWasOpen = open;
      return AudioServerError{AudioServerError::Kind::failed, 5};
    }
    AudioServerResult<std::unique_ptr<AudioPassThrough>> openPassThrough(
        const std::string& source, std::uint32_t sampleRate,
        std::shared_ptr<AudioProcessor> processor,
        std::function<void(AudioServerError)> failed) override {
      auto opened = real.openPassThrough(source, sampleRate, std::move(processor), failed);
      open = opened.ok();
      return opened;
    }
    ObserverToken observe(Events events) override { return real.observe(std::move(events)); }

    AudioServer& real;
    bool loaded = false;
    bool open = false;
    bool passThroughWasOpen = false;
  } refusing(server_);

  WebProcessEqualizer route(queue_, refusing, std::make_shared<Gain>(1.0f), nullptr);
  EXPECT_EQ(route.start(), Error::audioStatus(5));
  EXPECT_TRUE(refusing.loaded && refusing.passThroughWasOpen) << "failed late enough";
  EXPECT_EQ(serverState(), before);
}

// Run last, on a server of its own: the test kills it.
TEST_F(WebAudioRouteTest, ServerKilledMidRouteIsReportedAndNothingHangs) {
  const char* pid = std::getenv("ORVEL_TEST_PULSE_PID");
  if (!pid) {
    GTEST_SKIP() << "needs the server's process ID to kill it";
  }
  auto web = std::make_unique<TestPlayer>("WebKitWebProcess", TestPlayer::Signal::tone);
  ASSERT_TRUE(web->ready());
  settle();
  auto gain = std::make_shared<Gain>(3.981f);
  auto route = makeRoute(gain);
  ASSERT_EQ(route->start(), std::nullopt);
  ASSERT_EQ(route->state(), State::running);
  settle();

  ASSERT_EQ(kill(std::atoi(pid), SIGKILL), 0);
  ASSERT_TRUE(pumpUntil([&] { return !failures_.empty(); }));
  EXPECT_EQ(failures_, std::vector<Error>{Error::soundServerUnavailable()});
  EXPECT_EQ(failures_[0].message(),
            "YouTube audio EQ needs a PulseAudio or PipeWire sound server.");
  EXPECT_EQ(route->state(), State::failed);

  // Tearing down and trying again answer without a server instead of waiting for one: well
  // within 20 s even on a busy machine, where a wait for the server would hang.
  const auto started = Clock::now();
  route->stop();
  route.reset();
  auto retry = makeRoute(gain);
  EXPECT_EQ(retry->start(), Error::soundServerUnavailable());
  web.reset();
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(20));
}

}  // namespace
}  // namespace orvel
