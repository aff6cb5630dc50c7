// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/YouTubeScriptMessageHandler.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

#include "core/Text.h"
#include "core/Translation.h"
#include "core/Url.h"

namespace orvel {

namespace {

using Json = nlohmann::json;

std::optional<Json> parseObject(std::string_view body) {
  Json json = Json::parse(body, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    return std::nullopt;
  }
  return json;
}

const Json* field(const Json& object, const char* key) {
  auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::optional<double> realField(const Json& object, const char* key) {
  const Json* value = field(object, key);
  if (!value || !value->is_number()) {
    return std::nullopt;
  }
  double number = value->get<double>();
  return std::isfinite(number) ? std::optional(number) : std::nullopt;
}

// Pages post numbers as JavaScript numbers; an integral value counts as an integer whatever its
// JSON spelling, anything fractional or out of range does not.
std::optional<std::int64_t> integerField(const Json& object, const char* key) {
  const Json* value = field(object, key);
  if (!value) {
    return std::nullopt;
  }
  if (value->is_number_integer() && !value->is_number_unsigned()) {
    return value->get<std::int64_t>();
  }
  if (value->is_number_unsigned()) {
    auto number = value->get<std::uint64_t>();
    if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return static_cast<std::int64_t>(number);
    }
    return std::nullopt;
  }
  if (value->is_number_float()) {
    double number = value->get<double>();
    if (std::isfinite(number) && std::trunc(number) == number && number >= -9.2e18 &&
        number <= 9.2e18) {
      return static_cast<std::int64_t>(number);
    }
  }
  return std::nullopt;
}

std::optional<std::string> stringField(const Json& object, const char* key) {
  const Json* value = field(object, key);
  if (!value || !value->is_string()) {
    return std::nullopt;
  }
  return value->get<std::string>();
}

// A string the page chose, bounded.
std::optional<std::string> pageText(const Json& object, const char* key) {
  auto text = stringField(object, key);
  if (text) {
    cutToCharacters(*text, YouTubeScriptMessageHandler::kMaxPageTextCharacters);
  }
  return text;
}

NavigationDecision cancelled() {
  NavigationDecision decision;
  decision.allow = false;
  return decision;
}

int clampedState(std::int64_t state) {
  return state < -1000 || state > 1000 ? -1 : static_cast<int>(state);
}

// A tick is the playlist's while a playlist plays, else the video's.
std::string tickMediaID(const Json& message) {
  const std::string playlistID = stringField(message, "playlistId").value_or(std::string());
  return playlistID.empty() ? stringField(message, "videoId").value_or(std::string())
                            : "youtube-playlist:" + playlistID;
}

}  // namespace

void YouTubeScriptMessageHandler::didReceiveScriptMessage(std::string_view channel,
                                                          std::string_view body) {
  if (channel == "videoProgress") {
    handleProgress(body);
  } else if (channel == "playerBridge") {
    handleBridge(body);
  }
}

void YouTubeScriptMessageHandler::handleProgress(std::string_view body) {
  auto object = parseObject(body);
  if (!object) {
    return;
  }
  auto videoID = stringField(*object, "videoId");
  auto time = realField(*object, "currentTime");
  if (!videoID || !time || !onProgress) {
    return;
  }
  onProgress(*videoID, *time, pageText(*object, "title"));
}

namespace {

void reportState(const YouTubeScriptMessageHandler& handler, const Json& message) {
  const int state = clampedState(integerField(message, "state").value_or(-1));
  const double time = realField(message, "currentTime").value_or(0.0);
  const double duration = realField(message, "duration").value_or(0.0);
  if (handler.onPlayerStateChange) {
    handler.onPlayerStateChange(state, time, duration);
  }
  if ((state == 1 || state == 2) && handler.onPlayerTick) {
    handler.onPlayerTick(tickMediaID(message), time, duration,
                         pageText(message, "title").value_or(""), state);
  }
}

void reportTime(const YouTubeScriptMessageHandler& handler, const Json& message) {
  const std::string playlistID = stringField(message, "playlistId").value_or(std::string());
  auto index = integerField(message, "playlistIndex");
  if (!playlistID.empty() && index && *index >= 0 && handler.onPlaylistPosition) {
    handler.onPlaylistPosition(playlistID, *index);
  }
  if (handler.onPlayerTick) {
    handler.onPlayerTick(tickMediaID(message), realField(message, "currentTime").value_or(0.0),
                         realField(message, "duration").value_or(0.0),
                         pageText(message, "title").value_or(""),
                         clampedState(integerField(message, "state").value_or(-1)));
  }
}

}  // namespace

void YouTubeScriptMessageHandler::handleBridge(std::string_view body) {
  auto object = parseObject(body);
  auto event = object ? stringField(*object, "event") : std::nullopt;
  if (!event) {
    return;
  }
  const Json& message = *object;
  if (*event == "ready") {
    if (onPlayerReady) {
      onPlayerReady();
    }
  } else if (*event == "state") {
    reportState(*this, message);
  } else if (*event == "time" || *event == "mediaTime") {
    reportTime(*this, message);
  } else if (*event == "playlistEnded") {
    if (onMediaEnded) {
      onMediaEnded(std::nullopt);
    }
  } else if (*event == "mediaEnded") {
    auto sourceURL = stringField(message, "sourceURL");
    if (sourceURL && onMediaEnded) {
      onMediaEnded(*sourceURL);
    }
  } else if (*event == "mediaError") {
    auto sourceURL = stringField(message, "sourceURL");
    auto errorText = mediaErrorMessage(integerField(message, "code"));
    if (sourceURL && errorText && onSourceError) {
      onSourceError(*sourceURL, *errorText);
    }
  } else if (*event == "error") {
    if (onPlayerError) {
      onPlayerError(playerErrorMessage(integerField(message, "code").value_or(-1)));
    }
  } else if (*event == "keySystemUnavailable") {
    if (onProtectedPlaybackUnavailable) {
      const auto keySystem = stringField(message, "keySystem");
      onProtectedPlaybackUnavailable(keySystem ? keySystemName(*keySystem) : std::nullopt);
    }
  }
}

std::optional<std::string> YouTubeScriptMessageHandler::keySystemName(std::string_view keySystem) {
  static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
      {"com.widevine.alpha", "Widevine"},
      {"com.microsoft.playready", "PlayReady"},
      {"com.apple.fps", "FairPlay"},
      {"org.w3.clearkey", "ClearKey"},
  };
  for (const auto& [prefix, name] : kNames) {
    // A family's names go on after a dot ("com.microsoft.playready.recommendation").
    if (keySystem == prefix ||
        (keySystem.starts_with(prefix) && keySystem.substr(prefix.size()).starts_with('.'))) {
      return std::string(name);
    }
  }
  return std::nullopt;
}

