// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mpv/MpvMediaPlayer.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <deque>
#include <mutex>
#include <string>
#include <utility>

#include "core/Log.h"
#include "native/PlayerEQBands.h"
#include "platform/mpv/MpvVideoOutput.h"

namespace orvel {
namespace {

constexpr std::string_view kLogComponent = "MpvMediaPlayer";

enum PropertyID : std::uint64_t {
  kTimePos = 1,
  kDuration,
  kPause,
  kPausedForCache,
  kSeekable,
  kVolume,
  kEofReached,
  kDecoder,
  kTrackList,
  kChapterList,
};

// A member of an mpv map node, or null.
const mpv_node* member(const mpv_node& map, std::string_view key) {
  if (map.format != MPV_FORMAT_NODE_MAP || !map.u.list) {
    return nullptr;
  }
  for (int index = 0; index < map.u.list->num; ++index) {
    if (map.u.list->keys[index] && key == map.u.list->keys[index]) {
      return &map.u.list->values[index];
    }
  }
  return nullptr;
}

std::string text(const mpv_node* node) {
  return node && node->format == MPV_FORMAT_STRING && node->u.string ? node->u.string : "";
}

bool flag(const mpv_node* node) {
  return node && node->format == MPV_FORMAT_FLAG && node->u.flag;
}

// The audio and subtitle tracks of libmpv's "track-list".
std::vector<MediaTrack> tracksOf(const mpv_node& list) {
  std::vector<MediaTrack> tracks;
  if (list.format != MPV_FORMAT_NODE_ARRAY || !list.u.list) {
    return tracks;
  }
  for (int index = 0; index < list.u.list->num; ++index) {
    const mpv_node& entry = list.u.list->values[index];
    const std::string type = text(member(entry, "type"));
    const mpv_node* id = member(entry, "id");
    if ((type != "audio" && type != "sub") || !id || id->format != MPV_FORMAT_INT64) {
      continue;
    }
    tracks.push_back(MediaTrack{
        .kind = type == "audio" ? MediaTrack::Kind::audio : MediaTrack::Kind::subtitle,
        .id = id->u.int64,
        .language = text(member(entry, "lang")),
        .title = text(member(entry, "title")),
        .selected = flag(member(entry, "selected")),
        .external = flag(member(entry, "external")),
    });
  }
  return tracks;
}

// The chapters of libmpv's "chapter-list".
std::vector<MediaChapter> chaptersOf(const mpv_node& list) {
  std::vector<MediaChapter> chapters;
  if (list.format != MPV_FORMAT_NODE_ARRAY || !list.u.list) {
    return chapters;
  }
  for (int index = 0; index < list.u.list->num; ++index) {
    const mpv_node& entry = list.u.list->values[index];
    const mpv_node* time = member(entry, "time");
    if (time && time->format == MPV_FORMAT_DOUBLE && std::isfinite(time->u.double_)) {
      chapters.push_back(MediaChapter{text(member(entry, "title")), time->u.double_});
    }
  }
  return chapters;
}

std::string number(double value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// One peaking filter per band, Q 1, each labelled so that its gain can change in place.
std::string equalizerChain(const std::vector<double>& gains) {
  const std::vector<double>& frequencies = MpvMediaPlayer::equalizerBandFrequencies();
  std::string chain;
  for (std::size_t band = 0; band < gains.size() && band < frequencies.size(); ++band) {
    if (!chain.empty()) {
      chain += ',';
    }
    chain += "@eq" + std::to_string(band) + ":lavfi-equalizer=f=" + number(frequencies[band]) +
             ":t=q:w=1:g=" + number(gains[band]);
  }
  return chain;
}

// libmpv opens local files by path; percent escapes in a file URL would be read literally.
std::string loadTarget(const Url& url) {
  return url.isFileURL() ? url.path() : url.absoluteString();
}

}  // namespace

class MpvMediaPlayer::Core {
 public:
  using Request = std::function<void(Core&)>;

  explicit Core(mpv_handle* handle) : handle_(handle) {}
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;

  mpv_handle* handle() const { return handle_; }

  // Main thread.

  void request(Request work) {
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(std::move(work));
    }
    mpv_wakeup(handle_);
  }

  void quit() {
    {
      std::lock_guard lock(mutex_);
      quitting_ = true;
    }
    mpv_wakeup(handle_);
  }

  // Only for a player without a core, which has no event thread to report from.
  void fail() {
    {
      std::lock_guard lock(mutex_);
      phase_ = Phase::error;
    }
    reportStateIfChanged();
  }

