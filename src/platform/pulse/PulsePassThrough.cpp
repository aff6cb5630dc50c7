// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/pulse/PulsePassThrough.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/pulse/PulseMainLoop.h"

namespace orvel {

namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);

std::uint32_t framesFor(double seconds, std::uint32_t sampleRate) {
  return static_cast<std::uint32_t>(seconds * sampleRate);
}

std::uint32_t bytesFor(double seconds, std::uint32_t sampleRate) {
  return framesFor(seconds, sampleRate) * kFrameBytes;
}

StreamFormat formatOf(pa_stream* stream) {
  const pa_sample_spec* spec = pa_stream_get_sample_spec(stream);
  return {.float32 = spec->format == PA_SAMPLE_FLOAT32NE,
          .channels = spec->channels,
          .sampleRate = spec->rate};
}

}  // namespace

PulsePassThrough::PulsePassThrough(std::shared_ptr<PulseMainLoop> loop,
                                   std::shared_ptr<AudioProcessor> processor,
                                   std::function<void(AudioServerError)> failed,
                                   std::uint32_t sampleRate)
    : loop_(std::move(loop)),
      processor_(std::move(processor)),
      failed_(std::move(failed)),
      level_(sampleRate, framesFor(kPlaybackLevelSeconds, sampleRate),
             framesFor(kPlaybackRiseSeconds, sampleRate)) {}

AudioServerResult<std::unique_ptr<AudioPassThrough>> PulsePassThrough::open(
    std::shared_ptr<PulseMainLoop> loop, const std::string& source, std::uint32_t sampleRate,
    std::shared_ptr<AudioProcessor> processor, std::function<void(AudioServerError)> failed) {
  // Declared before the lock, so that on an early return it is released after the lock is.
  std::unique_ptr<PulsePassThrough> self(
      new PulsePassThrough(loop, std::move(processor), std::move(failed), sampleRate));
  PulseMainLoop::Lock lock(*loop);
  pa_context* context = loop->context();
  if (!context) {
    return loop->connectionError();
  }

  if (auto error = self->connect(context, source, sampleRate)) {
    return *error;
  }
  if (auto error = self->waitUntilReady()) {
    return *error;
  }
  self->captureFormat_ = formatOf(self->capture_.get());
  self->playbackFormat_ = formatOf(self->playback_.get());
  self->opened_ = true;
  return std::unique_ptr<AudioPassThrough>(std::move(self));
}

// Makes the capture and playback streams and connects them.
std::optional<AudioServerError> PulsePassThrough::connect(pa_context* context,
                                                          const std::string& source,
                                                          std::uint32_t sampleRate) {
  const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, sampleRate, 2};
  pa_channel_map channels;
  pa_channel_map_init_stereo(&channels);
  PulseProplistPtr properties(pa_proplist_new());
  pa_proplist_sets(properties.get(), PA_PROP_MEDIA_NAME, "Orvel player EQ");
  capture_.reset(pa_stream_new_with_proplist(context, "Orvel player EQ capture", &spec, &channels,
                                             properties.get()));
  playback_.reset(
      pa_stream_new_with_proplist(context, "Orvel player EQ", &spec, &channels, properties.get()));
  if (!capture_ || !playback_) {
    const AudioServerError error{AudioServerError::Kind::failed, pa_context_errno(context)};
    capture_.reset();
    playback_.reset();
    return error;
  }
  for (pa_stream* stream : {capture_.get(), playback_.get()}) {
    pa_stream_set_state_callback(stream, stateChanged, this);
  }
  pa_stream_set_read_callback(capture_.get(), captured, this);
  pa_stream_set_underflow_callback(
      playback_.get(),
      [](pa_stream*, void* userdata) {
        static_cast<PulsePassThrough*>(userdata)->level_.ranEmpty();
      },
      this);

  const std::uint32_t unset = static_cast<std::uint32_t>(-1);
  const pa_buffer_attr playbackBuffer{.maxlength = unset,
                                      .tlength = bytesFor(kPlaybackRoomSeconds, sampleRate),
                                      .prebuf = bytesFor(kPlaybackLevelSeconds, sampleRate),
                                      .minreq = bytesFor(kPlaybackRequestSeconds, sampleRate),
                                      .fragsize = unset};
  const pa_buffer_attr captureBuffer{.maxlength = unset,
                                     .tlength = unset,
                                     .prebuf = unset,
                                     .minreq = unset,
                                     .fragsize = bytesFor(kCaptureFragmentSeconds, sampleRate)};
  // The playback follows the default output wherever the user moves it; the capture stays on
  // the private sink it was made for.
  const auto latency = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
  if (pa_stream_connect_playback(playback_.get(), nullptr, &playbackBuffer, latency, nullptr,
                                 nullptr) < 0 ||
      pa_stream_connect_record(capture_.get(), source.c_str(), &captureBuffer,
                               static_cast<pa_stream_flags_t>(latency | PA_STREAM_DONT_MOVE)) < 0) {
    const AudioServerError error{AudioServerError::Kind::failed, pa_context_errno(context)};
    capture_.reset();
    playback_.reset();
    return error;
  }
  return std::nullopt;
}

