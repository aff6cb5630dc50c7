// SPDX-License-Identifier: GPL-3.0-or-later

// EqualizerDSP::process on 48 kHz stereo float, one sound-server chunk (1024 frames) per call,
// beside FFmpeg's own equalizer filter chain (libavfilter, seven peaking filters with Q = 1 and
// the same gains) on the same samples. Targets: at least as fast as FFmpeg, and at least 500
// times real time on one core. The counters give samples per second and the real-time factor
// (seconds of audio filtered per second).
#include <benchmark/benchmark.h>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "native/EqualizerDSP.h"
#include "native/PlayerEQBands.h"

namespace {

constexpr int kRate = 48000;
constexpr std::size_t kChunkFrames = 1024;
constexpr std::size_t kChunks = 47;  // about a second of audio, cycled through
const std::vector<double> kGains{4, 2, -1, 1.5, 3, 5, -2};

// Music-like test audio: a few tones over noise, different on the two channels, never silent.
struct Signal {
  std::vector<float> interleaved;
  std::array<std::vector<float>, 2> planar;
};

const Signal& signal() {
  static const Signal made = [] {
    Signal s;
    const std::size_t frames = kChunkFrames * kChunks;
    std::uint32_t seed = 12345;
    for (std::size_t t = 0; t < frames; ++t) {
      for (std::size_t channel = 0; channel < 2; ++channel) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / (1u << 23) - 1;
        const double time = static_cast<double>(t) / kRate;
        const double tones = std::sin(2 * M_PI * (110 + 55 * channel) * time) +
                             0.5 * std::sin(2 * M_PI * 1760 * time) +
                             0.25 * std::sin(2 * M_PI * 6000 * time);
        const auto sample = static_cast<float>(0.2 * tones + 0.05 * noise);
        s.interleaved.push_back(sample);
        s.planar[channel].push_back(sample);
      }
    }
    return s;
  }();
  return made;
}

