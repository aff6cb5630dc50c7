// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/RecentVideoItem.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <tuple>

#include "core/Text.h"

namespace orvel {
namespace {

using Json = nlohmann::json;

int clampedStars(double stars) {
  return static_cast<int>(std::clamp(stars, 0.0, 5.0));
}

std::string describe(std::size_t index, std::string_view key, std::string_view problem) {
  return "record " + std::to_string(index) + ": \"" + std::string(key) + "\" " +
         std::string(problem);
}

// Why the field at `key` cannot be read: it is missing, or not of the type named.
std::string fieldProblem(const Json& object, std::size_t index, const char* key, const char* type) {
  return describe(
      index, key,
      object.contains(key) ? std::string("is not a ") + type : std::string("is missing"));
}

// The optional fields: absent or null means the default. Returns what is wrong, if anything.
std::optional<std::string> decodeOptionalFields(const Json& object, std::size_t index,
                                                RecentVideoItem& item) {
  auto optional = [&](const char* key) -> const Json* {
    auto found = object.find(key);
    return found == object.end() || found->is_null() ? nullptr : &*found;
  };
  if (const Json* stars = optional("watchLaterStars")) {
    if (!stars->is_number() ||
        (stars->is_number_float() && std::trunc(stars->get<double>()) != stars->get<double>())) {
      return fieldProblem(object, index, "watchLaterStars", "whole number");
    }
    item.watchLaterStars = clampedStars(stars->get<double>());
  }
  if (const Json* thumbsDown = optional("isThumbsDown")) {
    if (!thumbsDown->is_boolean()) {
      return fieldProblem(object, index, "isThumbsDown", "boolean");
    }
    item.isThumbsDown = thumbsDown->get<bool>();
  }
  if (const Json* note = optional("watchNote")) {
    if (!note->is_string()) {
      return fieldProblem(object, index, "watchNote", "string");
    }
    item.watchNote = note->get<std::string>();
    cutToCharacters(item.watchNote, kLongestNote);
  }
  if (const Json* sourceURL = optional("sourceURL")) {
    if (!sourceURL->is_string()) {
      return fieldProblem(object, index, "sourceURL", "string");
    }
    item.sourceURL = sourceURL->get<std::string>();
  }
  return std::nullopt;
}

Result<RecentVideoItem> decodeItem(const Json& object, std::size_t index) {
  using R = Result<RecentVideoItem>;
  if (!object.is_object()) {
    return R::failure("record " + std::to_string(index) + " is not an object");
  }
  auto required = [&](const char* key, auto isRightType) -> const Json* {
    auto found = object.find(key);
    if (found == object.end() || !isRightType(*found)) {
      return nullptr;
    }
    return &*found;
  };
  auto isString = [](const Json& value) { return value.is_string(); };
  auto isNumber = [](const Json& value) {
    return value.is_number() && std::isfinite(value.get<double>());
  };
  const Json* videoID = required("videoID", isString);
  const Json* title = required("title", isString);
  const Json* lastPosition = required("lastPosition", isNumber);
  const Json* lastPlayedAt = required("lastPlayedAt", isNumber);
  for (auto [field, key, type] :
       {std::tuple{videoID, "videoID", "string"}, std::tuple{title, "title", "string"},
        std::tuple{lastPosition, "lastPosition", "finite number"},
        std::tuple{lastPlayedAt, "lastPlayedAt", "finite number"}}) {
    if (!field) {
      return R::failure(fieldProblem(object, index, key, type));
    }
  }
  RecentVideoItem item;
  item.videoID = videoID->get<std::string>();
  item.title = title->get<std::string>();
  cutToCharacters(item.title, kLongestTitle);
  item.lastPosition = lastPosition->get<double>();
  item.lastPlayedAt = Date{lastPlayedAt->get<double>()};
  if (auto failure = decodeOptionalFields(object, index, item)) {
    return R::failure(*failure);
  }
  return item;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> RecentVideoItem::encodeList(
    const std::vector<RecentVideoItem>& items) {
  Json array = Json::array();
  for (const RecentVideoItem& item : items) {
    if (!std::isfinite(item.lastPosition) ||
        !std::isfinite(item.lastPlayedAt.timeIntervalSinceReferenceDate)) {
      return std::nullopt;
    }
    Json object = {{"videoID", item.videoID},
                   {"title", item.title},
                   {"lastPosition", item.lastPosition},
                   {"lastPlayedAt", item.lastPlayedAt.timeIntervalSinceReferenceDate},
                   {"watchLaterStars", std::clamp(item.watchLaterStars, 0, 5)},
                   {"isThumbsDown", item.isThumbsDown},
                   {"watchNote", item.watchNote}};
    if (item.sourceURL) {
      object["sourceURL"] = *item.sourceURL;
    }
    array.push_back(std::move(object));
  }
  // Text that is not UTF-8 (a file name in another encoding) is stored with replacement
  // characters rather than failing the whole list.
  const std::string text = array.dump(-1, ' ', false, Json::error_handler_t::replace);
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

Result<RecentVideoItem::DecodedList> RecentVideoItem::decodeList(std::string_view json) {
  using R = Result<DecodedList>;
  Json document = Json::parse(json, nullptr, false);
  if (document.is_discarded()) {
    return R::failure("the data is not valid JSON");
  }
  if (!document.is_array()) {
    return R::failure("the data is not a JSON array");
  }
  DecodedList decoded;
  decoded.items.reserve(document.size());
  for (std::size_t index = 0; index < document.size(); ++index) {
    auto item = decodeItem(document[index], index);
    if (item) {
      decoded.items.push_back(std::move(item).value());
    } else {
      decoded.skipped.push_back(item.error());
    }
  }
  return decoded;
}

}  // namespace orvel
