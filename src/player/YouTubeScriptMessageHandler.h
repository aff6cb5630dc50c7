// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/Text.h"

namespace orvel {

// What a page asked the web view to do; the adapter describes it, the handler decides.
struct NavigationAction {
  enum class TargetFrame { none, main, sub };
  bool isLinkActivation = false;
  // `none` is a request for a new window.
  TargetFrame targetFrame = TargetFrame::main;
  std::optional<std::string> url;
};

struct NavigationDecision {
  bool allow = true;
  // Handed to the desktop's default handler.
  std::optional<std::string> openExternally;
  // Loaded in the same web view instead of a new window.
  std::optional<std::string> loadInPlace;
};

struct NavigationError {
  enum class Kind { cancelled, frameLoadInterrupted, pluginWillHandleLoad, other };
  Kind kind = Kind::other;
  std::string description;
};

// Everything that passes between the pages of the player's web view and the native player: the
// "videoProgress" and "playerBridge" channels, navigation events and the navigation policy. It
// turns page events into calls of plain callbacks; an absent callback drops the event.
class YouTubeScriptMessageHandler {
 public:
  using NavigationID = std::uint64_t;
  static constexpr double kInPlaceLoadTimeout = 60.0;
  // Text a page hands over (a title, a dialog's message) is cut to this many characters before
  // it is stored or shown; a page may post anything.
  static constexpr std::size_t kMaxPageTextCharacters = kLongestTitle;

  std::function<void(const std::string& mediaID, double time, std::optional<std::string> title)>
      onProgress;
  std::function<void()> onPageReady;
  std::function<void()> onPlayerReady;
  std::function<void(int state, double currentTime, double duration)> onPlayerStateChange;
  std::function<void(const std::string& mediaID, double currentTime, double duration,
                     const std::string& title, int state)>
      onPlayerTick;
  std::function<void(const std::string& message)> onPlayerError;
  std::function<void(const std::string& sourceURL, const std::string& message)> onSourceError;
  std::function<void(const std::string& message)> onNavigationError;
  std::optional<NavigationID> activeNavigation;
  std::function<void(std::optional<std::string> sourceURL)> onMediaEnded;
  std::function<void(const std::string& listID, std::int64_t index)> onPlaylistPosition;
  // A page asked for protected playback the web engine does not offer: the key system's common
  // name ("Widevine"), or none for one the player does not know by name.
  std::function<void(std::optional<std::string> keySystemName)> onProtectedPlaybackUnavailable;
  std::function<bool()> isPlayerShellActive = [] { return false; };
  std::function<void()> onMainFrameNavigationStarted;
  std::function<void()> onWebContentProcessTerminated;

  // A message posted by a page; `body` is the posted object as JSON text.
  void didReceiveScriptMessage(std::string_view channel, std::string_view body);

  void didStartProvisionalNavigation(NavigationID navigation);
  void didFinishNavigation();
  void didFailNavigation(NavigationID navigation, const NavigationError& error);
  void webContentProcessDidTerminate();

  NavigationDecision decidePolicy(const NavigationAction& action) const;
  // A page asked for a new web view; none is ever created.
  NavigationDecision createWebView(const std::optional<std::string>& url) const;

  static std::string playerErrorMessage(std::int64_t code);
  // "Widevine", "PlayReady", "FairPlay" or "ClearKey" for a key system of theirs; none otherwise,
  // so that no text a page chose is ever shown.
  static std::optional<std::string> keySystemName(std::string_view keySystem);
  // None for an aborted load, which is the user's doing and not worth a message.
  static std::optional<std::string> mediaErrorMessage(std::optional<std::int64_t> code);
  static bool isReported(const NavigationError& error);
  // Only web and mail links may leave the player for the desktop's handler.
  static bool mayOpenExternally(std::string_view url);
  // Only web pages may take the place of the page that asked for a new window.
  static bool mayLoadInPlace(std::string_view url);

 private:
  void handleProgress(std::string_view body);
  void handleBridge(std::string_view body);
  NavigationDecision openElsewhere(const std::string& url) const;
};

}  // namespace orvel
