// SPDX-License-Identifier: GPL-3.0-or-later

// The web audio route against a real PulseAudio server, which run-audio-tests.sh starts with a
// null sink "speakers" as the default output.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/audio/PulseTestClient.h"
#include "native/WebProcessEqualizer.h"
#include "platform/pulse/PulseAudioServer.h"
#include "platform/pulse/PulseLeftoverSinks.h"
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

// The text as one word of the shell.
std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
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

// Keeps one core busy for as long as it lives, as a build or a browser tab would.
class BusyCore {
 public:
  BusyCore()
      : thread_([this] {
          volatile std::uint64_t spins = 0;
          while (!stop_) {
            spins = spins + 1;
          }
        }) {}
  ~BusyCore() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The share of broken blocks over eight seconds, leaving out the worst three: the whole machine
// stalling for a moment (another test starting a browser) breaks any sound, and is not what is
// measured; a route that breaks the sound steadily still shows.
std::optional<double> brokenLeavingOutTheWorstThree(TestMeter& meter, double tone) {
  auto seconds = meter.brokenBlocksEachSecond(8, tone);
  if (!seconds) {
    return std::nullopt;
  }
  std::sort(seconds->begin(), seconds->end());
  return std::accumulate(seconds->begin(), seconds->end() - 3, 0.0) /
         static_cast<double>(seconds->size() - 3);
}

// A steady tone through the route stays whole while another core is busy: it breaks hardly more
// often than the tone played straight to the output under the same load. (The figures are
// printed; the bound is loose, so that a busy machine does not fail it, yet a route that drops
// sound whenever its queue runs full does.)
TEST_F(WebAudioRouteTest, AToneThroughTheRouteStaysWholeWithABusyCore) {
  constexpr double kTone = 1500;
  TestMeter output("speakers.monitor");
  TestPlayer web("WebKitWebProcess", TestPlayer::Signal::tone, kTone);
  ASSERT_TRUE(output.ready() && web.ready());
  settle();
  const BusyCore busy;
  const std::optional<double> direct = brokenLeavingOutTheWorstThree(output, kTone);
  auto route = makeRoute(std::make_shared<Gain>(1.0f));
  ASSERT_EQ(route->start(), std::nullopt);
  ASSERT_TRUE(pumpUntil([&] { return route->state() == State::running; }));
  settle();
  const std::optional<double> routed = brokenLeavingOutTheWorstThree(output, kTone);
  ASSERT_TRUE(direct && routed);
  std::printf(
      "[ measure  ] 10 ms blocks broken with a busy core, the worst three seconds of eight "
      "left out: %.1f %% direct, %.1f %% through the route\n",
      *direct * 100, *routed * 100);
  EXPECT_LT(*routed, *direct + 0.03);
  route->stop();
  EXPECT_TRUE(failures_.empty());
}

// The sinks of the user's sink name, as the server's own tool lists them.
std::size_t playerSinks() {
  const std::string listed = run("pactl list short sinks");
  const std::string name = WebProcessEqualizer::userSinkName();
  std::size_t count = 0;
  for (std::size_t at = listed.find(name); at != std::string::npos;
       at = listed.find(name, at + name.size())) {
    ++count;
  }
  return count;
}

// A player killed with its route on leaves its sink (a module no client owns); the next player
// removes it, at its start and before it builds a route, and nothing else of the server.
TEST_F(WebAudioRouteTest, ASinkAKilledPlayerLeftIsRemovedAndOnlyThat) {
  const std::string leftover = "pactl load-module module-null-sink " +
                               shellQuoted(WebProcessEqualizer::sinkArguments(
                                   WebProcessEqualizer::userSinkName(), 48000, 999999));
  const std::string otherModule =
      run("pactl load-module module-null-sink " +
          shellQuoted("sink_name=someone.else sink_properties='device.description=\"Orvel "
                      "player EQ\"'"));
  const std::string others = run("pactl list short modules");
  ASSERT_NE(others.find("someone.else"), std::string::npos) << others;
  run(leftover);
  ASSERT_EQ(playerSinks(), 1u) << run("pactl list short sinks");
  EXPECT_EQ(removeLeftoverEqualizerSinks(), 1);
  EXPECT_EQ(playerSinks(), 0u);
  EXPECT_EQ(run("pactl list short modules"), others) << "the other program's sink stays";

  // A route finds the same left behind and removes it before making its own: one sink of the
  // name, whose sound is the route's (PipeWire would take a second sink of the same name).
  run(leftover);
  TestPlayer web("WebKitWebProcess", TestPlayer::Signal::tone);
  ASSERT_TRUE(web.ready());
  settle();
  auto route = makeRoute(std::make_shared<Gain>(1.0f));
  ASSERT_EQ(route->start(), std::nullopt);
  ASSERT_TRUE(pumpUntil([&] { return route->state() == State::running; }));
  EXPECT_EQ(playerSinks(), 1u) << run("pactl list short sinks");
  EXPECT_EQ(removeLeftoverEqualizerSinks(), 0) << "the running player's own sink is no leftover";
  route->stop();
  EXPECT_EQ(playerSinks(), 0u);
  run("pactl unload-module " + otherModule);

  // PipeWire's session manager remembers every sink by name: three sinks made one entry.
  if (const char* state = std::getenv("XDG_STATE_HOME")) {
    std::set<std::string> names;
    pumpUntil(
        [&] {
          std::ifstream remembered(std::string(state) + "/wireplumber/restore-stream");
          for (std::string line; std::getline(remembered, line);) {
            if (line.starts_with("Audio/Sink:node.name:" +
                                 std::string(WebProcessEqualizer::kSinkNamePrefix))) {
              names.insert(line.substr(0, line.rfind(':')));
            }
          }
          return !names.empty();
        },
        5);
    EXPECT_EQ(names.size(), 1u);
  }
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
