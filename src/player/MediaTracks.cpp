// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/MediaTracks.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "core/Text.h"
#include "core/Translation.h"

namespace orvel {
namespace {

// The languages films are tagged with most, by their ISO 639 codes (two and three letters, both
// three-letter forms); any other shows as its code.
std::string languageName(std::string_view code) {
  static constexpr std::pair<std::string_view, const char*> kNames[] = {
      {"en", N_("English")},    {"eng", N_("English")},    {"fr", N_("French")},
      {"fre", N_("French")},    {"fra", N_("French")},     {"de", N_("German")},
      {"ger", N_("German")},    {"deu", N_("German")},     {"es", N_("Spanish")},
      {"spa", N_("Spanish")},   {"it", N_("Italian")},     {"ita", N_("Italian")},
      {"pt", N_("Portuguese")}, {"por", N_("Portuguese")}, {"nl", N_("Dutch")},
      {"dut", N_("Dutch")},     {"nld", N_("Dutch")},      {"ja", N_("Japanese")},
      {"jpn", N_("Japanese")},  {"zh", N_("Chinese")},     {"chi", N_("Chinese")},
      {"zho", N_("Chinese")},   {"ru", N_("Russian")},     {"rus", N_("Russian")},
      {"ko", N_("Korean")},     {"kor", N_("Korean")},
  };
  const std::string lowered = asciiLowercased(code);
  for (const auto& [known, name] : kNames) {
    if (lowered == known) {
      return translated(name);
    }
  }
  return lowered == "und" ? std::string() : std::string(code);
}

}  // namespace

void MediaTracks::refresh() {
  std::vector<MediaTrack> now = host_.tracks ? host_.tracks() : std::vector<MediaTrack>();
  if (now != tracks_) {
    tracks_ = std::move(now);
    if (host_.changed) {
      host_.changed();
    }
  }
}

void MediaTracks::clear() {
  if (!tracks_.empty()) {
    tracks_.clear();
    if (host_.changed) {
      host_.changed();
    }
  }
}

std::vector<MediaTracks::Choice> MediaTracks::choices(MediaTrack::Kind kind) const {
  std::vector<Choice> found;
  for (const MediaTrack& track : tracks_) {
    if (track.kind == kind) {
      found.push_back(Choice{track.id, label(track, found.size() + 1), track.selected});
    }
  }
  return found;
}

std::vector<MediaTracks::Choice> MediaTracks::audio() const {
  std::vector<Choice> found = choices(MediaTrack::Kind::audio);
  return found.size() >= 2 ? found : std::vector<Choice>();
}

std::vector<MediaTracks::Choice> MediaTracks::subtitles() const {
  std::vector<Choice> found = choices(MediaTrack::Kind::subtitle);
  if (found.empty()) {
    return found;
  }
  const bool shown =
      std::any_of(found.begin(), found.end(), [](const Choice& choice) { return choice.selected; });
  found.insert(found.begin(), Choice{std::nullopt, _("Off"), !shown});
  return found;
}

void MediaTracks::choose(MediaTrack::Kind kind, std::optional<std::int64_t> id) {
  if (host_.select) {
    host_.select(kind, id);
  }
}

std::string MediaTracks::label(const MediaTrack& track, std::size_t number) {
  // A title of a film's own is a word or two; a long one is cut.
  const std::string title(prefixOfCharacters(trimmedWhitespace(track.title), 60));
  const std::string language = languageName(trimmedWhitespace(track.language));
  std::string text;
  if (!language.empty() && !title.empty() && title != language) {
    text = language + " — " + title;
  } else if (!title.empty()) {
    text = title;
  } else if (!language.empty()) {
    text = language;
  } else {
    text = formatted(_("Track %s"), {std::to_string(number)});
  }
  return track.external ? formatted(_("%s (file)"), {text}) : text;
}

}  // namespace orvel
