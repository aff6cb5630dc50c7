#include "native/MKVNativePlayer.h"

namespace orvel {

MKVNativePlayer::MKVNativePlayer(MainQueue& queue, MediaEngine& engine) : playback_(queue, engine) {
  forwarding_ = playback_.observeUpdates(
      [this](const MKVPlayback::Snapshot& snapshot) { updates_.notify(converted(snapshot)); });
}

PlaybackSnapshot MKVNativePlayer::converted(const MKVPlayback::Snapshot& snapshot) {
  return PlaybackSnapshot{snapshot.sessionID, snapshot.mediaID, snapshot.time, snapshot.duration,
                          snapshot.state};
}

void MKVNativePlayer::setZoom(double zoom) {
  playback_.surface().zoom = zoom;
  playback_.surface().setNeedsLayout();
}

const std::optional<PlaybackSnapshot>& MKVNativePlayer::snapshot() const {
  const auto& current = playback_.snapshot();
  snapshot_ = current ? std::optional(converted(*current)) : std::nullopt;
  return snapshot_;
}

}  // namespace orvel
