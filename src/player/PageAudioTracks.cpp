// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PageAudioTracks.h"

#include <charconv>

#include "core/Text.h"

namespace orvel {

std::string PageAudioTracks::selectScript(std::int64_t id) {
  return "(() => { const v = document.querySelector('video'); if (!v || !v.audioTracks) return;"
         " for (let i = 0; i < v.audioTracks.length; i++) v.audioTracks[i].enabled = i === " +
         std::to_string(id) + "; })()";
}

std::vector<MediaTrack> PageAudioTracks::parse(std::string_view answer) {
  std::vector<MediaTrack> tracks;
  while (!answer.empty() && tracks.size() < 64) {
    const std::size_t end = answer.find('\n');
    std::string_view line = answer.substr(0, end);
    answer = end == std::string_view::npos ? std::string_view() : answer.substr(end + 1);
    std::vector<std::string_view> fields;
    for (std::size_t tab = line.find('\t'); fields.size() < 5; tab = line.find('\t')) {
      fields.push_back(line.substr(0, tab));
      if (tab == std::string_view::npos) {
        break;
      }
      line.remove_prefix(tab + 1);
    }
    std::int64_t index = -1;
    if (fields.size() != 4 ||
        std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), index).ec !=
            std::errc() ||
        index < 0 || (fields[3] != "0" && fields[3] != "1")) {
      continue;
    }
    tracks.push_back(
        MediaTrack{MediaTrack::Kind::audio, index, std::string(prefixOfCharacters(fields[1], 32)),
                   std::string(prefixOfCharacters(fields[2], 200)), fields[3] == "1", false});
  }
  return tracks;
}

void PageAudioTracks::videoReady() {
  host_.evaluate(kListScript, lifetime_.guard([this, video = video_](const ScriptResult& result) {
    if (video != video_) {
      return;
    }
    auto listed = parse(result.stringValue.value_or(""));
    if (listed != tracks_) {
      tracks_ = std::move(listed);
      host_.changed();
    }
  }));
}

void PageAudioTracks::clear() {
  ++video_;
  if (!tracks_.empty()) {
    tracks_.clear();
    host_.changed();
  }
}

void PageAudioTracks::select(std::int64_t id) {
  for (MediaTrack& track : tracks_) {
    track.selected = track.id == id;
  }
  host_.evaluate(selectScript(id), nullptr);
  host_.changed();
}

}  // namespace orvel
