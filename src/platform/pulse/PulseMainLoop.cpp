// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/pulse/PulseMainLoop.h"

#include <utility>

namespace orvel {

namespace {

struct Timer {
  PulseMainLoop* loop;
  bool fired = false;
};

void timerFired(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
  auto* timer = static_cast<Timer*>(userdata);
  timer->fired = true;
  timer->loop->signal();
}

}  // namespace

PulseMainLoop::PulseMainLoop(MainQueue& queue)
    : queue_(queue),
      loop_(pa_threaded_mainloop_new()),
      self_(std::make_shared<PulseMainLoop*>(this)) {
  pa_threaded_mainloop_set_name(loop_, "orvel-audio");
  pa_threaded_mainloop_start(loop_);
}

PulseMainLoop::~PulseMainLoop() {
  {
    Lock lock(*this);
    self_.reset();
    dropContext();
  }
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

AudioServerStatus PulseMainLoop::connect() {
  if (context()) {
    return std::nullopt;
  }
  dropContext();
  ++generation_;
  PulseProplistPtr properties(pa_proplist_new());
  pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_NAME, "Orvel player");
  pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_ID, "com.example.OrvelPlayer");
  context_.reset(pa_context_new_with_proplist(api(), "Orvel player", properties.get()));
  if (!context_) {
    return AudioServerError{AudioServerError::Kind::unreachable, PA_ERR_INTERNAL};
  }
  pa_context_set_state_callback(context_.get(), contextStateChanged, this);
  pa_context_set_subscribe_callback(context_.get(), serverEvent, this);
  // Never start a server: the equalizer uses the one the desktop runs, or says there is none.
  if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    const int code = pa_context_errno(context_.get());
    dropContext();
    return AudioServerError{AudioServerError::Kind::unreachable, code};
  }
  const Wait wait = waitFor([this] {
    const pa_context_state_t state = pa_context_get_state(context_.get());
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  });
  if (pa_context_get_state(context_.get()) != PA_CONTEXT_READY) {
    const int code = wait == Wait::timedOut ? PA_ERR_TIMEOUT : pa_context_errno(context_.get());
    dropContext();
    return AudioServerError{AudioServerError::Kind::unreachable, code};
  }
  if (pa_operation* subscribed =
          pa_context_subscribe(context_.get(), PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr)) {
    pa_operation_unref(subscribed);
  }
  return std::nullopt;
}

pa_context* PulseMainLoop::context() const {
  if (context_ && pa_context_get_state(context_.get()) == PA_CONTEXT_READY) {
    return context_.get();
  }
  return nullptr;
}

AudioServerError PulseMainLoop::connectionError() const {
  int code = context_ ? pa_context_errno(context_.get()) : 0;
  if (code == 0) {
    code = PA_ERR_CONNECTIONTERMINATED;
  }
  return {AudioServerError::Kind::unreachable, code};
}

PulseMainLoop::Wait PulseMainLoop::waitFor(const std::function<bool()>& done) {
  if (!context_) {
    return done() ? Wait::done : Wait::broken;
  }
  Timer timer{this};
  pa_time_event* deadline =
      pa_context_rttime_new(context_.get(), pa_rtclock_now() + kRequestTimeout, timerFired, &timer);
  Wait result = Wait::done;
  while (!done()) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_.get()))) {
      result = Wait::broken;
      break;
    }
    if (timer.fired) {
      result = Wait::timedOut;
      break;
    }
    pa_threaded_mainloop_wait(loop_);
  }
  if (deadline) {
    api()->time_free(deadline);
  }
  return result;
}

AudioServerStatus PulseMainLoop::finish(pa_operation* operation, const bool& done) {
  if (!operation) {
    if (!context()) {
      return connectionError();
    }
    return AudioServerError{AudioServerError::Kind::failed, pa_context_errno(context_.get())};
  }
  const Wait wait =
      waitFor([&] { return done || pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
  if (!done) {
    pa_operation_cancel(operation);
  }
  pa_operation_unref(operation);
  if (done) {
    return std::nullopt;
  }
  if (wait == Wait::timedOut) {
    return AudioServerError{AudioServerError::Kind::failed, PA_ERR_TIMEOUT};
  }
  return connectionError();
}

ObserverToken PulseMainLoop::observe(AudioServer::Events events) {
  return observers_.add([events = std::move(events)](bool changed) {
    const auto& handler = changed ? events.sinkInputsChanged : events.connectionLost;
    if (handler) {
      handler();
    }
  });
}

void PulseMainLoop::contextStateChanged(pa_context* context, void* userdata) {
  auto* self = static_cast<PulseMainLoop*>(userdata);
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_READY) {
    self->wasReady_ = true;
  } else if (!PA_CONTEXT_IS_GOOD(state) && self->wasReady_) {
    self->wasReady_ = false;
    self->post(true);
  }
  self->signal();
}

void PulseMainLoop::serverEvent(pa_context*, pa_subscription_event_type_t type, std::uint32_t,
                                void* userdata) {
  if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SINK_INPUT) {
    static_cast<PulseMainLoop*>(userdata)->post(false);
  }
}

void PulseMainLoop::dropContext() {
  context_.reset();
  wasReady_ = false;
}

void PulseMainLoop::post(bool connectionLost) {
  // A burst of stream changes needs one look at the streams, not one per change.
  if (!connectionLost && changePosted_.exchange(true)) {
    return;
  }
  queue_.post(
      [weak = std::weak_ptr<PulseMainLoop*>(self_), generation = generation_, connectionLost] {
        auto self = weak.lock();
        if (!self) {
          return;
        }
        PulseMainLoop& loop = **self;
        if (!connectionLost) {
          loop.changePosted_ = false;
        }
        if (loop.generation_ == generation) {
          loop.observers_.notify(!connectionLost);
        }
      });
}

}  // namespace orvel
