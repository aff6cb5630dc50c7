// SPDX-License-Identifier: GPL-3.0-or-later

// Messages that pages post to the player: the first byte picks the channel, the rest is the body.
// The same bytes are also asked of the navigation policy as a link.
#include <cmath>
#include <string>
#include <string_view>

#include "core/Text.h"
#include "core/Url.h"
#include "fuzz/FuzzSupport.h"
#include "player/YouTubeScriptMessageHandler.h"

namespace orvel {
namespace {

using fuzz::require;
using Handler = YouTubeScriptMessageHandler;

void requirePageText(const std::string& text) {
  require(prefixOfCharacters(text, Handler::kMaxPageTextCharacters).size() == text.size(),
          "page text is cut to its bound");
}

void requireTime(double seconds) {
  require(std::isfinite(seconds), "times are finite");
}

void requireState(int state) {
  require(state >= -1000 && state <= 1000, "states are clamped");
}

bool leavesForDesktop(const std::string& url) {
  const auto parsed = Url::parse(url);
  return parsed && (parsed->scheme() == "http" || parsed->scheme() == "https" ||
                    parsed->scheme() == "mailto");
}

void requireSafe(const NavigationDecision& decision) {
  if (decision.openExternally) {
    require(leavesForDesktop(*decision.openExternally), "only web and mail links leave");
  }
  if (decision.loadInPlace) {
    const auto parsed = Url::parse(*decision.loadInPlace);
    require(parsed && (parsed->scheme() == "http" || parsed->scheme() == "https"),
            "only web pages load in place");
  }
}

Handler& handler() {
  static Handler handler = [] {
    Handler made;
    made.onProgress = [](const std::string&, double time, std::optional<std::string> title) {
      requireTime(time);
      if (title) {
        requirePageText(*title);
      }
    };
    made.onPlayerStateChange = [](int state, double time, double duration) {
      requireState(state);
      requireTime(time);
      requireTime(duration);
    };
    made.onPlayerTick = [](const std::string&, double time, double duration,
                           const std::string& title, int state) {
      requireTime(time);
      requireTime(duration);
      requirePageText(title);
      requireState(state);
    };
    made.onPlayerError = [](const std::string& message) {
      require(!message.empty(), "errors say something");
    };
    made.onSourceError = [](const std::string&, const std::string& message) {
      require(!message.empty(), "errors say something");
    };
    made.onMediaEnded = [](std::optional<std::string>) {};
    made.onPlaylistPosition = [](const std::string& list, std::int64_t index) {
      require(!list.empty() && index >= 0, "playlist positions name a list and an index");
    };
    made.onPlayerReady = [] {};
    return made;
  }();
  return handler;
}

}  // namespace
}  // namespace orvel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using orvel::NavigationAction;
  orvel::fuzz::silenceLogs();
  if (size == 0) {
    return 0;
  }
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
  auto& handler = orvel::handler();
  handler.didReceiveScriptMessage(data[0] & 1 ? "playerBridge" : "videoProgress", body);

  const bool shellActive = data[0] & 2;
  handler.isPlayerShellActive = [shellActive] { return shellActive; };
  NavigationAction action;
  action.isLinkActivation = data[0] & 4;
  action.targetFrame = static_cast<NavigationAction::TargetFrame>((data[0] >> 3) % 3);
  action.url = std::string(body);
  orvel::requireSafe(handler.decidePolicy(action));
  orvel::requireSafe(handler.createWebView(action.url));
  return 0;
}
