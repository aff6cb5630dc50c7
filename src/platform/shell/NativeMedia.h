// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm/box.h>

#include <memory>
#include <string>

#include "native/MKVVideoSurface.h"
#include "native/MediaEngine.h"
#include "platform/mpv/NativeMediaBackend.h"

namespace orvel {

// The native media module, opened at the first call from any thread and kept for the rest of
// the run; null, with the reason logged once, when it cannot be opened.
const NativeMediaBackend* nativeMediaBackend();

// A local file's facts and picture through the module; none when the module is missing.
PlaylistMetadata::Info readLocalFileThroughModule(const std::string& path, bool readFacts);

// The native engine the player holds from its start. The module opens when the first player is
// made, that is when the first MKV plays; until then the engine's view is an empty box, which
// then holds the view the engine draws into.
class LazyNativeMediaEngine final : public MediaEngine {
 public:
  LazyNativeMediaEngine() = default;
  LazyNativeMediaEngine(const LazyNativeMediaEngine&) = delete;
  LazyNativeMediaEngine& operator=(const LazyNativeMediaEngine&) = delete;

  // The view's place in the window, for the given surface; made once. It must go before the
  // engine.
  std::unique_ptr<Gtk::Widget> makeVideoView(MKVVideoSurface& surface);

  // Without the module, a player that fails to open anything.
  std::shared_ptr<MediaEnginePlayer> makePlayer() override;
  std::vector<double> equalizerBandFrequencies() const override;

 private:
  bool load();

  MKVVideoSurface* surface_ = nullptr;
  Gtk::Box* place_ = nullptr;
  std::unique_ptr<MediaEngine> engine_;
  std::unique_ptr<Gtk::Widget> view_;
};

}  // namespace orvel