std::optional<AudioServerError> PulsePassThrough::waitUntilReady() {
  const auto ready = [this] {
    return pa_stream_get_state(capture_.get()) == PA_STREAM_READY &&
           pa_stream_get_state(playback_.get()) == PA_STREAM_READY;
  };
  const auto ended = [this] {
    return !PA_STREAM_IS_GOOD(pa_stream_get_state(capture_.get())) ||
           !PA_STREAM_IS_GOOD(pa_stream_get_state(playback_.get()));
  };
  const PulseMainLoop::Wait wait = loop_->waitFor([&] { return ready() || ended(); });
  if (!ready()) {
    AudioServerError error{AudioServerError::Kind::failed, PA_ERR_TIMEOUT};
    if (wait == PulseMainLoop::Wait::broken || !loop_->context()) {
      error = loop_->connectionError();
    } else if (ended()) {
      error = failure(!PA_STREAM_IS_GOOD(pa_stream_get_state(capture_.get())) ? capture_.get()
                                                                              : playback_.get());
    }
    capture_.reset();
    playback_.reset();
    return error;
  }
  return std::nullopt;
}

PulsePassThrough::~PulsePassThrough() {
  PulseMainLoop::Lock lock(*loop_);
  alive_.reset();
  capture_.reset();
  playback_.reset();
}

AudioServerError PulsePassThrough::failure(pa_stream* stream) const {
  pa_context* context = pa_stream_get_context(stream);
  if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
    return loop_->connectionError();
  }
  const int code = pa_context_errno(context);
  // A stream killed by the server (its sink unloaded by someone else) or ended without a reason
  // means the route is gone, not that a request failed.
  if (code == 0 || code == PA_ERR_KILLED || code == PA_ERR_NOENTITY) {
    return {AudioServerError::Kind::streamEnded, code};
  }
  return {AudioServerError::Kind::failed, code};
}

void PulsePassThrough::stateChanged(pa_stream* stream, void* userdata) {
  auto* self = static_cast<PulsePassThrough*>(userdata);
  self->loop_->signal();
  if (!self->opened_ || self->reported_ || PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
    return;
  }
  self->reported_ = true;
  self->loop_->queue().post([alive = std::weak_ptr<int>(self->alive_), failed = self->failed_,
                             error = self->failure(stream)] {
    if (alive.lock() && failed) {
      failed(error);
    }
  });
}

void PulsePassThrough::captured(pa_stream* stream, std::size_t, void* userdata) {
  auto* self = static_cast<PulsePassThrough*>(userdata);
  const bool playing = pa_stream_get_state(self->playback_.get()) == PA_STREAM_READY;
  const std::size_t readable = pa_stream_readable_size(stream);
  if (readable == static_cast<std::size_t>(-1)) {
    return;
  }
  std::size_t skip = playing ? self->prepareFor(readable / kFrameBytes) : 0;
  while (pa_stream_readable_size(stream) > 0) {
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
      return;
    }
    // No data with a size is a hole in the capture: nothing to play for it.
    if (data && playing) {
      const std::size_t frames = bytes / kFrameBytes;
      const std::size_t left = std::min(skip, frames);
      skip -= left;
      self->forward(static_cast<const float*>(data) + left * (kFrameBytes / sizeof(float)),
                    frames - left);
    }
    pa_stream_drop(stream);
  }
}

std::size_t PulsePassThrough::prepareFor(std::size_t incoming) {
  pa_stream* playback = playback_.get();
  const std::size_t writable = pa_stream_writable_size(playback);
  const pa_buffer_attr* attr = pa_stream_get_buffer_attr(playback);
  if (writable == static_cast<std::size_t>(-1) || !attr) {
    return incoming;
  }
  // The server asks for what it lacks of its room, so the rest waits for the output.
  const std::size_t room = attr->tlength / kFrameBytes;
  const std::size_t queued = room - std::min(room, writable / kFrameBytes);
  const PlaybackLevel::Plan plan = level_.plan(queued, incoming, room);
  forward(nullptr, plan.silence);
  return plan.skip;
}

void PulsePassThrough::forward(const float* samples, std::size_t frames) {
  pa_stream* playback = playback_.get();
  while (frames > 0) {
    std::size_t bytes = frames * kFrameBytes;
    void* buffer = nullptr;
    if (pa_stream_begin_write(playback, &buffer, &bytes) < 0 || !buffer) {
      return;
    }
    bytes = std::min(bytes, frames * kFrameBytes) / kFrameBytes * kFrameBytes;
    if (bytes == 0) {
      pa_stream_cancel_write(playback);
      return;
    }
    if (samples) {
      std::memcpy(buffer, samples, bytes);
      processor_->process(static_cast<float*>(buffer), bytes / kFrameBytes);
      samples += bytes / sizeof(float);
    } else {
      std::memset(buffer, 0, bytes);
    }
    pa_stream_write(playback, buffer, bytes, nullptr, 0, PA_SEEK_RELATIVE);
    frames -= bytes / kFrameBytes;
  }
}

}  // namespace orvel
