// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistRepeat.h"

#include <string>

#include "playlist/PlaylistLibrary.h"

namespace orvel {

std::string_view rawValue(PlaylistRepeat repeat) {
  switch (repeat) {
    case PlaylistRepeat::all:
      return "all";
    case PlaylistRepeat::one:
      return "one";
    case PlaylistRepeat::off:
      break;
  }
  return "off";
}

std::optional<PlaylistRepeat> playlistRepeat(std::string_view rawValue) {
  for (PlaylistRepeat repeat : {PlaylistRepeat::off, PlaylistRepeat::all, PlaylistRepeat::one}) {
    if (orvel::rawValue(repeat) == rawValue) {
      return repeat;
    }
  }
  return std::nullopt;
}

PlaylistRepeat storedPlaylistRepeat(const Defaults& defaults) {
  if (auto stored = defaults.object(PlaylistLibrary::kRepeatKey)) {
    if (const auto* text = stored->get<std::string>()) {
      return playlistRepeat(*text).value_or(PlaylistRepeat::off);
    }
  }
  return PlaylistRepeat::off;
}

void storePlaylistRepeat(Defaults& defaults, PlaylistRepeat repeat) {
  const std::string value(rawValue(repeat));
  if (auto stored = defaults.object(PlaylistLibrary::kRepeatKey); stored && *stored == value) {
    return;
  }
  defaults.set(PlaylistLibrary::kRepeatKey, PropertyList(value));
}

}  // namespace orvel
