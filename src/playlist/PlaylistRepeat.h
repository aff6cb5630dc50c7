// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string_view>

#include "core/Defaults.h"

namespace orvel {

// How the play queue goes on at the end of an item; stored under "playlistRepeat" by its raw
// value.
enum class PlaylistRepeat { off, all, one };

// "off", "all" or "one".
std::string_view rawValue(PlaylistRepeat repeat);
std::optional<PlaylistRepeat> playlistRepeat(std::string_view rawValue);

// The stored mode; absent or unknown values mean off.
PlaylistRepeat storedPlaylistRepeat(const Defaults& defaults);
// Writes only when the stored value differs.
void storePlaylistRepeat(Defaults& defaults, PlaylistRepeat repeat);

}  // namespace orvel
