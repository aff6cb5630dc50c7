// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "player/PlayerSession.h"
#include "support/FakeDialogs.h"
#include "support/FakeNativePlayer.h"
#include "support/FakeWebEngine.h"
#include "support/ManualMainQueue.h"
#include "support/MemoryDefaults.h"
#include "support/TemporaryFolder.h"

namespace orvel {

// A session over fakes of both engines and in-memory defaults. The shell answers the `ytLoad`
// probe, as a loaded player page does.
struct SessionFixture : ::testing::Test {
  ManualMainQueue queue;
  MemoryDefaults defaults;
  NotificationCenter center;
  std::optional<AppSettings> settings;
  FakeWebEngine web{queue};
  FakeNativePlayer native;
  FakeDialogs dialogs;
  YouTubeScriptMessageHandler bridge;
  std::optional<PlayerSession> session;
  int terminations = 0;
  TemporaryFolder folder;
  // What went to the Trash, and the error it gives when set.
  std::vector<std::string> trashed;
  std::optional<std::string> trashError;

  SessionFixture() {
    web.answer = [](const std::string& script) {
      ScriptResult result;
      if (script == "typeof window.ytLoad") {
        result.stringValue = "function";
      }
      return result;
    };
  }

  PlayerSession& start() {
    if (!settings) {
      settings.emplace(defaults, center, [] { return Date{1000}; });
    }
    session.emplace(PlayerSession::Dependencies{
        .queue = queue,
        .defaults = defaults,
        .settings = *settings,
        .center = center,
        .registry = StreamingProviderRegistry::shared(),
        .web = web,
        .native = native,
        .dialogs = dialogs,
        .readPlayerPage = [] { return std::optional<std::string>("<html></html>"); },
        .trashFile =
            [this](const Url& file) {
              if (!trashError) {
                trashed.push_back(file.path());
              }
              return trashError;
            },
        .picturesFolder = [this] { return std::optional(folder.path()); },
        .home = folder.path(),
        .inBackground = {},
    });
    PlayerSession::WindowHooks hooks;
    hooks.terminateApplication = [this] { ++terminations; };
    session->setWindowHooks(hooks);
    session->connect(bridge);
    return *session;
  }

  void bridgeMessage(const std::string& body) {
    bridge.didReceiveScriptMessage("playerBridge", body);
    queue.runUntilIdle();
  }

  void storePositions(const std::map<std::string, double>& positions) {
    PropertyList::Dictionary dictionary;
    for (const auto& [id, position] : positions) {
      dictionary.emplace(id, PropertyList(position));
    }
    defaults.set(PlayerSession::kPositionsKey, PropertyList(std::move(dictionary)));
  }

  std::optional<double> storedPosition(const std::string& id) const {
    auto found = defaults.values().find(std::string(PlayerSession::kPositionsKey));
    if (found == defaults.values().end()) {
      return std::nullopt;
    }
    const auto& dictionary = *found->second.get<PropertyList::Dictionary>();
    auto entry = dictionary.find(id);
    return entry == dictionary.end() ? std::nullopt : std::optional(*entry->second.get<double>());
  }

  std::optional<std::string> storedLastURL() const {
    auto found = defaults.values().find(PlayerSession::kLastURLKey);
    return found == defaults.values().end() ? std::nullopt
                                            : std::optional(*found->second.get<std::string>());
  }

  std::string makeFile(const std::string& relativePath) {
    std::string path = folder.file(relativePath);
    std::ofstream(path) << "not really a video";
    return path;
  }

  std::string fileLink(const std::string& relativePath) {
    return Url::fileURL(makeFile(relativePath))->absoluteString();
  }

  // Plays a video on the YouTube shell as far as "ready" and the first "playing" state.
  void playYouTube(const std::string& link) {
    session->loadStreamingURL(link, true);
    queue.runUntilIdle();
    bridgeMessage(R"({"event":"ready"})");
    bridgeMessage(R"({"event":"state","state":1,"videoId":"dQw4w9WgXcQ","duration":200})");
  }
};

}  // namespace orvel