  MediaEngineState state() const {
    std::lock_guard lock(mutex_);
    switch (phase_) {
      case Phase::idle:
      case Phase::stopped:
        return MediaEngineState::stopped;
      case Phase::opening:
        return MediaEngineState::opening;
      case Phase::ended:
        return MediaEngineState::ended;
      case Phase::error:
        return MediaEngineState::error;
      case Phase::loaded:
        break;
    }
    // A file kept open at its end is paused there; it has ended all the same.
    if (eofReached_) {
      return MediaEngineState::ended;
    }
    if (pausedForCache_) {
      return MediaEngineState::buffering;
    }
    return paused_ ? MediaEngineState::paused : MediaEngineState::playing;
  }

  bool isSeekable() const {
    std::lock_guard lock(mutex_);
    return seekable_;
  }
  double timePos() const {
    std::lock_guard lock(mutex_);
    return timePos_;
  }
  double duration() const {
    std::lock_guard lock(mutex_);
    return duration_;
  }
  double volume() const {
    std::lock_guard lock(mutex_);
    return volume_;
  }
  std::vector<MediaTrack> tracks() const {
    std::lock_guard lock(mutex_);
    return tracks_;
  }
  std::vector<MediaChapter> chapters() const {
    std::lock_guard lock(mutex_);
    return chapters_;
  }
  // Read back at once: a restart after the end takes the volume the user set last, even
  // before the core confirmed it.
  void assumeVolume(double volume) {
    std::lock_guard lock(mutex_);
    volume_ = volume;
  }

  void setStateObserver(StateObserver observer) {
    StateObserver replaced;
    std::lock_guard lock(observerMutex_);
    replaced = std::exchange(observer_, std::move(observer));
  }

  // Event thread.

  void run() {
    for (;;) {
      std::deque<Request> work;
      bool quitting = false;
      {
        std::lock_guard lock(mutex_);
        work.swap(requests_);
        quitting = quitting_;
      }
      for (Request& request : work) {
        request(*this);
      }
      reportStateIfChanged();
      if (quitting) {
        break;
      }
      handleEvent(*mpv_wait_event(handle_, -1));
      reportStateIfChanged();
    }
    mpv_terminate_destroy(handle_);
  }

  void play(const std::optional<std::string>& target) {
    setFlag("pause", false);
    if (!target || !needsLoad()) {
      return;
    }
    const char* command[] = {"loadfile", target->c_str(), nullptr};
    const int result = mpv_command(handle_, command);
    if (result < 0) {
      logLine(kLogComponent, std::string("Cannot open the media: ") + mpv_error_string(result));
    }
    setPhase(result < 0 ? Phase::error : Phase::opening);
  }

  void pause() { setFlag("pause", true); }

  void stop() {
    const char* command[] = {"stop", nullptr};
    mpv_command(handle_, command);
    setPhase(Phase::stopped);
  }

  void seek(double seconds) {
    const std::string position = number(seconds);
    const char* command[] = {"seek", position.c_str(), "absolute+exact", nullptr};
    mpv_command(handle_, command);
  }

  void setVolume(double volume) { mpv_set_property(handle_, "volume", MPV_FORMAT_DOUBLE, &volume); }

  void setVideoZoom(double log2Scale) {
    mpv_set_property(handle_, "video-zoom", MPV_FORMAT_DOUBLE, &log2Scale);
  }

  // libmpv keeps the pitch at any speed ("audio-pitch-correction", on by default).
  void setRate(double rate) { mpv_set_property(handle_, "speed", MPV_FORMAT_DOUBLE, &rate); }

  void selectTrack(MediaTrack::Kind kind, std::optional<std::int64_t> id) {
    const std::string value = id ? std::to_string(*id) : std::string("no");
    mpv_set_property_string(handle_, kind == MediaTrack::Kind::audio ? "aid" : "sid",
                            value.c_str());
  }

  // The decoded picture at the video's size, without subtitles; the file's extension makes it a
  // PNG.
  bool saveFrame(const std::string& path) {
    const char* command[] = {"screenshot-to-file", path.c_str(), "video", nullptr};
    const int result = mpv_command(handle_, command);
    if (result < 0) {
      logLine(kLogComponent, std::string("Cannot save the frame: ") + mpv_error_string(result));
    }
    return result >= 0;
  }

  void addSubtitleFile(const std::string& path) {
    const char* command[] = {"sub-add", path.c_str(), "select", nullptr};
    if (const int result = mpv_command(handle_, command); result < 0) {
      logLine(kLogComponent, std::string("Cannot add the subtitles: ") + mpv_error_string(result));
    }
  }

