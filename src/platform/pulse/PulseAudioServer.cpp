// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/pulse/PulseAudioServer.h"

#include <utility>

#include "native/WebProcessEqualizer.h"
#include "platform/pulse/PulseMainLoop.h"
#include "platform/pulse/PulsePassThrough.h"

namespace orvel {

namespace {

// What one request's callbacks fill in; the callbacks run on the PulseAudio thread while the
// requesting thread waits holding no lock.
template <typename T>
struct Answer {
  PulseMainLoop* loop;
  T value{};
  bool done = false;
  bool failed = false;

  void complete(bool success) {
    failed = failed || !success;
    done = true;
    loop->signal();
  }
};

// The request's answer, or why there is none.
template <typename T>
AudioServerResult<T> outcome(PulseMainLoop& loop, pa_context* context, pa_operation* operation,
                             Answer<T>& answer) {
  if (auto error = loop.finish(operation, answer.done)) {
    return *error;
  }
  if (answer.failed) {
    return AudioServerError{AudioServerError::Kind::failed, pa_context_errno(context)};
  }
  return std::move(answer.value);
}

void succeeded(pa_context*, int success, void* userdata) {
  static_cast<Answer<bool>*>(userdata)->complete(success != 0);
}

}  // namespace

SinkInfo sinkInfoOf(const pa_sink_info& info) {
  const char* description = pa_proplist_gets(info.proplist, PA_PROP_DEVICE_DESCRIPTION);
  const char* owner = pa_proplist_gets(info.proplist, WebProcessEqualizer::kOwnerProperty);
  return {.index = info.index,
          .name = info.name ? info.name : "",
          .monitorSource = info.monitor_source_name ? info.monitor_source_name : "",
          .sampleRate = info.sample_spec.rate,
          .ownerModule = info.owner_module,
          .description = description ? description : "",
          .ownerProcess = owner ? owner : ""};
}

PulseAudioServer::PulseAudioServer(MainQueue& queue)
    : loop_(std::make_shared<PulseMainLoop>(queue)) {}

PulseAudioServer::~PulseAudioServer() = default;

AudioServerStatus PulseAudioServer::connect() {
  PulseMainLoop::Lock lock(*loop_);
  return loop_->connect();
}

AudioServerResult<ServerInfo> PulseAudioServer::serverInfo() {
  PulseMainLoop::Lock lock(*loop_);
  pa_context* context = loop_->context();
  if (!context) {
    return loop_->connectionError();
  }
  Answer<ServerInfo> answer{loop_.get()};
  pa_operation* operation = pa_context_get_server_info(
      context,
      [](pa_context*, const pa_server_info* info, void* userdata) {
        auto* reply = static_cast<Answer<ServerInfo>*>(userdata);
        if (info && info->default_sink_name) {
          reply->value.defaultSinkName = info->default_sink_name;
        }
        reply->complete(info != nullptr);
      },
      &answer);
  return outcome(*loop_, context, operation, answer);
}

AudioServerResult<std::vector<SinkInput>> PulseAudioServer::sinkInputs() {
  PulseMainLoop::Lock lock(*loop_);
  pa_context* context = loop_->context();
  if (!context) {
    return loop_->connectionError();
  }
  Answer<std::vector<SinkInput>> answer{loop_.get()};
  pa_operation* operation = pa_context_get_sink_input_info_list(
      context,
      [](pa_context*, const pa_sink_input_info* info, int last, void* userdata) {
        auto* reply = static_cast<Answer<std::vector<SinkInput>>*>(userdata);
        if (last != 0) {
          reply->complete(last > 0);
          return;
        }
        const char* binary = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_BINARY);
        reply->value.push_back({.index = info->index,
                                .client = info->client,
                                .sink = info->sink,
                                .corked = info->corked != 0,
                                .processBinary = binary ? binary : ""});
      },
      &answer);
  return outcome(*loop_, context, operation, answer);
}

AudioServerResult<SinkInfo> PulseAudioServer::sink(const std::string& name) {
  PulseMainLoop::Lock lock(*loop_);
  pa_context* context = loop_->context();
  if (!context) {
    return loop_->connectionError();
  }
  Answer<SinkInfo> answer{loop_.get()};
  pa_operation* operation = pa_context_get_sink_info_by_name(
      context, name.c_str(),
      [](pa_context*, const pa_sink_info* info, int last, void* userdata) {
        auto* reply = static_cast<Answer<SinkInfo>*>(userdata);
        if (last != 0) {
          reply->complete(last > 0);
          return;
        }
        reply->value = sinkInfoOf(*info);
      },
      &answer);
  return outcome(*loop_, context, operation, answer);
}

AudioServerResult<std::uint32_t> PulseAudioServer::loadModule(const std::string& name,
                                                              const std::string& arguments) {
  PulseMainLoop::Lock lock(*loop_);
  pa_context* context = loop_->context();
  if (!context) {
    return loop_->connectionError();
  }
  Answer<std::uint32_t> answer{loop_.get()};
  pa_operation* operation = pa_context_load_module(
      context, name.c_str(), arguments.c_str(),
      [](pa_context*, std::uint32_t index, void* userdata) {
        auto* reply = static_cast<Answer<std::uint32_t>*>(userdata);
        reply->value = index;
        reply->complete(index != PA_INVALID_INDEX);
      },
      &answer);
  return outcome(*loop_, context, operation, answer);
}

AudioServerStatus PulseAudioServer::unloadModule(std::uint32_t module) {
  PulseMainLoop::Lock lock(*loop_);
  pa_context* context = loop_->context();
  if (!context) {
    return loop_->connectionError();
  }
  Answer<bool> answer{loop_.get()};
  pa_operation* operation = pa_context_unload_module(context, module, succeeded, &answer);
  auto result = outcome(*loop_, context, operation, answer);
  return result.ok() ? std::nullopt : AudioServerStatus(result.error());
}

AudioServerStatus PulseAudioServer::moveSinkInput(std::uint32_t sinkInput, std::uint32_t sink) {
  PulseMainLoop::Lock lock(*loop_);
  pa_context* context = loop_->context();
  if (!context) {
    return loop_->connectionError();
  }
  Answer<bool> answer{loop_.get()};
  pa_operation* operation =
      pa_context_move_sink_input_by_index(context, sinkInput, sink, succeeded, &answer);
  auto result = outcome(*loop_, context, operation, answer);
  return result.ok() ? std::nullopt : AudioServerStatus(result.error());
}

AudioServerStatus PulseAudioServer::restartSink(std::uint32_t sink) {
  PulseMainLoop::Lock lock(*loop_);
  pa_context* context = loop_->context();
  if (!context) {
    return loop_->connectionError();
  }
  for (const int suspended : {1, 0}) {
    Answer<bool> answer{loop_.get()};
    pa_operation* operation =
        pa_context_suspend_sink_by_index(context, sink, suspended, succeeded, &answer);
    auto result = outcome(*loop_, context, operation, answer);
    if (!result.ok()) {
      return result.error();
    }
  }
  return std::nullopt;
}

AudioServerResult<std::unique_ptr<AudioPassThrough>> PulseAudioServer::openPassThrough(
    const std::string& source, std::uint32_t sampleRate, std::shared_ptr<AudioProcessor> processor,
    std::function<void(AudioServerError)> failed) {
  return PulsePassThrough::open(loop_, source, sampleRate, std::move(processor), std::move(failed));
}

ObserverToken PulseAudioServer::observe(Events events) {
  return loop_->observe(std::move(events));
}

}  // namespace orvel
