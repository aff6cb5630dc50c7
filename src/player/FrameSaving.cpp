// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/FrameSaving.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>

#include "core/Text.h"
#include "core/Translation.h"

namespace orvel {
namespace {

// How long the status line names the saved file.
constexpr double kMessageSeconds = 6.0;
// The most pixels a side of a saved picture may have; a page that claims more is not believed.
constexpr int kLargestSide = 16384;

// "1-02-03" past an hour, else "0-02-03": sortable, and safe in any file system.
std::string timeInName(double seconds) {
  const long total = std::isfinite(seconds) && seconds > 0 ? std::lround(std::floor(seconds)) : 0;
  char text[32];
  std::snprintf(text, sizeof text, "%ld-%02ld-%02ld", total / 3600, total / 60 % 60, total % 60);
  return text;
}

}  // namespace

std::string FrameSaving::fileName(std::string_view title, double seconds) {
  std::string safe;
  for (const char c : title) {
    const auto byte = static_cast<unsigned char>(c);
    safe += c == '/' || byte < 0x20 || byte == 0x7F ? ' ' : c;
  }
  std::string_view kept = safe;
  while (!kept.empty() && (kept.front() == '.' || kept.front() == ' ')) {
    kept.remove_prefix(1);
  }
  // 100 characters, and no more than 200 bytes so that the whole name stays within the 255
  // bytes a file system allows whatever the script.
  kept = trimmedWhitespace(kept);
  for (std::size_t characters = 100;; --characters) {
    const std::string_view cut = prefixOfCharacters(kept, characters);
    if (cut.size() <= 200 || characters == 0) {
      kept = trimmedWhitespace(cut);
      break;
    }
  }
  return (kept.empty() ? std::string("Frame") : std::string(kept)) + " " + timeInName(seconds) +
         ".png";
}

std::optional<PictureRegion> FrameSaving::parseRegion(std::string_view answer) {
  std::istringstream stream{std::string(answer)};
  stream.imbue(std::locale::classic());
  std::vector<double> values;
  double value = 0;
  while (values.size() < 7 && stream >> value) {
    values.push_back(value);
  }
  if (values.size() != 6 || !stream.eof()) {
    return std::nullopt;
  }
  for (const double number : values) {
    if (!std::isfinite(number)) {
      return std::nullopt;
    }
  }
  const PictureRegion region{values[0],
                             values[1],
                             values[2],
                             values[3],
                             static_cast<int>(std::lround(std::min(values[4], 1e9))),
                             static_cast<int>(std::lround(std::min(values[5], 1e9)))};
  const bool sensible = region.width >= 1 && region.height >= 1 && region.outputWidth >= 1 &&
                        region.outputHeight >= 1 && region.outputWidth <= kLargestSide &&
                        region.outputHeight <= kLargestSide;
  return sensible ? std::optional(region) : std::nullopt;
}

std::string FrameSaving::freePath(const std::string& folder, const std::string& name) {
  const std::filesystem::path base(name);
  const std::string stem = base.stem().string();
  const std::string extension = base.extension().string();
  std::error_code error;
  for (int number = 1;; ++number) {
    const std::string candidate =
        folder + "/" +
        (number == 1 ? name : stem + " (" + std::to_string(number) + ")" + extension);
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error)) ||
        number >= 10000) {
      return candidate;
    }
  }
}

void FrameSaving::save() {
  if (saving_) {
    return;
  }
  const Source source = host_.source ? host_.source() : Source::none;
  if (source == Source::none || (source == Source::page && !host_.web)) {
    host_.statusMessage(_("There is no picture to save."), kMessageSeconds);
    return;
  }
  const std::optional<std::string> folder = host_.picturesFolder();
  if (!folder) {
    host_.statusMessage(_("The Pictures folder could not be made."), kMessageSeconds);
    return;
  }
  const std::string path = freePath(*folder, fileName(host_.title(), host_.time()));
  saving_ = true;
  if (source == Source::native) {
    host_.saveNative(path, lifetime_.guard([this, path](bool saved) { finish(path, saved); }));
    return;
  }
  host_.web->evaluate(kRegionScript, lifetime_.guard([this, path](const ScriptResult& result) {
    const auto region = parseRegion(result.stringValue.value_or(""));
    host_.web->savePicture(path, region,
                           lifetime_.guard([this, path](bool saved) { finish(path, saved); }));
  }));
}

void FrameSaving::finish(const std::string& path, bool saved) {
  saving_ = false;
  if (!saved) {
    host_.statusMessage(_("The frame could not be saved."), kMessageSeconds);
    return;
  }
  std::string shown = path;
  if (!host_.home.empty() && shown.starts_with(host_.home + "/")) {
    shown = "~" + shown.substr(host_.home.size());
  }
  host_.statusMessage(formatted(_("Frame saved to %s"), {shown}), kMessageSeconds);
}

}  // namespace orvel
