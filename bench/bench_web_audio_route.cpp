// SPDX-License-Identifier: GPL-3.0-or-later

// The delay the web audio route adds: the time a click takes from a stand-in web process to the
// output, through the route less directly, on the private PulseAudio server that
// bench/web_audio_route.sh starts. Median, lowest and highest of nine clicks each way.
#include <glib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/GlibMainQueue.h"
#include "e2e/audio/PulseTestClient.h"
#include "native/WebProcessEqualizer.h"
#include "platform/pulse/PulseAudioServer.h"

namespace orvel {
namespace {

using Clock = std::chrono::steady_clock;

// Runs the main loop for a while, as the route's server reports arrive through it.
void pumpFor(double seconds) {
  const auto until = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < until) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    g_usleep(2000);
  }
}

// A route processor that leaves the sound as it is.
struct PassThrough final : AudioProcessor {
  void prepare(double) override {}
  void process(float*, std::size_t) override {}
};

struct Delays {
  double median;
  double lowest;
  double highest;
};

std::optional<Delays> clickDelays(TestPlayer& web, TestMeter& output) {
  std::vector<double> delays;
  for (int attempt = 0; attempt < 9; ++attempt) {
    const auto written = web.click();
    const auto heard = output.nextClick(5);
    if (!written || !heard) {
      return std::nullopt;
    }
    delays.push_back(std::chrono::duration<double, std::milli>(*heard - *written).count());
    pumpFor(0.05);
  }
  std::sort(delays.begin(), delays.end());
  return Delays{delays[delays.size() / 2], delays.front(), delays.back()};
}

// Switches the route on and off five times: `watch` starts a measure before each switch, and
// `measured(on)` takes it after; false when the route did not start or a measure timed out.
bool switchFiveTimes(GlibMainQueue& queue, PulseAudioServer& server,
                     const std::function<void()>& watch,
                     const std::function<bool(bool on)>& measured) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    WebProcessEqualizer route(queue, server, std::make_shared<PassThrough>(), nullptr,
                              WebProcessEqualizer::Options{.audioWait = 0});
    watch();
    if (route.start()) {
      std::fprintf(stderr, "the route did not start\n");
      return false;
    }
    if (!measured(true)) {
      return false;
    }
    pumpFor(0.2);
    watch();
    route.stop();
    if (!measured(false)) {
      return false;
    }
    pumpFor(0.2);
  }
  return true;
}

// The silence a switch of the route makes in a steady tone, on and off, median of five of each.
int measureSwitches(GlibMainQueue& queue, PulseAudioServer& server, TestMeter& output,
                    TestPlayer& clicks) {
  // The clicks' stream paused, the tone's is the one web process that plays.
  clicks.setCorked(true);
  TestPlayer tone("WebKitWebProcess", TestPlayer::Signal::tone);
  if (!tone.ready()) {
    return 1;
  }
  pumpFor(0.4);
  std::vector<double> on;
  std::vector<double> off;
  const bool measured = switchFiveTimes(
      queue, server, [&] { output.watchSilence(); },
      [&](bool switchedOn) {
        const auto silence = output.longestSilence(0.5);
        if (silence) {
          (switchedOn ? on : off).push_back(*silence);
        }
        return silence.has_value();
      });
  if (!measured) {
    return 1;
  }
  std::sort(on.begin(), on.end());
  std::sort(off.begin(), off.end());
  std::printf(
      "[ measure  ] silence at a switch, median of 5 (range): on %.1f ms (%.1f-%.1f), off %.1f "
      "ms (%.1f-%.1f)\n",
      on[2], on.front(), on.back(), off[2], off.front(), off.back());
  return 0;
}

// Whether a switch repeats or leaves out sound: a counter plays through five switches each way,
// and the frames heard twice or never are counted.
int measureSwitchBreaks(GlibMainQueue& queue, PulseAudioServer& server, TestMeter& output) {
  TestPlayer counter("WebKitWebProcess", TestPlayer::Signal::counter);
  if (!counter.ready()) {
    return 1;
  }
  pumpFor(0.4);
  TestMeter::CounterBreaks on;
  TestMeter::CounterBreaks off;
  const auto add = [](TestMeter::CounterBreaks& sum, const TestMeter::CounterBreaks& more) {
    sum.repeated += more.repeated;
    sum.skipped += more.skipped;
    sum.silent += more.silent;
    sum.foreign += more.foreign;
  };
  const bool measured = switchFiveTimes(
      queue, server, [&] { output.watchCounter(); },
      [&](bool switchedOn) {
        const auto breaks = output.counterBreaks(0.5);
        if (breaks) {
          add(switchedOn ? on : off, *breaks);
        }
        return breaks.has_value();
      });
  if (!measured) {
    return 1;
  }
  const auto ms = [](std::uint64_t frames) {
    return static_cast<double>(frames) * 1000 / TestPlayer::kRate;
  };
  std::printf(
      "[ measure  ] sound at five switches (ms in all): on %.1f heard twice, %.1f left out, %.1f "
      "silent, %.1f mixed; off %.1f heard twice, %.1f left out, %.1f silent, %.1f mixed\n",
      ms(on.repeated), ms(on.skipped), ms(on.silent), ms(on.foreign), ms(off.repeated),
      ms(off.skipped), ms(off.silent), ms(off.foreign));
  return 0;
}

int measure() {
  if (!std::getenv("PULSE_SERVER")) {
    std::fprintf(stderr, "needs the private sound server of bench/web_audio_route.sh\n");
    return 2;
  }
  GlibMainQueue queue;
  PulseAudioServer server(queue);
  TestMeter output("speakers.monitor");
  TestPlayer web("WebKitWebProcess", TestPlayer::Signal::clicks);
  if (!output.ready() || !web.ready()) {
    std::fprintf(stderr, "the sound server did not take the test streams\n");
    return 1;
  }
  pumpFor(0.4);
  const std::optional<Delays> direct = clickDelays(web, output);
  // Clicks alone leave the stream uncorked, so it counts as playing.
  WebProcessEqualizer route(queue, server, std::make_shared<PassThrough>(), nullptr,
                            WebProcessEqualizer::Options{.audioWait = 0});
  if (route.start()) {
    std::fprintf(stderr, "the route did not start\n");
    return 1;
  }
  pumpFor(0.4);
  const std::optional<Delays> routed = clickDelays(web, output);
  route.stop();
  if (!direct || !routed) {
    std::fprintf(stderr, "a click was not heard within 5 s\n");
    return 1;
  }
  std::printf(
      "[ measure  ] click to output, median of 9 (range): %.1f ms (%.1f-%.1f) direct, %.1f ms "
      "(%.1f-%.1f) through the route; the route adds %.1f ms (target: at most 50 ms)\n",
      direct->median, direct->lowest, direct->highest, routed->median, routed->lowest,
      routed->highest, routed->median - direct->median);
  if (const int failed = measureSwitches(queue, server, output, web)) {
    return failed;
  }
  return measureSwitchBreaks(queue, server, output);
}

}  // namespace
}  // namespace orvel

int main() {
  return orvel::measure();
}
