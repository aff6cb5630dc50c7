// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <vector>

#include "app/MediaPlayerRemote.h"
#include "core/ObserverList.h"
#include "platform/dbus/GDBusHandles.h"

namespace orvel {

// The player on the session bus as an MPRIS 2 media player, so that the desktop's media keys and
// its media widgets control it. A name that cannot be owned is logged once; playback goes on.
class MprisService {
 public:
  static constexpr const char* kBusName = "org.mpris.MediaPlayer2.OrvelPlayer";
  static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

  struct Hooks {
    // Brings the player window to the front.
    std::function<void()> raise;
    // The program's own way out, which saves first.
    std::function<void()> quit;
  };

  MprisService(MainQueue& queue, PlaybackControls& session,
               const StreamingProviderRegistry& registry, Hooks hooks);
  ~MprisService();
  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;

 private:
  struct Callbacks;
  void exportObjects(GDBusConnection* bus);
  void announce(const std::vector<MediaPlayerRemote::Property>& changed);
  void announceSeek(std::int64_t position);

  MediaPlayerRemote remote_;
  Hooks hooks_;
  GObjectPtr<GDBusConnection> bus_;
  std::vector<std::unique_ptr<BusObjectRegistration>> objects_;
  bool toldNameLost_ = false;
  ObserverToken changes_;
  ObserverToken seeks_;
  // Last, so that it is given up first.
  BusNameOwnership name_;
};

}  // namespace orvel
