// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvel::SubtitleCues {

// One line of subtitles: shown from start to end (seconds), its text in WebVTT's cue text (the
// simple <i>, <b> and <u> kept, every other markup dropped, the rest escaped).
struct Cue {
  double start = 0;
  double end = 0;
  std::string text;
  bool operator==(const Cue&) const = default;
};

// More than a feature film's subtitles ever hold; the rest of a larger file is left out.
inline constexpr std::size_t kMostCues = 20000;
inline constexpr std::size_t kLongestText = 1000;

// The file's bytes as UTF-8: a byte order mark dropped, UTF-16 (with its mark) converted, and
// anything else that is not UTF-8 read as Windows-1252, as browsers read subtitles of that age.
std::string decoded(std::string bytes);

// The cues of SubRip, WebVTT or (Advanced) SubStation text, told apart by their content; a cue
// with a broken time is left out.
std::vector<Cue> parse(std::string_view text);

// Reads, decodes and parses a subtitle file; the reason in words when it cannot be shown.
std::variant<std::vector<Cue>, std::string> read(const std::string& path);

}  // namespace orvel::SubtitleCues