void YouTubeScriptMessageHandler::didStartProvisionalNavigation(NavigationID navigation) {
  activeNavigation = navigation;
  if (onMainFrameNavigationStarted) {
    onMainFrameNavigationStarted();
  }
}

void YouTubeScriptMessageHandler::didFinishNavigation() {
  if (onPageReady) {
    onPageReady();
  }
}

void YouTubeScriptMessageHandler::didFailNavigation(NavigationID navigation,
                                                    const NavigationError& error) {
  if (activeNavigation != navigation || !isReported(error) || !onNavigationError) {
    return;
  }
  onNavigationError("The video page could not be loaded. " + error.description);
}

void YouTubeScriptMessageHandler::webContentProcessDidTerminate() {
  activeNavigation.reset();
  if (onWebContentProcessTerminated) {
    onWebContentProcessTerminated();
  }
}

NavigationDecision YouTubeScriptMessageHandler::openElsewhere(const std::string& url) const {
  if (isPlayerShellActive()) {
    NavigationDecision decision = cancelled();
    if (mayOpenExternally(url)) {
      decision.openExternally = url;
    }
    return decision;
  }
  // A page may ask for a new window on any scheme; only web pages replace it, never a local file
  // or a script.
  NavigationDecision decision = cancelled();
  if (mayLoadInPlace(url)) {
    decision.loadInPlace = url;
  }
  return decision;
}

NavigationDecision YouTubeScriptMessageHandler::decidePolicy(const NavigationAction& action) const {
  using Frame = NavigationAction::TargetFrame;
  if (isPlayerShellActive() && action.isLinkActivation && action.targetFrame != Frame::sub &&
      action.url) {
    NavigationDecision decision = cancelled();
    if (mayOpenExternally(*action.url)) {
      decision.openExternally = *action.url;
    }
    return decision;
  }
  if (action.targetFrame != Frame::none || !action.url) {
    return NavigationDecision{};
  }
  return openElsewhere(*action.url);
}

NavigationDecision YouTubeScriptMessageHandler::createWebView(
    const std::optional<std::string>& url) const {
  if (!url) {
    return cancelled();
  }
  return openElsewhere(*url);
}

std::string YouTubeScriptMessageHandler::playerErrorMessage(std::int64_t code) {
  switch (code) {
    case 2:
      return _("Invalid video ID");
    case 5:
      return _("Playback error (HTML5)");
    case 100:
      return _("Video not found");
    case 101:
    case 150:
      return _("This video can't be embedded");
    case 152:
      return _("Embed origin rejected");
    case 145:
    case 153:
      return _("Origin error — check embed setup");
    default:
      return formatted(_("Player error %s"), {std::to_string(code)});
  }
}

std::optional<std::string> YouTubeScriptMessageHandler::mediaErrorMessage(
    std::optional<std::int64_t> code) {
  switch (code.value_or(0)) {
    case 1:
      return std::nullopt;
    case 2:
      return _(
          "The video source could not be read. Check the connection or reconnect the drive, "
          "then retry.");
    case 3:
      return _("The video could not be decoded. It may be damaged or use an unsupported codec.");
    case 4:
      return _("The video source or format is not supported, or the source is unavailable.");
    default:
      return _("The video source could not be read. Check the file or URL, then retry.");
  }
}

bool YouTubeScriptMessageHandler::isReported(const NavigationError& error) {
  return error.kind == NavigationError::Kind::other;
}

bool YouTubeScriptMessageHandler::mayLoadInPlace(std::string_view url) {
  auto parsed = Url::parse(url);
  return parsed && (parsed->scheme() == "http" || parsed->scheme() == "https");
}

bool YouTubeScriptMessageHandler::mayOpenExternally(std::string_view url) {
  auto parsed = Url::parse(url);
  if (!parsed) {
    return false;
  }
  const std::string& scheme = parsed->scheme();
  return scheme == "http" || scheme == "https" || scheme == "mailto";
}

}  // namespace orvel
