// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/AppSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unordered_map>

#include "core/Log.h"
#include "core/SqliteDefaults.h"
#include "core/Text.h"
#include "media/StreamingProviderRegistry.h"

namespace orvel {
namespace {

constexpr std::string_view kLogComponent = "AppSettings";

bool newestFirst(const RecentVideoItem& left, const RecentVideoItem& right) {
  return left.lastPlayedAt > right.lastPlayedAt;
}

// Read-back of a stored switch: booleans as they are, numbers as non-zero, and the usual
// spellings of yes and no; anything else is not a switch value.
std::optional<bool> switchValue(const PropertyList& value) {
  if (const bool* flag = value.get<bool>()) {
    return *flag;
  }
  if (const std::int64_t* integer = value.get<std::int64_t>()) {
    return *integer != 0;
  }
  if (const double* real = value.get<double>()) {
    return *real != 0;
  }
  if (const std::string* text = value.get<std::string>()) {
    const std::string lower = asciiLowercased(trimmedWhitespace(*text));
    if (lower == "yes" || lower == "true" || lower == "1") {
      return true;
    }
    if (lower == "no" || lower == "false" || lower == "0") {
      return false;
    }
  }
  return std::nullopt;
}

void logIgnoredValue(std::string_view key, const PropertyList& value, std::string_view wanted) {
  logLine(kLogComponent, "Ignoring " + std::string(key) + ": the stored value is " +
                             value.typeName() + ", not " + std::string(wanted));
}

}  // namespace

// What differs between the two lists: where each is kept, stored and announced.
struct AppSettings::VideoList {
  std::vector<RecentVideoItem> AppSettings::*videos;
  std::set<std::string> AppSettings::*tombstones;
  std::string_view key;
  std::string_view name;
  std::string_view notification;
  std::size_t maxCount;
};

namespace {

constexpr std::array<AppSettings::SwitchInfo, 6> kSwitches = {{
    {AppSettings::Switch::alwaysOnTop, "settings.alwaysOnTopEnabled", "setAlwaysOnTop", true},
    {AppSettings::Switch::followAeroSpaceWorkspaces, "settings.followAeroSpaceWorkspacesEnabled",
     "setFollowAeroSpaceWorkspaces", true},
    {AppSettings::Switch::eightyTransparency, "settings.eightyTransparencyEnabled",
     "setEightyTransparency", false},
    {AppSettings::Switch::hoverTransparency, "settings.hoverTransparencyEnabled",
     "setHoverTransparency", false},
    {AppSettings::Switch::fillPlayerWindow, "settings.fillPlayerWindowEnabled",
     "setFillPlayerWindow", true},
    {AppSettings::Switch::lockAspectRatio16x9, "settings.lockAspectRatio16x9Enabled",
     "setLockAspectRatio16x9", true},
}};

}  // namespace

const std::array<AppSettings::SwitchInfo, 6>& AppSettings::switches() {
  return kSwitches;
}

Defaults& AppSettings::sharedDefaults() {
  static std::unique_ptr<SqliteDefaults> defaults =
      SqliteDefaults::open(SqliteDefaults::standardPath());
  return *defaults;
}

AppSettings& AppSettings::shared() {
  static AppSettings settings(sharedDefaults(), NotificationCenter::shared());
  return settings;
}

AppSettings::AppSettings(Defaults& defaults, NotificationCenter& center, WallClock clock)
    : defaults_(defaults), center_(center), clock_(std::move(clock)) {
  for (const SwitchInfo& info : kSwitches) {
    switchValues_[index(info.which)] = info.initial;
  }
  loadPersistedValues();
}

ObserverToken AppSettings::observeWillChange(std::function<void()> observer) {
  return willChange_.add(std::move(observer));
}

// ---- Loading ------------------------------------------------------------------------------

void AppSettings::loadPersistedValues() {
  for (const SwitchInfo& info : kSwitches) {
    if (auto stored = defaults_.object(info.key)) {
      if (auto enabled = switchValue(*stored)) {
        setEnabled(info.which, *enabled);
      } else {
        logIgnoredValue(info.key, *stored, "a boolean");
      }
    }
  }
  loadVideoList(recentList());
  loadVideoList(historyList());
  deletedRecentVideoIDs_ = loadStringSet(kDeletedRecentVideoIDsKey);
  deletedWatchHistoryVideoIDs_ = loadStringSet(kDeletedWatchHistoryVideoIDsKey);
  std::string key;
  if (auto stored = defaults_.object(kResendAPIKeyKey)) {
    if (const std::string* text = stored->get<std::string>()) {
      key = *text;
    } else {
      logIgnoredValue(kResendAPIKeyKey, *stored, "a string");
    }
  }
  setResendAPIKey(std::move(key));
}

void AppSettings::loadVideoList(const VideoList& list) {
  auto stored = defaults_.object(list.key);
  if (!stored) {
    return;
  }
  const PropertyList::Data* data = stored->get<PropertyList::Data>();
  if (!data) {
    logIgnoredValue(list.key, *stored, "data");
    return;
  }
  auto decoded = RecentVideoItem::decodeList(
      std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
  const std::string prefix = "Failed to decode " + std::string(list.name) + ": ";
  // What the user made is never thrown away unread: the stored bytes are kept beside the list
  // before the list is removed or rewritten.
  const std::string asideKey = std::string(list.key) + ".corrupt";
  if (!decoded) {
    defaults_.set(asideKey, *stored);
    logLine(kLogComponent, prefix + decoded.error() + " (kept as \"" + asideKey + "\")");
    defaults_.remove(list.key);
    return;
  }
  if (decoded->skipped.empty()) {
    publish(list, normalizedVideos(std::move(decoded).value().items, list.maxCount));
    return;
  }
  defaults_.set(asideKey, *stored);
  for (const std::string& reason : decoded->skipped) {
    logLine(kLogComponent, prefix + reason);
  }
  logLine(kLogComponent, "Keeping the other " + std::to_string(decoded->items.size()) +
                             " records of " + std::string(list.name) +
                             "; the stored list, as it was, is kept as \"" + asideKey + "\"");
  // The stored list stays as it is until the next real change rewrites it.
  publish(list, normalizedVideos(std::move(decoded).value().items, list.maxCount), Persist::no);
}

std::set<std::string> AppSettings::loadStringSet(std::string_view key) const {
  auto stored = defaults_.object(key);
  if (!stored) {
    return {};
  }
  auto strings = stored->strings();
  if (!strings) {
    logIgnoredValue(key, *stored, "an array of strings");
    return {};
  }
  if (strings->size() != stored->get<PropertyList::Array>()->size()) {
    logLine(kLogComponent, "Ignoring the entries of " + std::string(key) + " that are not strings");
  }
  return std::set<std::string>(strings->begin(), strings->end());
}

// ---- Changes ------------------------------------------------------------------------------

// Writes made inside share one transaction of the defaults store; their announcements wait until
// it is committed, so that an observer never hears of a change before it is stored.
class AppSettings::Transaction {
 public:
  explicit Transaction(AppSettings& settings) : settings_(settings) {
    ++settings_.openTransactions_;
    batch_.emplace(settings_.defaults_);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction() {
    batch_.reset();
    if (--settings_.openTransactions_ == 0) {
      auto announcements = std::exchange(settings_.deferredAnnouncements_, {});
      for (auto& [name, userInfo] : announcements) {
        settings_.center_.post(std::move(name), std::move(userInfo));
      }
    }
  }

 private:
  AppSettings& settings_;
  std::optional<Defaults::Batch> batch_;
};

void AppSettings::announce(std::string name, UserInfo userInfo) {
  if (openTransactions_ > 0) {
    deferredAnnouncements_.emplace_back(std::move(name), std::move(userInfo));
  } else {
    center_.post(std::move(name), std::move(userInfo));
  }
}

void AppSettings::setEnabled(Switch which, bool enabled) {
  willChange_.notify();
  bool& value = switchValues_[index(which)];
  if (std::exchange(value, enabled) == enabled) {
    return;
  }
  const SwitchInfo& info = kSwitches[index(which)];
  defaults_.set(info.key, PropertyList(enabled));
  announce(std::string(info.notification), {{"enabled", enabled}});
}

void AppSettings::setResendAPIKey(std::string key) {
  willChange_.notify();
  if (resendAPIKey_ == key) {
    return;
  }
  resendAPIKey_ = std::move(key);
  defaults_.set(kResendAPIKeyKey, PropertyList(resendAPIKey_));
}

void AppSettings::setRecentVideos(std::vector<RecentVideoItem> videos) {
  publish(recentList(), std::move(videos));
}

void AppSettings::setWatchHistoryVideos(std::vector<RecentVideoItem> videos) {
  publish(historyList(), std::move(videos));
}

void AppSettings::publish(const VideoList& list, std::vector<RecentVideoItem> videos,
                          Persist persist) {
  willChange_.notify();
  std::vector<RecentVideoItem>& current = this->*list.videos;
  if (current == videos) {
    return;
  }
  current = std::move(videos);
  if (persist == Persist::yes) {
    auto encoded = RecentVideoItem::encodeList(current);
    if (!encoded) {
      return;
    }
    defaults_.set(list.key, PropertyList(std::move(*encoded)));
  }
  announce(std::string(list.notification), {});
}

void AppSettings::persistDeletedVideoIDs() {
  Transaction transaction(*this);
  auto asArray = [](const std::set<std::string>& ids) {
    return PropertyList::stringArray(std::vector<std::string>(ids.begin(), ids.end()));
  };
  defaults_.set(kDeletedRecentVideoIDsKey, asArray(deletedRecentVideoIDs_));
  defaults_.set(kDeletedWatchHistoryVideoIDsKey, asArray(deletedWatchHistoryVideoIDs_));
}

bool AppSettings::clearTombstones(const std::string& videoID) {
  const bool changed =
      (deletedRecentVideoIDs_.erase(videoID) + deletedWatchHistoryVideoIDs_.erase(videoID)) > 0;
  if (changed) {
    persistDeletedVideoIDs();
  }
  return changed;
}

std::optional<PlaybackRequest> AppSettings::takePendingPlaybackRequest() {
  return std::exchange(pendingPlaybackRequest_, std::nullopt);
}

// ---- List operations ----------------------------------------------------------------------

std::string AppSettings::resolvedTitle(const std::string& videoID,
                                       std::optional<std::string_view> title) const {
  if (auto cleaned = cleanedVideoTitle(title)) {
    return *cleaned;
  }
  for (const auto* videos : {&recentVideos_, &watchHistoryVideos_}) {
    auto found = std::find_if(videos->begin(), videos->end(),
                              [&](const RecentVideoItem& item) { return item.videoID == videoID; });
    if (found != videos->end()) {
      return found->title;
    }
  }
  if (const StreamingProvider* provider = StreamingProviderRegistry::shared().provider(videoID)) {
    return provider->displayName() + " Video";
  }
  return "Streaming Video";
}

void AppSettings::recordRecentVideo(const std::string& videoID,
                                    std::optional<std::string_view> title, double position,
                                    std::optional<std::string> sourceURL) {
  const std::string resolved = resolvedTitle(videoID, title);
  const Date now = clock_();
  // JSON cannot hold an infinite position, and one would keep the whole list from being saved.
  if (!std::isfinite(position) || position < 0) {
    position = 0;
  }
  Transaction transaction(*this);
  for (const VideoList* list : {&recentList(), &historyList()}) {
    if (!(this->*list->tombstones).contains(videoID)) {
      recordInto(*list, videoID, resolved, position, now, sourceURL);
    }
  }
}

void AppSettings::recordInto(const VideoList& list, const std::string& videoID,
                             const std::string& title, double position, Date now,
                             const std::optional<std::string>& sourceURL) {
  std::vector<RecentVideoItem> videos = normalizedVideos(this->*list.videos, list.maxCount);
  auto found = std::find_if(videos.begin(), videos.end(),
                            [&](const RecentVideoItem& item) { return item.videoID == videoID; });
  if (found != videos.end()) {
    found->title = title;
    found->lastPosition = position;
    found->lastPlayedAt = now;
    if (sourceURL) {
      found->sourceURL = sourceURL;
    }
  } else {
    videos.push_back({videoID, title, position, now, 0, false, "", sourceURL});
  }
  std::stable_sort(videos.begin(), videos.end(), newestFirst);
  if (videos.size() > list.maxCount) {
    videos.resize(list.maxCount);
  }
  publish(list, std::move(videos));
}

void AppSettings::removeRecentVideo(const std::string& videoID) {
  removeVideo(recentList(), videoID);
}

void AppSettings::removeHistoryVideo(const std::string& videoID) {
  removeVideo(historyList(), videoID);
}

void AppSettings::removeVideo(const VideoList& list, const std::string& videoID) {
  Transaction transaction(*this);
  (this->*list.tombstones).insert(videoID);
  persistDeletedVideoIDs();
  std::vector<RecentVideoItem> videos = this->*list.videos;
  std::erase_if(videos, [&](const RecentVideoItem& item) { return item.videoID == videoID; });
  publish(list, std::move(videos));
}

void AppSettings::clearRecentVideos() {
  Transaction transaction(*this);
  for (const RecentVideoItem& item : recentVideos_) {
    deletedRecentVideoIDs_.insert(item.videoID);
  }
  persistDeletedVideoIDs();
  publish(recentList(), {});
}

void AppSettings::setWatchLaterStars(const std::string& videoID, int stars) {
  stars = std::clamp(stars, 0, 5);
  Transaction transaction(*this);
  for (const VideoList* list : {&historyList(), &recentList()}) {
    std::vector<RecentVideoItem> videos = this->*list->videos;
    auto found = std::find_if(videos.begin(), videos.end(),
                              [&](const RecentVideoItem& item) { return item.videoID == videoID; });
    if (found == videos.end()) {
      continue;
    }
    const auto position = static_cast<std::size_t>(found - videos.begin());
    videos[position].watchLaterStars = stars;
    publish(*list, videos);
    // A rating takes back a thumbs-down.
    videos[position].isThumbsDown = false;
    publish(*list, std::move(videos));
  }
}

void AppSettings::setWatchHistoryNote(const std::string& videoID, const std::string& note) {
  Transaction transaction(*this);
  for (const VideoList* list : {&historyList(), &recentList()}) {
    std::vector<RecentVideoItem> videos = this->*list->videos;
    auto found = std::find_if(videos.begin(), videos.end(),
                              [&](const RecentVideoItem& item) { return item.videoID == videoID; });
    if (found != videos.end()) {
      found->watchNote = std::string(prefixOfCharacters(note, kLongestNote));
      publish(*list, std::move(videos));
    }
  }
}

void AppSettings::requestPlayback(const std::string& videoID, double time,
                                  std::optional<std::string> sourceURL) {
  pendingPlaybackRequest_ = PlaybackRequest{videoID, time, std::move(sourceURL)};
  center_.post("openRecentVideo", pendingPlaybackRequest_->userInfo());
}

std::uint64_t AppSettings::storedHistoryUsageBytes() const {
  std::uint64_t total = 0;
  for (std::string_view key : {kRecentVideosKey, kWatchHistoryVideosKey}) {
    if (auto stored = defaults_.object(key)) {
      if (const PropertyList::Data* data = stored->get<PropertyList::Data>()) {
        total += data->size();
      }
    }
  }
  for (std::string_view key : {kDeletedRecentVideoIDsKey, kDeletedWatchHistoryVideoIDsKey}) {
    if (auto stored = defaults_.object(key)) {
      if (auto strings = stored->strings()) {
        if (auto binary = PropertyList::stringArray(*strings).binary()) {
          total += binary->size();
        }
      }
    }
  }
  return total;
}

// ---- Pure helpers -------------------------------------------------------------------------

std::vector<RecentVideoItem> AppSettings::normalizedVideos(std::vector<RecentVideoItem> videos,
                                                           std::size_t maxCount) {
  std::stable_sort(videos.begin(), videos.end(), newestFirst);
  std::vector<RecentVideoItem> merged;
  merged.reserve(videos.size());
  std::unordered_map<std::string, std::size_t> positions;
  for (RecentVideoItem& video : videos) {
    auto [found, inserted] = positions.try_emplace(video.videoID, merged.size());
    if (inserted) {
      merged.push_back(std::move(video));
      continue;
    }
    RecentVideoItem& kept = merged[found->second];
    if (isBlank(kept.watchNote) && !isBlank(video.watchNote)) {
      kept.watchNote = std::move(video.watchNote);
    }
    kept.watchLaterStars = std::max(kept.watchLaterStars, video.watchLaterStars);
    kept.isThumbsDown = kept.isThumbsDown || video.isThumbsDown;
    if (video.sourceURL) {
      kept.sourceURL = std::move(video.sourceURL);
    }
  }
  std::stable_sort(merged.begin(), merged.end(), newestFirst);
  if (merged.size() > maxCount) {
    merged.resize(maxCount);
  }
  return merged;
}

std::optional<std::string> AppSettings::cleanedVideoTitle(std::optional<std::string_view> title) {
  if (!title) {
    return std::nullopt;
  }
  std::string_view trimmed = trimmedWhitespace(*title);
  if (trimmed.empty()) {
    return std::nullopt;
  }
  constexpr std::string_view kSuffix = " - YouTube";
  if (trimmed.ends_with(kSuffix)) {
    trimmed = trimmedWhitespace(trimmed.substr(0, trimmed.size() - kSuffix.size()));
  }
  return std::string(prefixOfCharacters(trimmed, kLongestTitle));
}

std::string AppSettings::formatPlaybackTime(double seconds) {
  const double rounded = std::isfinite(seconds) ? std::round(seconds) : 0;
  const auto t = static_cast<long long>(std::clamp(rounded, -1.0e15, 1.0e15));
  const long long u = std::max(t, 0LL);
  const long long hours = u / 3600;
  const long long minutes = (u % 3600) / 60;
  const long long secs = u % 60;
  char text[64];
  if (t < 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld", minutes, secs);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, secs);
  }
  return text;
}

// ---- The two lists ------------------------------------------------------------------------

const AppSettings::VideoList& AppSettings::recentList() {
  static const VideoList list{&AppSettings::recentVideos_,
                              &AppSettings::deletedRecentVideoIDs_,
                              kRecentVideosKey,
                              "recentVideos",
                              "recentVideosUpdated",
                              maxRecentVideos};
  return list;
}

const AppSettings::VideoList& AppSettings::historyList() {
  static const VideoList list{&AppSettings::watchHistoryVideos_,
                              &AppSettings::deletedWatchHistoryVideoIDs_,
                              kWatchHistoryVideosKey,
                              "watchHistoryVideos",
                              "watchHistoryUpdated",
                              maxWatchHistoryVideos};
  return list;
}

}  // namespace orvel