  // Rebuilding the chain makes libmpv reconfigure the audio output, so once a file plays a
  // gain change goes to the running filter instead ("af-command"). The `af` option keeps the
  // gains it was written with; should libmpv rebuild the filters from it, the live gains are
  // sent again (see `handleEvent`).
  void setEqualizer(const std::optional<std::vector<double>>& gains) {
    if (!gains) {
      if (chainGains_) {
        setAudioFilters("");
        chainGains_.reset();
      }
      return;
    }
    if (chainGains_ && chainGains_->size() == gains->size() && fileLoaded_) {
      for (std::size_t band = 0; band < gains->size(); ++band) {
        if ((*gains)[band] != liveGains_[band]) {
          sendGain(band, (*gains)[band]);
        }
      }
      liveGains_ = *gains;
      return;
    }
    if (setAudioFilters(equalizerChain(*gains))) {
      chainGains_ = *gains;
      liveGains_ = *gains;
    }
  }

 private:
  enum class Phase { idle, opening, loaded, ended, error, stopped };

  bool needsLoad() const {
    std::lock_guard lock(mutex_);
    return phase_ != Phase::opening && phase_ != Phase::loaded;
  }

  void setPhase(Phase phase) {
    std::lock_guard lock(mutex_);
    phase_ = phase;
  }

  void setFlag(const char* name, bool value) {
    int flag = value ? 1 : 0;
    mpv_set_property(handle_, name, MPV_FORMAT_FLAG, &flag);
  }

  bool setAudioFilters(const std::string& chain) {
    const int result = mpv_set_property_string(handle_, "af", chain.c_str());
    if (result < 0) {
      logLine(kLogComponent, std::string("Cannot set the equalizer: ") + mpv_error_string(result));
    }
    return result >= 0;
  }

  // libmpv 0.35 reports an error here even when the filter took the gain (its graph also asks
  // filters that have no such command), so the result says nothing and is not checked.
  void sendGain(std::size_t band, double gain) {
    const std::string label = "eq" + std::to_string(band);
    const std::string value = number(gain);
    const char* command[] = {"af-command", label.c_str(), "g", value.c_str(), nullptr};
    mpv_command(handle_, command);
  }

  void handleEvent(const mpv_event& event) {
    switch (event.event_id) {
      case MPV_EVENT_START_FILE: {
        std::lock_guard lock(mutex_);
        phase_ = Phase::opening;
        timePos_ = 0;
        duration_ = 0;
        eofReached_ = false;
        seekable_ = false;
        fileLoaded_ = false;
        break;
      }
      case MPV_EVENT_FILE_LOADED:
        setPhase(Phase::loaded);
        fileLoaded_ = true;
        break;
      case MPV_EVENT_END_FILE:
        endFile(*static_cast<const mpv_event_end_file*>(event.data));
        break;
      case MPV_EVENT_AUDIO_RECONFIG:
        if (chainGains_ && fileLoaded_) {
          for (std::size_t band = 0; band < liveGains_.size(); ++band) {
            if (liveGains_[band] != (*chainGains_)[band]) {
              sendGain(band, liveGains_[band]);
            }
          }
        }
        break;
      case MPV_EVENT_PROPERTY_CHANGE:
        propertyChanged(event.reply_userdata, *static_cast<const mpv_event_property*>(event.data));
        break;
      case MPV_EVENT_LOG_MESSAGE: {
        const auto& message = *static_cast<const mpv_event_log_message*>(event.data);
        std::string text = message.text;
        while (!text.empty() && text.back() == '\n') {
          text.pop_back();
        }
        logLine(kLogComponent, std::string(message.prefix) + ": " + text);
        break;
      }
      default:
        break;
    }
  }

  void endFile(const mpv_event_end_file& end) {
    fileLoaded_ = false;
    switch (end.reason) {
      case MPV_END_FILE_REASON_EOF:
        setPhase(Phase::ended);
        break;
      case MPV_END_FILE_REASON_ERROR:
        logLine(kLogComponent, std::string("Playback failed: ") + mpv_error_string(end.error));
        setPhase(Phase::error);
        break;
      default:
        setPhase(Phase::stopped);
        break;
    }
  }

