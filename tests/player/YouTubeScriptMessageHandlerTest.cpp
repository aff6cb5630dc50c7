// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/YouTubeScriptMessageHandler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

// Records every callback as one line of text, so a test reads as the sequence it expects.
struct Recorder {
  YouTubeScriptMessageHandler handler;
  std::vector<std::string> calls;

  Recorder() {
    handler.onProgress = [this](const std::string& id, double time,
                                std::optional<std::string> title) {
      calls.push_back("progress " + id + " " + std::to_string(time) + " " +
                      title.value_or("<none>"));
    };
    handler.onPlayerReady = [this] { calls.push_back("ready"); };
    handler.onPlayerStateChange = [this](int state, double time, double duration) {
      calls.push_back("state " + std::to_string(state) + " " + std::to_string(time) + " " +
                      std::to_string(duration));
    };
    handler.onPlayerTick = [this](const std::string& id, double, double, const std::string& title,
                                  int state) {
      calls.push_back("tick " + id + " " + title + " " + std::to_string(state));
    };
    handler.onPlayerError = [this](const std::string& message) {
      calls.push_back("error " + message);
    };
    handler.onSourceError = [this](const std::string& source, const std::string& message) {
      calls.push_back("source " + source + " " + message);
    };
    handler.onNavigationError = [this](const std::string& message) {
      calls.push_back("navigation " + message);
    };
    handler.onMediaEnded = [this](std::optional<std::string> source) {
      calls.push_back("ended " + source.value_or("<none>"));
    };
    handler.onPlaylistPosition = [this](const std::string& list, std::int64_t index) {
      calls.push_back("position " + list + " " + std::to_string(index));
    };
    handler.onProtectedPlaybackUnavailable = [this](std::optional<std::string> keySystem) {
      calls.push_back("protected " + keySystem.value_or("<unnamed>"));
    };
  }

  std::vector<std::string> bridge(const std::string& body) {
    calls.clear();
    handler.didReceiveScriptMessage("playerBridge", body);
    return calls;
  }
};

using Calls = std::vector<std::string>;

TEST(YouTubeScriptMessageHandler, PlayerErrorsUseTheTableAndTheDefaultCode) {
  Recorder r;
  EXPECT_EQ(r.bridge(R"({"event":"error"})"), Calls{"error Player error -1"});
  EXPECT_EQ(r.bridge(R"({"event":"error","code":150})"),
            Calls{"error This video can't be embedded"});
  EXPECT_EQ(r.bridge(R"({"event":"error","code":153})"),
            Calls{"error Origin error — check embed setup"});
  EXPECT_EQ(r.bridge(R"({"event":"error","code":"150"})"), Calls{"error Player error -1"});
  EXPECT_EQ(r.bridge(R"({"event":"error","code":7})"), Calls{"error Player error 7"});
}