void setRateCounters(benchmark::State& state) {
  const auto frames = static_cast<double>(state.iterations() * kChunkFrames);
  state.counters["samplesPerSecond"] = benchmark::Counter(2 * frames, benchmark::Counter::kIsRate);
  state.counters["realTimeFactor"] =
      benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

// Runs one interleaved chunk through the filter bank.
void filterChunk(orvel::EqualizerDSP& dsp, std::size_t chunk, float* output) {
  const std::size_t bytes = kChunkFrames * 2 * sizeof(float);
  const orvel::EqualizerDSP::InputBuffer in{
      .channelCount = 2,
      .byteSize = bytes,
      .data = signal().interleaved.data() + chunk * kChunkFrames * 2};
  const orvel::EqualizerDSP::OutputBuffer out{.channelCount = 2, .byteSize = bytes, .data = output};
  if (!dsp.process({&in, 1}, {&out, 1})) {
    std::abort();
  }
}

// The FFmpeg chain: abuffer -> equalizer x 7 -> abuffersink, on planar float so that no format
// conversion runs and only the filters themselves are measured.
class FFmpegChain {
 public:
  FFmpegChain() : graph_(avfilter_graph_alloc()), output_(av_frame_alloc()) {
    // One core, like the audio thread: FFmpeg would otherwise spread channels over threads.
    graph_->nb_threads = 1;
    const char* sourceArguments =
        "sample_rate=48000:sample_fmt=fltp:channel_layout=stereo:time_base=1/48000";
    if (avfilter_graph_create_filter(&source_, avfilter_get_by_name("abuffer"), "in",
                                     sourceArguments, nullptr, graph_) < 0 ||
        avfilter_graph_create_filter(&sink_, avfilter_get_by_name("abuffersink"), "out", nullptr,
                                     nullptr, graph_) < 0) {
      return;
    }
    std::ostringstream description;
    for (std::size_t band = 0; band < orvel::PlayerEQBands::count; ++band) {
      description << (band ? "," : "") << "equalizer=f=" << orvel::PlayerEQBands::frequencies[band]
                  << ":t=q:w=1:g=" << kGains[band];
    }
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink_;
    ready_ = avfilter_graph_parse_ptr(graph_, description.str().c_str(), &inputs, &outputs,
                                      nullptr) >= 0 &&
             avfilter_graph_config(graph_, nullptr) >= 0;
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    for (std::size_t chunk = 0; ready_ && chunk < kChunks; ++chunk) {
      AVFrame* frame = av_frame_alloc();
      frame->format = AV_SAMPLE_FMT_FLTP;
      frame->sample_rate = kRate;
      frame->nb_samples = kChunkFrames;
      const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
      av_channel_layout_copy(&frame->ch_layout, &stereo);
      ready_ = av_frame_get_buffer(frame, 0) >= 0;
      for (std::size_t channel = 0; ready_ && channel < 2; ++channel) {
        std::copy_n(signal().planar[channel].data() + chunk * kChunkFrames, kChunkFrames,
                    reinterpret_cast<float*>(frame->extended_data[channel]));
      }
      inputs_.push_back(frame);
    }
  }
  ~FFmpegChain() {
    for (AVFrame*& frame : inputs_) {
      av_frame_free(&frame);
    }
    av_frame_free(&output_);
    avfilter_graph_free(&graph_);
  }
  FFmpegChain(const FFmpegChain&) = delete;
  FFmpegChain& operator=(const FFmpegChain&) = delete;

  bool ready() const { return ready_; }
  // Filters in the configured graph: 9 when FFmpeg inserted no conversion.
  unsigned filterCount() const { return graph_->nb_filters; }

  // Pushes one chunk through; `consume` sees each channel of the result.
  template <typename Consume>
  bool filterChunk(std::size_t chunk, Consume&& consume) {
    inputs_[chunk]->pts = pts_;
    pts_ += kChunkFrames;
    if (av_buffersrc_add_frame_flags(source_, inputs_[chunk], AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
      return false;
    }
    while (av_buffersink_get_frame(sink_, output_) >= 0) {
      if (output_->format != AV_SAMPLE_FMT_FLTP) {
        return false;
      }
      consume(*output_);
      av_frame_unref(output_);
    }
    return true;
  }

 private:
  AVFilterGraph* graph_;
  AVFilterContext* source_ = nullptr;
  AVFilterContext* sink_ = nullptr;
  AVFrame* output_;
  std::vector<AVFrame*> inputs_;
  std::int64_t pts_ = 0;
  bool ready_ = false;
};

void equalizerDSP(benchmark::State& state) {
  orvel::EqualizerDSP dsp(kRate, kGains, 1);
  std::vector<float> output(kChunkFrames * 2);
  std::size_t chunk = 0;
  for (auto _ : state) {
    filterChunk(dsp, chunk, output.data());
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
    chunk = (chunk + 1) % kChunks;
  }
  setRateCounters(state);
}
BENCHMARK(equalizerDSP)->UseRealTime();

// A quiet passage after sound: the filter states decay towards zero, through the subnormal
// floats that some processors handle far more slowly.
void equalizerDSPAfterSound(benchmark::State& state) {
  orvel::EqualizerDSP dsp(kRate, kGains, 1);
  std::vector<float> output(kChunkFrames * 2);
  filterChunk(dsp, 0, output.data());
  const std::vector<float> silence(kChunkFrames * 2, 0.0f);
  const orvel::EqualizerDSP::InputBuffer in{
      .channelCount = 2, .byteSize = silence.size() * sizeof(float), .data = silence.data()};
  const orvel::EqualizerDSP::OutputBuffer out{
      .channelCount = 2, .byteSize = output.size() * sizeof(float), .data = output.data()};
  for (auto _ : state) {
    dsp.process({&in, 1}, {&out, 1});
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  setRateCounters(state);
}
BENCHMARK(equalizerDSPAfterSound)->UseRealTime();

void ffmpegEqualizer(benchmark::State& state) {
  FFmpegChain chain;
  if (!chain.ready()) {
    state.SkipWithError("FFmpeg's equalizer chain could not be set up");
    return;
  }
  float sink = 0;
  std::size_t chunk = 0;
  for (auto _ : state) {
    const bool filtered = chain.filterChunk(chunk, [&](const AVFrame& frame) {
      sink += reinterpret_cast<const float*>(frame.extended_data[1])[frame.nb_samples - 1];
    });
    if (!filtered) {
      state.SkipWithError("FFmpeg's equalizer chain failed");
      return;
    }
    benchmark::DoNotOptimize(sink);
    chunk = (chunk + 1) % kChunks;
  }
  setRateCounters(state);
  state.counters["filters"] = chain.filterCount();
}
BENCHMARK(ffmpegEqualizer)->UseRealTime();

// Not a speed: how far the two filter banks' outputs lie apart over a second of audio, in dB
// below the loudest sample. Far below 0 means both run the same seven filters.
void differenceFromFFmpeg(benchmark::State& state) {
  for (auto _ : state) {
    FFmpegChain chain;
    orvel::EqualizerDSP dsp(kRate, kGains, 1);
    std::vector<float> output(kChunkFrames * 2);
    double worst = 0;
    double loudest = 0;
    std::size_t frameIndex = 0;
    for (std::size_t chunk = 0; chain.ready() && chunk < kChunks; ++chunk) {
      filterChunk(dsp, chunk, output.data());
      chain.filterChunk(chunk, [&](const AVFrame& frame) {
        for (int t = 0; t < frame.nb_samples; ++t) {
          for (std::size_t channel = 0; channel < 2; ++channel) {
            const float theirs = reinterpret_cast<const float*>(frame.extended_data[channel])[t];
            const std::size_t index = (frameIndex % kChunkFrames) * 2 + channel;
            worst = std::max(worst, static_cast<double>(std::abs(theirs - output[index])));
            loudest = std::max(loudest, static_cast<double>(std::abs(theirs)));
          }
          ++frameIndex;
        }
      });
    }
    state.counters["differenceDB"] = 20 * std::log10(worst / loudest);
  }
}
BENCHMARK(differenceFromFFmpeg)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