  void propertyChanged(std::uint64_t id, const mpv_event_property& property) {
    if (id == kTrackList || id == kChapterList) {
      const mpv_node* node = property.format == MPV_FORMAT_NODE
                                 ? static_cast<const mpv_node*>(property.data)
                                 : nullptr;
      std::lock_guard lock(mutex_);
      if (id == kTrackList) {
        tracks_ = node ? tracksOf(*node) : std::vector<MediaTrack>();
      } else {
        chapters_ = node ? chaptersOf(*node) : std::vector<MediaChapter>();
      }
      return;
    }
    if (id == kDecoder) {
      // Which decoder runs, once the video has one: hardware where the machine offers it (and
      // libmpv finds it safe), else software.
      if (property.format != MPV_FORMAT_STRING) {
        return;  // no video being decoded yet, or any more
      }
      const char* name = *static_cast<const char* const*>(property.data);
      const std::string decoder = name && *name && std::string_view(name) != "no" ? name : "";
      if (decoder != decoder_ || !decoderTold_) {
        decoderTold_ = true;
        decoder_ = decoder;
        logLine(kLogComponent, decoder.empty() ? std::string("Video decoded in software")
                                               : "Video decoded in hardware (" + decoder + ")");
      }
      return;
    }
    const bool isDouble = property.format == MPV_FORMAT_DOUBLE;
    const double real = isDouble ? *static_cast<const double*>(property.data) : 0;
    const bool flag = property.format == MPV_FORMAT_FLAG && *static_cast<const int*>(property.data);
    std::lock_guard lock(mutex_);
    switch (id) {
      // A position or length that became unavailable (the file closed) keeps its last value:
      // an end is told from a failure by them.
      case kTimePos:
        timePos_ = isDouble ? real : timePos_;
        break;
      case kDuration:
        duration_ = isDouble ? real : duration_;
        break;
      case kVolume:
        volume_ = isDouble ? real : volume_;
        break;
      case kPause:
        paused_ = flag;
        break;
      case kPausedForCache:
        pausedForCache_ = flag;
        break;
      case kSeekable:
        seekable_ = flag;
        break;
      case kEofReached:
        eofReached_ = flag;
        break;
      default:
        break;
    }
  }

  void reportStateIfChanged() {
    const MediaEngineState current = state();
    if (reported_ && *reported_ == current) {
      return;
    }
    reported_ = current;
    std::lock_guard lock(observerMutex_);
    if (observer_) {
      observer_(current);
    }
  }

  mpv_handle* const handle_;

  mutable std::mutex mutex_;
  std::deque<Request> requests_;
  bool quitting_ = false;
  Phase phase_ = Phase::idle;
  double timePos_ = 0;
  double duration_ = 0;
  double volume_ = 100;
  bool paused_ = false;
  bool pausedForCache_ = false;
  bool seekable_ = false;
  bool eofReached_ = false;
  std::vector<MediaTrack> tracks_;
  std::vector<MediaChapter> chapters_;

  std::mutex observerMutex_;
  StateObserver observer_;

