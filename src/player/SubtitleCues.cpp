// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/SubtitleCues.h"

#include <glib.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <optional>

#include "core/Text.h"
#include "core/Translation.h"
#include "player/SubtitleFile.h"

namespace orvel::SubtitleCues {
namespace {

std::string converted(std::string_view bytes, const char* from) {
  gsize written = 0;
  std::unique_ptr<gchar, decltype(&g_free)> text(
      g_convert_with_fallback(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", from, "?",
                              nullptr, &written, nullptr),
      &g_free);
  return text ? std::string(text.get(), written) : std::string();
}

// "01:02:03,456", "01:02:03.456", "02:03.456" (WebVTT) or "1:02:03.45" (SubStation).
std::optional<double> parseTime(std::string_view text) {
  text = trimmedWhitespace(text);
  double parts[3] = {0, 0, 0};
  int count = 0;
  double fraction = 0;
  std::size_t at = 0;
  while (at < text.size() && count < 3) {
    std::size_t digits = 0;
    double value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 9) {
      value = value * 10 + (text[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0) {
      return std::nullopt;
    }
    parts[count++] = value;
    if (at < text.size() && text[at] == ':') {
      ++at;
      continue;
    }
    if (at < text.size() && (text[at] == ',' || text[at] == '.')) {
      ++at;
      double scale = 0.1;
      std::size_t decimals = 0;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (decimals++ < 6) {
          fraction += (text[at] - '0') * scale;
          scale /= 10;
        }
        ++at;
      }
    }
    break;
  }
  if (at != text.size() || count < 2) {
    return std::nullopt;
  }
  const double seconds =
      count == 3 ? parts[0] * 3600 + parts[1] * 60 + parts[2] : parts[0] * 60 + parts[1];
  return seconds + fraction;
}

// Text made safe as WebVTT cue text: <i>, <b>, <u> and their ends kept, other tags dropped,
// stray angle brackets and ampersands escaped; at most kLongestText characters.
std::string cueText(std::string_view text) {
  std::string safe;
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    if (c == '<') {
      const std::size_t close = text.find('>', at);
      if (close != std::string_view::npos && close - at <= 64) {
        const std::string tag = asciiLowercased(text.substr(at + 1, close - at - 1));
        if (tag == "i" || tag == "b" || tag == "u" || tag == "/i" || tag == "/b" || tag == "/u") {
          safe += "<" + tag + ">";
        }
        at = close + 1;
        continue;
      }
      safe += "&lt;";
    } else if (c == '>') {
      safe += "&gt;";
    } else if (c == '&') {
      safe += "&amp;";
    } else if (c != '\r' && c != '\0') {
      safe += c;
    }
    ++at;
  }
  return std::string(trimmedWhitespace(prefixOfCharacters(safe, kLongestText)));
}

void add(std::vector<Cue>& cues, std::optional<double> start, std::optional<double> end,
         std::string_view text) {
  if (!start || !end || !std::isfinite(*start) || !std::isfinite(*end) || *end <= *start ||
      cues.size() >= kMostCues) {
    return;
  }
  std::string shown = cueText(text);
  if (!shown.empty()) {
    cues.push_back({*start, *end, std::move(shown)});
  }
}

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> found;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view line = text.substr(at, end - at);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    found.push_back(line);
    at = end + 1;
  }
  return found;
}

// SubRip and WebVTT: a line with "-->" between two times, then the text up to a blank line.
std::vector<Cue> parseTimedBlocks(std::string_view text) {
  std::vector<Cue> cues;
  const auto all = lines(text);
  for (std::size_t index = 0; index < all.size() && cues.size() < kMostCues; ++index) {
    const std::size_t arrow = all[index].find("-->");
    if (arrow == std::string_view::npos) {
      continue;
    }
    const std::string_view line = all[index];
    std::string_view after = trimmedWhitespace(line.substr(arrow + 3));
    // WebVTT settings follow the end time.
    after = after.substr(0, std::min(after.find(' '), after.find('\t')));
    std::string body;
    while (index + 1 < all.size() && !trimmedWhitespace(all[index + 1]).empty()) {
      if (body.size() <= kLongestText * 4) {
        body += (body.empty() ? "" : "\n") + std::string(all[index + 1]);
      }
      ++index;
    }
    add(cues, parseTime(line.substr(0, arrow)), parseTime(after), body);
  }
  return cues;
}

