// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <string_view>
#include <utility>

namespace orvel {

// The toolbar's symbols by the names the design gives them, and the icon each is drawn with:
// freedesktop symbolic icons that the toolkit's own icon theme carries, and two drawn for the
// player where it carries none (shipped in the resources' "icons" folder).
namespace PlayerSymbols {

inline constexpr std::array<std::pair<std::string_view, std::string_view>, 43> kIcons{{
    {"speaker.slash.fill", "audio-volume-muted-symbolic"},
    {"speaker.wave.2.fill", "audio-volume-high-symbolic"},
    {"waveform", "orvel-equalizer-symbolic"},
    {"backward.end.fill", "media-skip-backward-symbolic"},
    {"play.fill", "media-playback-start-symbolic"},
    {"pause.fill", "media-playback-pause-symbolic"},
    {"forward.end.fill", "media-skip-forward-symbolic"},
    {"arrow.up.left.and.arrow.down.right", "view-fullscreen-symbolic"},
    {"pin.fill", "view-pin-symbolic"},
    {"pin", "view-pin-symbolic"},
    {"camera", "camera-photo-symbolic"},
    {"gearshape.fill", "emblem-system-symbolic"},
    {"list.bullet", "view-list-bullet-symbolic"},
    {"slider.vertical.3", "orvel-sliders-symbolic"},
    {"exclamationmark.triangle.fill", "dialog-warning-symbolic"},
    {"trash", "user-trash-symbolic"},
    {"arrow.counterclockwise", "edit-undo-symbolic"},
    // The playlist panel's.
    {"folder.fill", "folder-open-symbolic"},
    {"folder", "folder-symbolic"},
    {"list.and.film", "view-list-ordered-symbolic"},
    {"play.rectangle.fill", "emblem-videos-symbolic"},
    {"film", "video-x-generic-symbolic"},
    {"link", "insert-link-symbolic"},
    // The status menu's.
    {"clock.arrow.circlepath", "document-open-recent-symbolic"},
    {"envelope", "mail-send-symbolic"},
    {"arrow.triangle.2.circlepath", "view-refresh-symbolic"},
    // The star rating's.
    {"star.fill", "starred-symbolic"},
    {"star", "non-starred-symbolic"},
    {"bookmark.fill", "user-bookmarks-symbolic"},
    {"repeat", "media-playlist-repeat-symbolic"},
    {"repeat.1", "media-playlist-repeat-song-symbolic"},
    {"shuffle", "media-playlist-shuffle-symbolic"},
    {"plus", "list-add-symbolic"},
    {"minus", "list-remove-symbolic"},
    {"chevron.up", "go-up-symbolic"},
    {"chevron.down", "go-down-symbolic"},
    {"chevron.right", "pan-end-symbolic"},
    {"disclosure.open", "pan-down-symbolic"},
    {"folder.badge.plus", "folder-new-symbolic"},
    {"folder.move", "document-send-symbolic"},
    {"ellipsis.circle", "view-more-symbolic"},
    {"square.and.arrow.up.on.square", "document-save-as-symbolic"},
    {"xmark.circle.fill", "edit-clear-symbolic"},
}};

// The icon for a symbol; an unknown symbol gets the generic "image-missing" name, which a test
// keeps from ever being needed.
constexpr std::string_view iconName(std::string_view symbol) {
  for (const auto& [name, icon] : kIcons) {
    if (name == symbol) {
      return icon;
    }
  }
  return "image-missing";
}

}  // namespace PlayerSymbols
}  // namespace orvel
