// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/shell/NativeMedia.h"

#include <gmodule.h>

#include <mutex>
#include <vector>

#include "core/Log.h"
#include "core/StartupTrace.h"
#include "platform/shell/Resources.h"

namespace orvel {
namespace {

const NativeMediaBackend* openModule() {
  std::string reasons;
  for (const auto& path : nativeMediaModulePaths()) {
    GModule* module = g_module_open(path.c_str(), G_MODULE_BIND_LOCAL);
    if (!module) {
      reasons += std::string("\n  ") + g_module_error();
      continue;
    }
    gpointer entry = nullptr;
    if (!g_module_symbol(module, kNativeMediaBackendSymbol, &entry) || !entry) {
      reasons += "\n  " + path + ": no " + kNativeMediaBackendSymbol;
      g_module_close(module);
      continue;
    }
    // Kept open for the rest of the run: its code and types stay in use.
    g_module_make_resident(module);
    startupMark("native media module opened");
    using Entry = const NativeMediaBackend* (*)();
    return reinterpret_cast<Entry>(entry)();
  }
  logLine("Player", "The native media module cannot be opened, so MKV files cannot play:" +
                        (reasons.empty() ? std::string(" it was not found") : reasons));
  return nullptr;
}

// What a player is without the module: every attempt to play ends in an error, as a file the
// engine cannot open would.
class UnavailablePlayer final : public MediaEnginePlayer {
 public:
  void setMedia(std::optional<Url> url) override { hasMedia_ = url.has_value(); }
  bool hasMedia() const override { return hasMedia_; }
  void play() override {
    state_ = MediaEngineState::error;
    std::lock_guard lock(mutex_);
    if (observer_) {
      observer_(state_);
    }
  }
  void pause() override {}
  void stop() override { state_ = MediaEngineState::stopped; }
  bool isPlaying() const override { return false; }
  MediaEngineState state() const override { return state_; }
  bool isSeekable() const override { return false; }
  std::int64_t time() const override { return 0; }
  void setTime(std::int64_t) override {}
  std::int64_t length() const override { return 0; }
  std::optional<int> volume() const override { return std::nullopt; }
  void setVolume(int) override {}
  void setRate(double) override {}
  std::vector<MediaTrack> tracks() const override { return {}; }
  std::vector<MediaChapter> chapters() const override { return {}; }
  void selectTrack(MediaTrack::Kind, std::optional<std::int64_t>) override {}
  void addSubtitleFile(const std::string&) override {}
  void saveFrame(const std::string&, std::function<void(bool)> done) override { done(false); }
  void setEqualizer(std::optional<std::vector<double>>) override {}
  void setStateObserver(StateObserver observer) override {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
  }

 private:
  bool hasMedia_ = false;
  MediaEngineState state_ = MediaEngineState::stopped;
  std::mutex mutex_;
  StateObserver observer_;
};

}  // namespace

const NativeMediaBackend* nativeMediaBackend() {
  static const NativeMediaBackend* backend = openModule();
  return backend;
}

PlaylistMetadata::Info readLocalFileThroughModule(const std::string& path, bool readFacts) {
  if (const NativeMediaBackend* backend = nativeMediaBackend()) {
    return backend->readLocalFile(path, readFacts);
  }
  return {};
}

std::unique_ptr<Gtk::Widget> LazyNativeMediaEngine::makeVideoView(MKVVideoSurface& surface) {
  surface_ = &surface;
  auto place = std::make_unique<Gtk::Box>();
  place->set_hexpand(true);
  place->set_vexpand(true);
  place_ = place.get();
  return place;
}

bool LazyNativeMediaEngine::load() {
  if (engine_) {
    return true;
  }
  const NativeMediaBackend* backend = nativeMediaBackend();
  if (!backend) {
    return false;
  }
  engine_ = backend->makeEngine();
  if (surface_ && place_) {
    view_ = backend->makeVideoView(*engine_, *surface_);
    view_->set_hexpand(true);
    view_->set_vexpand(true);
    place_->append(*view_);
  }
  return true;
}

std::shared_ptr<MediaEnginePlayer> LazyNativeMediaEngine::makePlayer() {
  if (!load()) {
    return std::make_shared<UnavailablePlayer>();
  }
  return engine_->makePlayer();
}

std::vector<double> LazyNativeMediaEngine::equalizerBandFrequencies() const {
  return engine_ ? engine_->equalizerBandFrequencies() : std::vector<double>{};
}

}  // namespace orvel