// SubStation's text: override blocks dropped (and what a drawing block draws), \N a new line.
std::string plainSubStationText(std::string_view text) {
  std::string plain;
  bool drawing = false;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '{') {
      const std::size_t close = text.find('}', at);
      if (close == std::string_view::npos) {
        break;
      }
      const std::string_view block = text.substr(at, close - at);
      for (std::size_t p = block.find("\\p"); p != std::string_view::npos;
           p = block.find("\\p", p + 2)) {
        if (p + 2 < block.size() && block[p + 2] >= '0' && block[p + 2] <= '9') {
          drawing = block[p + 2] != '0';
        }
      }
      at = close;
    } else if (text[at] == '\\' && at + 1 < text.size() &&
               (text[at + 1] == 'N' || text[at + 1] == 'n' || text[at + 1] == 'h')) {
      if (!drawing) {
        plain += text[at + 1] == 'h' ? ' ' : '\n';
      }
      ++at;
    } else if (!drawing) {
      plain += text[at];
    }
  }
  return plain;
}

std::vector<Cue> parseSubStation(std::string_view text) {
  std::vector<Cue> cues;
  // The usual order; a Format line in [Events] may give another.
  std::vector<std::string> format = {"layer",   "start",   "end",     "style",  "name",
                                     "marginl", "marginr", "marginv", "effect", "text"};
  bool events = false;
  for (const std::string_view line : lines(text)) {
    const std::string_view trimmed = trimmedWhitespace(line);
    if (trimmed.starts_with('[')) {
      events = asciiLowercased(trimmed) == "[events]";
      continue;
    }
    if (!events) {
      continue;
    }
    const std::string lowered = asciiLowercased(trimmed.substr(0, 9));
    if (lowered.starts_with("format:")) {
      format.clear();
      std::string_view fields = trimmed.substr(7);
      while (!fields.empty() && format.size() < 32) {
        const std::size_t comma = fields.find(',');
        format.push_back(asciiLowercased(trimmedWhitespace(fields.substr(0, comma))));
        fields = comma == std::string_view::npos ? std::string_view() : fields.substr(comma + 1);
      }
      continue;
    }
    if (!lowered.starts_with("dialogue:") || format.empty()) {
      continue;
    }
    std::string_view fields = trimmed.substr(9);
    std::optional<double> start;
    std::optional<double> end;
    for (std::size_t field = 0; field < format.size(); ++field) {
      const bool last = field + 1 == format.size();
      const std::size_t comma = last ? std::string_view::npos : fields.find(',');
      const std::string_view value = fields.substr(0, comma);
      if (format[field] == "start") {
        start = parseTime(value);
      } else if (format[field] == "end") {
        end = parseTime(value);
      } else if (format[field] == "text") {
        add(cues, start, end, plainSubStationText(value));
      }
      if (comma == std::string_view::npos) {
        break;
      }
      fields = fields.substr(comma + 1);
    }
    if (cues.size() >= kMostCues) {
      break;
    }
  }
  return cues;
}

}  // namespace

std::string decoded(std::string bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    bytes.erase(0, 3);
  }
  if (bytes.starts_with("\xFF\xFE")) {
    return converted(std::string_view(bytes).substr(2), "UTF-16LE");
  }
  if (bytes.starts_with("\xFE\xFF")) {
    return converted(std::string_view(bytes).substr(2), "UTF-16BE");
  }
  return isValidUTF8(bytes) ? bytes : converted(bytes, "WINDOWS-1252");
}

std::vector<Cue> parse(std::string_view text) {
  for (const std::string_view line : lines(text.substr(0, 64 * 1024))) {
    if (asciiLowercased(trimmedWhitespace(line)) == "[events]") {
      return parseSubStation(text);
    }
  }
  return parseTimedBlocks(text);
}

std::variant<std::vector<Cue>, std::string> read(const std::string& path) {
  if (auto problem = SubtitleFile::problem(path)) {
    return *problem;
  }
  std::ifstream file(path, std::ios::binary);
  std::string bytes;
  bytes.resize(SubtitleFile::kLargest + 1);
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  std::vector<Cue> cues = parse(decoded(std::move(bytes)));
  if (cues.empty()) {
    return SubtitleFile::noSubtitlesMessage(path);
  }
  return cues;
}

}  // namespace orvel::SubtitleCues
