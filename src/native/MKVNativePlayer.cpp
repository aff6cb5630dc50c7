// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/MKVNativePlayer.h"

namespace orvel {

MKVNativePlayer::MKVNativePlayer(MainQueue& queue, MediaEngine& engine)
    : playback_(queue, engine) {}

void MKVNativePlayer::setZoom(double zoom) {
  playback_.surface().zoom = zoom;
  playback_.surface().setNeedsLayout();
}

}  // namespace orvel
