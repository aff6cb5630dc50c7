// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Date.h"
#include "core/Defaults.h"
#include "core/NotificationCenter.h"
#include "core/ObserverList.h"
#include "settings/PlaybackRequest.h"
#include "settings/RecentVideoItem.h"

namespace orvel {

// The one store of the user's switches, the recent-videos list and the watch history. Every
// change is written at once, and only when the value really changed; each written change is
// announced on the notification centre.
class AppSettings {
 public:
  static constexpr std::size_t maxRecentVideos = 20;
  static constexpr std::size_t maxWatchHistoryVideos = 500;

  // The window-behaviour switches, in the order they load.
  enum class Switch {
    alwaysOnTop,
    followAeroSpaceWorkspaces,
    eightyTransparency,
    hoverTransparency,
    fillPlayerWindow,
    lockAspectRatio16x9,
  };
  struct SwitchInfo {
    Switch which;
    std::string_view key;
    std::string_view notification;
    bool initial;
  };
  static const std::array<SwitchInfo, 6>& switches();

  using WallClock = std::function<Date()>;

  // The program's one store, over the per-user defaults file, created on first use.
  static AppSettings& shared();
  // The per-user defaults file under the shared store; other parts keep their keys there too.
  static Defaults& sharedDefaults();

  // Loads the stored switches, lists and tombstones at once.
  AppSettings(Defaults& defaults, NotificationCenter& center, WallClock clock = &Date::now);
  AppSettings(const AppSettings&) = delete;
  AppSettings& operator=(const AppSettings&) = delete;

  // Views are told before every change of a switch, a list or the e-mail key, and re-read.
  [[nodiscard]] ObserverToken observeWillChange(std::function<void()> observer);

  bool isEnabled(Switch which) const { return switchValues_[index(which)]; }
  void setEnabled(Switch which, bool enabled);
  bool alwaysOnTopEnabled() const { return isEnabled(Switch::alwaysOnTop); }
  bool followAeroSpaceWorkspacesEnabled() const {
    return isEnabled(Switch::followAeroSpaceWorkspaces);
  }
  bool eightyTransparencyEnabled() const { return isEnabled(Switch::eightyTransparency); }
  bool hoverTransparencyEnabled() const { return isEnabled(Switch::hoverTransparency); }
  bool fillPlayerWindowEnabled() const { return isEnabled(Switch::fillPlayerWindow); }
  bool lockAspectRatio16x9Enabled() const { return isEnabled(Switch::lockAspectRatio16x9); }

  const std::string& resendAPIKey() const { return resendAPIKey_; }
  void setResendAPIKey(std::string key);

  const std::vector<RecentVideoItem>& recentVideos() const { return recentVideos_; }
  const std::vector<RecentVideoItem>& watchHistoryVideos() const { return watchHistoryVideos_; }
  void setRecentVideos(std::vector<RecentVideoItem> videos);
  void setWatchHistoryVideos(std::vector<RecentVideoItem> videos);

  const std::set<std::string>& deletedRecentVideoIDs() const { return deletedRecentVideoIDs_; }
  const std::set<std::string>& deletedWatchHistoryVideoIDs() const {
    return deletedWatchHistoryVideoIDs_;
  }
  // Lets a video that the user opens by hand be recorded in both lists again; writes the
  // tombstones when either set changed. Returns whether one did.
  bool clearTombstones(const std::string& videoID);
  void persistDeletedVideoIDs();

  const std::optional<PlaybackRequest>& pendingPlaybackRequest() const {
    return pendingPlaybackRequest_;
  }
  // The player window takes the pending request once.
  std::optional<PlaybackRequest> takePendingPlaybackRequest();

  void recordRecentVideo(const std::string& videoID, std::optional<std::string_view> title,
                         double position, std::optional<std::string> sourceURL);
  void removeRecentVideo(const std::string& videoID);
  void removeHistoryVideo(const std::string& videoID);
  void clearRecentVideos();
  void setWatchLaterStars(const std::string& videoID, int stars);
  void setWatchHistoryNote(const std::string& videoID, const std::string& note);
  void requestPlayback(const std::string& videoID, double time,
                       std::optional<std::string> sourceURL);

  // Bytes the two lists and their tombstones take in the defaults store.
  std::uint64_t storedHistoryUsageBytes() const;

  // Newest first, one record per video (older duplicates merged in), at most maxCount.
  static std::vector<RecentVideoItem> normalizedVideos(std::vector<RecentVideoItem> videos,
                                                       std::size_t maxCount);
  static std::optional<std::string> cleanedVideoTitle(std::optional<std::string_view> title);
  // "m:ss" below an hour, "h:mm:ss" from an hour on.
  static std::string formatPlaybackTime(double seconds);

  static constexpr std::string_view kRecentVideosKey = "settings.recentVideos";
  static constexpr std::string_view kWatchHistoryVideosKey = "settings.watchHistoryVideos";
  static constexpr std::string_view kDeletedRecentVideoIDsKey = "settings.deletedRecentVideoIDs";
  static constexpr std::string_view kDeletedWatchHistoryVideoIDsKey =
      "settings.deletedWatchHistoryVideoIDs";
  static constexpr std::string_view kResendAPIKeyKey = "settings.resendAPIKey";

 private:
  struct VideoList;
  class Transaction;

  static std::size_t index(Switch which) { return static_cast<std::size_t>(which); }
  static const VideoList& recentList();
  static const VideoList& historyList();

  void announce(std::string name, UserInfo userInfo);
  void loadPersistedValues();
  void loadVideoList(const VideoList& list);
  std::set<std::string> loadStringSet(std::string_view key) const;
  enum class Persist { no, yes };
  void publish(const VideoList& list, std::vector<RecentVideoItem> videos,
               Persist persist = Persist::yes);
  void recordInto(const VideoList& list, const std::string& videoID, const std::string& title,
                  double position, Date now, const std::optional<std::string>& sourceURL);
  void removeVideo(const VideoList& list, const std::string& videoID);
  std::string resolvedTitle(const std::string& videoID,
                            std::optional<std::string_view> title) const;

  Defaults& defaults_;
  NotificationCenter& center_;
  WallClock clock_;
  ObserverList<> willChange_;

  std::set<std::string> deletedRecentVideoIDs_;
  std::set<std::string> deletedWatchHistoryVideoIDs_;
  std::vector<RecentVideoItem> recentVideos_;
  std::vector<RecentVideoItem> watchHistoryVideos_;
  std::optional<PlaybackRequest> pendingPlaybackRequest_;
  std::array<bool, 6> switchValues_{};
  std::string resendAPIKey_;
  int openTransactions_ = 0;
  std::vector<std::pair<std::string, UserInfo>> deferredAnnouncements_;
};

}  // namespace orvel