TEST(YouTubeScriptMessageHandler, MediaErrorsNeedASourceAndIgnoreAbortedLoads) {
  Recorder r;
  EXPECT_TRUE(r.bridge(R"({"event":"mediaError","code":1,"sourceURL":"file:///a.webm"})").empty());
  EXPECT_TRUE(r.bridge(R"({"event":"mediaError","code":3})").empty());
  EXPECT_TRUE(r.bridge(R"({"event":"mediaError","code":3,"sourceURL":7})").empty());
  EXPECT_EQ(r.bridge(R"({"event":"mediaError","code":3,"sourceURL":"file:///a.webm"})"),
            Calls{"source file:///a.webm The video could not be decoded. It may be damaged or use "
                  "an unsupported codec."});
  EXPECT_EQ(r.bridge(R"({"event":"mediaError","sourceURL":"https://x/a.mp4"})"),
            Calls{"source https://x/a.mp4 The video source could not be read. Check the file or "
                  "URL, then retry."});
}

TEST(YouTubeScriptMessageHandler, StatesTickOnlyWhilePlayingOrPaused) {
  Recorder r;
  EXPECT_EQ(r.bridge(R"({"event":"state","state":3,"currentTime":1.5,"duration":10})"),
            Calls{"state 3 1.500000 10.000000"});
  EXPECT_EQ(r.bridge(R"({"event":"state","state":1,"videoId":"abc","title":"T"})"),
            (Calls{"state 1 0.000000 0.000000", "tick abc T 1"}));
  EXPECT_EQ(r.bridge(R"({"event":"state","state":2,"videoId":"abc","playlistId":"PL9"})"),
            (Calls{"state 2 0.000000 0.000000", "tick youtube-playlist:PL9  2"}));
  EXPECT_EQ(r.bridge(R"({"event":"state"})"), Calls{"state -1 0.000000 0.000000"});
}

TEST(YouTubeScriptMessageHandler, TimeReportsThePlaylistPositionFirst) {
  Recorder r;
  EXPECT_EQ(r.bridge(R"({"event":"time","playlistId":"PL9","playlistIndex":4,"videoId":"v",
                          "state":1})"),
            (Calls{"position PL9 4", "tick youtube-playlist:PL9  1"}));
  // Page numbers arrive as JavaScript numbers, whatever their JSON spelling.
  EXPECT_EQ(r.bridge(R"({"event":"time","playlistId":"PL9","playlistIndex":2.0,"state":1})"),
            (Calls{"position PL9 2", "tick youtube-playlist:PL9  1"}));
  EXPECT_EQ(r.bridge(R"({"event":"time","playlistId":"PL9","playlistIndex":-1,"state":1})"),
            Calls{"tick youtube-playlist:PL9  1"});
  EXPECT_EQ(r.bridge(R"({"event":"time","playlistId":"PL9","playlistIndex":1.5,"state":1})"),
            Calls{"tick youtube-playlist:PL9  1"});
  EXPECT_EQ(r.bridge(R"({"event":"mediaTime","videoId":"webm:file:///a.webm","state":2})"),
            Calls{"tick webm:file:///a.webm  2"});
}

TEST(YouTubeScriptMessageHandler, EndsComeFromPlaylistsAndMediaElements) {
  Recorder r;
  EXPECT_EQ(r.bridge(R"({"event":"playlistEnded"})"), Calls{"ended <none>"});
  EXPECT_EQ(r.bridge(R"({"event":"mediaEnded","sourceURL":"file:///a.mp4"})"),
            Calls{"ended file:///a.mp4"});
  EXPECT_TRUE(r.bridge(R"({"event":"mediaEnded"})").empty());
}

// A refused key system is named only by the names the player knows; whatever else a page sends
// (another key system, a script, megabytes, no text at all) is said without its words.
TEST(YouTubeScriptMessageHandler, ARefusedKeySystemIsNamedOnlyWhenThePlayerKnowsIt) {
  Recorder r;
  auto refused = [&r](const std::string& keySystem) {
    return r.bridge(R"({"event":"keySystemUnavailable","keySystem":)" + keySystem + "}");
  };
  EXPECT_EQ(refused(R"("com.widevine.alpha")"), Calls{"protected Widevine"});
  EXPECT_EQ(refused(R"("com.microsoft.playready.recommendation")"), Calls{"protected PlayReady"});
  EXPECT_EQ(refused(R"("com.apple.fps.1_0")"), Calls{"protected FairPlay"});
  EXPECT_EQ(refused(R"("org.w3.clearkey")"), Calls{"protected ClearKey"});
  const std::vector<std::string> hostile = {R"("com.widevine.alphabet")",
                                            R"("<img src=x onerror=alert(1)>")",
                                            "\"" + std::string(1 << 20, 'w') + "\"",
                                            "42",
                                            "null",
                                            R"(["com.widevine.alpha"])",
                                            R"("com.widevine.alpha\u0000x")"};
  for (const std::string& keySystem : hostile) {
    EXPECT_EQ(refused(keySystem), Calls{"protected <unnamed>"}) << keySystem.substr(0, 60);
  }
  EXPECT_EQ(r.bridge(R"({"event":"keySystemUnavailable"})"), Calls{"protected <unnamed>"});
}

TEST(YouTubeScriptMessageHandler, MalformedMessagesAreIgnored) {
  Recorder r;
  for (const char* body : {"", "not json", "[1,2]", "42", R"({"event":5})", R"({"noEvent":1})",
                           R"({"event":"unknown"})", "{\"event\":\"ready\"", "\xff\xfe"}) {
    EXPECT_TRUE(r.bridge(body).empty()) << body;
  }
  std::string deep(200000, '[');
  EXPECT_TRUE(r.bridge(deep + std::string(200000, ']')).empty());

  r.calls.clear();
  r.handler.didReceiveScriptMessage("otherChannel", R"({"event":"ready"})");
  r.handler.didReceiveScriptMessage("videoProgress", R"({"videoId":"a"})");
  r.handler.didReceiveScriptMessage("videoProgress", R"({"videoId":1,"currentTime":2})");
  EXPECT_TRUE(r.calls.empty());
  r.handler.didReceiveScriptMessage("videoProgress",
                                    R"({"videoId":"a","currentTime":2.5,"title":7})");
  r.handler.didReceiveScriptMessage("videoProgress",
                                    R"({"videoId":"a","currentTime":3,"title":"T"})");
  EXPECT_EQ(r.calls, (Calls{"progress a 2.500000 <none>", "progress a 3.000000 T"}));
}

TEST(YouTubeScriptMessageHandler, OnlyTheLatestNavigationReportsFailures) {
  Recorder r;
  r.handler.didStartProvisionalNavigation(1);
  r.handler.didStartProvisionalNavigation(2);
  r.handler.didFailNavigation(1, {NavigationError::Kind::other, "Old"});
  r.handler.didFailNavigation(2, {NavigationError::Kind::cancelled, "Cancelled"});
  r.handler.didFailNavigation(2, {NavigationError::Kind::frameLoadInterrupted, "Interrupted"});
  r.handler.didFailNavigation(2, {NavigationError::Kind::pluginWillHandleLoad, "Plug-in"});
  EXPECT_TRUE(r.calls.empty());
  r.handler.didFailNavigation(2, {NavigationError::Kind::other, "Host not found"});
  EXPECT_EQ(r.calls, Calls{"navigation The video page could not be loaded. Host not found"});

  r.calls.clear();
  r.handler.webContentProcessDidTerminate();
  r.handler.didFailNavigation(2, {NavigationError::Kind::other, "Gone"});
  EXPECT_TRUE(r.calls.empty());
}

TEST(YouTubeScriptMessageHandler, LinksInThePlayerPageOpenOutsideAndThePageStays) {
  YouTubeScriptMessageHandler handler;
  bool shellActive = true;
  handler.isPlayerShellActive = [&] { return shellActive; };
  using Frame = NavigationAction::TargetFrame;

  auto link = handler.decidePolicy({true, Frame::main, "https://www.youtube.com/watch?v=x"});
  EXPECT_FALSE(link.allow);
  EXPECT_EQ(link.openExternally, "https://www.youtube.com/watch?v=x");

  // Other schemes could start arbitrary handlers on the desktop; they are dropped.
  for (const char* url : {"javascript:alert(1)", "file:///etc/passwd", "vscode://open", "ssh:x"}) {
    auto decision = handler.decidePolicy({true, Frame::main, url});
    EXPECT_FALSE(decision.allow) << url;
    EXPECT_FALSE(decision.openExternally) << url;
    EXPECT_FALSE(decision.loadInPlace) << url;
  }
  EXPECT_EQ(handler.decidePolicy({true, Frame::none, "mailto:a@b.c"}).openExternally,
            "mailto:a@b.c");
  EXPECT_TRUE(handler.decidePolicy({true, Frame::sub, "https://a.example/"}).allow);
  EXPECT_TRUE(handler.decidePolicy({false, Frame::main, "https://a.example/"}).allow);

  shellActive = false;
  auto popup = handler.decidePolicy({false, Frame::none, "https://a.example/next"});
  EXPECT_FALSE(popup.allow);
  EXPECT_EQ(popup.loadInPlace, "https://a.example/next");
  EXPECT_TRUE(handler.decidePolicy({false, Frame::none, std::nullopt}).allow);
  EXPECT_EQ(handler.createWebView("https://a.example/w").loadInPlace, "https://a.example/w");
  auto none = handler.createWebView(std::nullopt);
  EXPECT_FALSE(none.allow || none.openExternally || none.loadInPlace);
  // A page's new window never brings a local file or a script in.
  for (const char* url : {"file:///tmp/probe.html", "javascript:alert(1)", "data:text/html,x",
                          "about:blank", "blob:https://a.example/1"}) {
    for (const auto& decision :
         {handler.createWebView(url), handler.decidePolicy({false, Frame::none, url})}) {
      EXPECT_FALSE(decision.allow || decision.openExternally || decision.loadInPlace) << url;
    }
  }
}

TEST(YouTubeScriptMessageHandler, TitlesFromThePageAreCutTo1024Characters) {
  Recorder r;
  // Cut after the first "\u00e9", never inside a character.
  const std::string title = std::string(1023, 'a') + "\\u00e9\\u00e9" + std::string(100000, 'b');
  const std::string expected = std::string(1023, 'a') + "\xC3\xA9";
  r.handler.didReceiveScriptMessage("videoProgress",
                                    R"({"videoId":"a","currentTime":3,"title":")" + title + "\"}");
  EXPECT_EQ(r.calls, Calls{"progress a 3.000000 " + expected});
  EXPECT_EQ(r.bridge(R"({"event":"mediaTime","videoId":"a","currentTime":3,"state":1,"title":")" +
                     title + "\"}"),
            Calls{"tick a " + expected + " 1"});
}

}  // namespace
}  // namespace orvel