  // Event thread only.
  std::optional<MediaEngineState> reported_;
  bool fileLoaded_ = false;
  std::string decoder_;
  bool decoderTold_ = false;
  std::optional<std::vector<double>> chainGains_;
  std::vector<double> liveGains_;
};

MpvMediaPlayer::MpvMediaPlayer(std::shared_ptr<MpvEngineContext> context)
    : context_(std::move(context)) {
  // libmpv refuses to create a core unless numbers are formatted the C way, and GTK's start-up
  // sets the user's locale for everything.
  std::setlocale(LC_NUMERIC, "C");
  mpv_handle* handle = mpv_create();
  if (handle) {
    for (const auto& [name, value] : context_->options()) {
      if (const int result = mpv_set_option_string(handle, name.c_str(), value.c_str());
          result < 0) {
        logLine(kLogComponent, "Option " + name + "=" + value + ": " + mpv_error_string(result));
      }
    }
    if (const int result = mpv_initialize(handle); result < 0) {
      logLine(kLogComponent, std::string("Cannot start libmpv: ") + mpv_error_string(result));
      mpv_terminate_destroy(handle);
      handle = nullptr;
    }
  } else {
    logLine(kLogComponent, "Cannot create a libmpv core");
  }
  core_ = std::make_shared<Core>(handle);
  if (!handle) {
    return;
  }
  mpv_observe_property(handle, kTimePos, "time-pos", MPV_FORMAT_DOUBLE);
  mpv_observe_property(handle, kDuration, "duration", MPV_FORMAT_DOUBLE);
  mpv_observe_property(handle, kPause, "pause", MPV_FORMAT_FLAG);
  mpv_observe_property(handle, kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
  mpv_observe_property(handle, kSeekable, "seekable", MPV_FORMAT_FLAG);
  mpv_observe_property(handle, kVolume, "volume", MPV_FORMAT_DOUBLE);
  mpv_observe_property(handle, kEofReached, "eof-reached", MPV_FORMAT_FLAG);
  mpv_observe_property(handle, kDecoder, "hwdec-current", MPV_FORMAT_STRING);
  mpv_observe_property(handle, kTrackList, "track-list", MPV_FORMAT_NODE);
  mpv_observe_property(handle, kChapterList, "chapter-list", MPV_FORMAT_NODE);
  mpv_request_log_messages(handle, "error");
  threadDone_ = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([core = core_, done = threadDone_] {
    core->run();
    *done = true;
  });
}

MpvMediaPlayer::~MpvMediaPlayer() {
  if (context_->videoOutput) {
    context_->videoOutput->detach(*this);
  }
  core_->setStateObserver(nullptr);
  if (thread_.joinable()) {
    core_->quit();
    context_->retire(std::move(thread_), threadDone_);
  }
}

const std::vector<double>& MpvMediaPlayer::equalizerBandFrequencies() {
  static const std::vector<double> frequencies(PlayerEQBands::frequencies.begin(),
                                               PlayerEQBands::frequencies.end());
  return frequencies;
}

mpv_handle* MpvMediaPlayer::handle() const {
  return core_->handle();
}

void MpvMediaPlayer::setMedia(std::optional<Url> url) {
  media_ = std::move(url);
}

void MpvMediaPlayer::play() {
  if (!core_->handle()) {
    core_->fail();
    return;
  }
  std::optional<std::string> target;
  if (media_) {
    target = loadTarget(*media_);
  }
  core_->request([target](Core& core) { core.play(target); });
}

void MpvMediaPlayer::pause() {
  if (core_->handle()) {
    core_->request([](Core& core) { core.pause(); });
  }
}

void MpvMediaPlayer::stop() {
  if (core_->handle()) {
    core_->request([](Core& core) { core.stop(); });
  }
}

MediaEngineState MpvMediaPlayer::state() const {
  return core_->state();
}

bool MpvMediaPlayer::isSeekable() const {
  return core_->isSeekable();
}

std::int64_t MpvMediaPlayer::time() const {
  return std::llround(core_->timePos() * 1000.0);
}

void MpvMediaPlayer::setTime(std::int64_t milliseconds) {
  if (core_->handle()) {
    const double seconds = static_cast<double>(milliseconds) / 1000.0;
    core_->request([seconds](Core& core) { core.seek(seconds); });
  }
}

std::int64_t MpvMediaPlayer::length() const {
  return std::llround(core_->duration() * 1000.0);
}

std::optional<int> MpvMediaPlayer::volume() const {
  if (!core_->handle()) {
    return std::nullopt;
  }
  return static_cast<int>(core_->volume());
}

void MpvMediaPlayer::setVolume(int volume) {
  if (core_->handle()) {
    core_->assumeVolume(volume);
    core_->request([volume](Core& core) { core.setVolume(volume); });
  }
}

void MpvMediaPlayer::setRate(double rate) {
  if (core_->handle()) {
    core_->request([rate](Core& core) { core.setRate(rate); });
  }
}

std::vector<MediaTrack> MpvMediaPlayer::tracks() const {
  return core_->handle() ? core_->tracks() : std::vector<MediaTrack>();
}

std::vector<MediaChapter> MpvMediaPlayer::chapters() const {
  return core_->handle() ? core_->chapters() : std::vector<MediaChapter>();
}

void MpvMediaPlayer::selectTrack(MediaTrack::Kind kind, std::optional<std::int64_t> id) {
  if (core_->handle()) {
    core_->request([kind, id](Core& core) { core.selectTrack(kind, id); });
  }
}

void MpvMediaPlayer::addSubtitleFile(const std::string& path) {
  if (core_->handle()) {
    core_->request([path](Core& core) { core.addSubtitleFile(path); });
  }
}

void MpvMediaPlayer::saveFrame(const std::string& path, std::function<void(bool saved)> done) {
  if (!core_->handle()) {
    done(false);
    return;
  }
  core_->request([path, done = std::move(done)](Core& core) { done(core.saveFrame(path)); });
}

void MpvMediaPlayer::setEqualizer(std::optional<std::vector<double>> amplifications) {
  if (core_->handle()) {
    core_->request([gains = std::move(amplifications)](Core& core) { core.setEqualizer(gains); });
  }
}

void MpvMediaPlayer::setStateObserver(StateObserver observer) {
  core_->setStateObserver(std::move(observer));
}

void MpvMediaPlayer::setVideoZoom(double log2Scale) {
  if (core_->handle()) {
    core_->request([log2Scale](Core& core) { core.setVideoZoom(log2Scale); });
  }
}

}  // namespace orvel
