// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerSession.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/Files.h"
#include "core/Log.h"
#include "core/Translation.h"
#include "core/Url.h"
#include "media/MediaHosts.h"
#include "media/ResumePoint.h"
#include "player/ChapterNavigation.h"
#include "player/PlaybackKeys.h"
#include "player/PlayerPageScripts.h"
#include "player/SubtitleFile.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistMetadata.h"

namespace orvel {

namespace {

// Start times ride in URLs as whole seconds.
StartTime wholeSeconds(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0 || seconds > 9e15) {
    return StartTime{0};
  }
  return static_cast<std::int64_t>(seconds);
}

// The item of a YouTube playlist the link names, from 1; 1 when it names none or nonsense.
std::int64_t youTubePlaylistIndex(const Url& url) {
  for (const Url::QueryItem& item : url.queryItems()) {
    if (item.name == "index" && item.value) {
      try {
        std::size_t used = 0;
        long long parsed = std::stoll(*item.value, &used);
        return used == item.value->size() ? parsed : 1;
      } catch (const std::exception&) {
        return 1;
      }
    }
  }
  return 1;
}

}  // namespace

PlayerSession::PlayerSession(Dependencies dependencies)
    : deps_(std::move(dependencies)),
      loader_(deps_.queue, deps_.web,
              PlayerPageLoader::Hooks{
                  .readPlayerPage = deps_.readPlayerPage,
                  .setStatusMessage =
                      [this](const std::string& text, std::optional<double> clearAfter) {
                        setStatusMessage(text, clearAfter);
                      },
                  .isYouTubeActive = [this] { return isYouTubeActive_; },
                  .playerVolume = [this] { return playerVolume_; },
                  .isEqualizerEnabled = [this] { return equalizerTakesVolume(); },
              }) {
  loadStoredValues();
  tokens_.push_back(deps_.native.observeUpdates(
      [this](const PlaybackSnapshot& snapshot) { acceptSnapshot(snapshot); }));
  tokens_.push_back(deps_.center.addObserver("openRecentVideo", [this](const Notification& note) {
    const std::string* videoID = note.value<std::string>("videoID");
    if (!videoID) {
      return;
    }
    double time = 0;
    if (const double* real = note.value<double>("time")) {
      time = *real;
    } else if (const std::int64_t* whole = note.value<std::int64_t>("time")) {
      time = static_cast<double>(*whole);
    }
    std::optional<std::string> source;
    if (const std::string* text = note.value<std::string>("sourceURL")) {
      source = *text;
    }
    deps_.settings.takePendingPlaybackRequest();
    playRecentVideo(*videoID, time, source);
  }));
  tokens_.push_back(
      deps_.center.addObserver("openURL", [this](const Notification&) { promptForURL(); }));
  tokens_.push_back(
      deps_.center.addObserver("openPlaylist", [this](const Notification&) { openPlaylist(); }));
}

void PlayerSession::loadStoredValues() {
  library_ = PlaylistLibrary::loadKeepingUnreadable(deps_.defaults, &setAside_);
  // A table of megabytes (a store edited by hand) would be read and written whole at every
  // report; it is cut to a size no one reaches by playing, the whole of it kept aside.
  for (std::string_view key : {kPositionsKey, PlaylistLibrary::kMediaDurationsKey}) {
    PlaylistLibrary::boundStoredTable(deps_.defaults, key);
  }
  if (auto stored = deps_.defaults.object(kPositionsKey)) {
    if (const auto* dictionary = stored->get<PropertyList::Dictionary>()) {
      for (const auto& [videoID, value] : *dictionary) {
        if (const double* real = value.get<double>(); real && std::isfinite(*real)) {
          playbackPositions_[videoID] = *real;
        } else if (const std::int64_t* whole = value.get<std::int64_t>()) {
          playbackPositions_[videoID] = static_cast<double>(*whole);
        }
      }
    } else {
      logLine("Player", std::string("Ignoring stored positions of type ") + stored->typeName());
    }
  }
  if (auto stored = deps_.defaults.object(kLastURLKey)) {
    if (const std::string* text = stored->get<std::string>(); text && Url::parse(*text)) {
      pendingInitialURL_ = *text;
    }
  }
}

ObserverToken PlayerSession::observeChanges(std::function<void()> observer) {
  return changeObservers_.add(std::move(observer));
}

void PlayerSession::changed() {
  synchronizeEqualizer();
  changeObservers_.notify();
}

void PlayerSession::setEqualizer(PlayerEqualizer* equalizer) {
  equalizer_ = equalizer;
  equalizerInputs_.reset();
  equalizerTookVolume_ = equalizerTakesVolume();
  equalizerChanges_ = equalizer ? equalizer->observeChanges([this] {
    if (equalizerTakesVolume() != equalizerTookVolume_) {
      equalizerTookVolume_ = equalizerTakesVolume();
      // The page plays at full volume while the equalizer's route applies the volume, and at
      // the player's volume whenever no route runs, so the volume is handed over again.
      setVolume(playerVolume_);
    }
  })
                                : ObserverToken();
  synchronizeEqualizer();
}

// The equalizer follows what plays: the native path for MKV, the web path while a web video
// is playing. It is told only when one of those inputs changed.
void PlayerSession::synchronizeEqualizer() {
  if (!equalizer_) {
    return;
  }
  auto inputs = std::make_tuple(currentVideoID_, playerState_ == 1, isYouTubeActive_,
                                equalizer_->isEnabled());
  if (equalizerInputs_ == inputs) {
    return;
  }
  equalizerInputs_ = inputs;
  equalizer_->updatePlayback(isNativeMediaActive(), playerState_ == 1, playerVolume_ / 100);
}

void PlayerSession::runOnMain(std::function<void()> work) {
  deps_.queue.post(lifetime_.guard(std::move(work)));
}

bool PlayerSession::isNativeMediaActive() const {
  return currentIDStartsWith("mkv:");
}

bool PlayerSession::isWebPageMediaID(const std::string& videoID) {
  return videoID.starts_with("mp4:") || videoID.starts_with("webm:") ||
         videoID.starts_with("disneyplus:") || videoID.starts_with("mkv:");
}

// A report for another media than the current one counts only when the web view really shows
// that media (a page navigated on); otherwise it comes from the page that was just left.
bool PlayerSession::isStaleReport(const std::string& videoID) const {
  return currentVideoID_ && videoID != *currentVideoID_ && webViewMediaID() != videoID;
}

bool PlayerSession::isFailedSourceCurrent() const {
  return recovery_.failedSourceURL() && recovery_.failedSourceURL() == currentSourceURL_;
}

// MARK: - Wiring

PlayerSession::~PlayerSession() {
  // The bridge outlives the session; it must not call into it any more.
  if (bridge_) {
    YouTubeScriptMessageHandler& bridge = *bridge_;
    bridge.onProgress = nullptr;
    bridge.onPageReady = nullptr;
    bridge.onPlayerReady = nullptr;
    bridge.onPlayerStateChange = nullptr;
    bridge.onPlayerTick = nullptr;
    bridge.onPlayerError = nullptr;
    bridge.onSourceError = nullptr;
    bridge.onNavigationError = nullptr;
    bridge.onMediaEnded = nullptr;
    bridge.onPlaylistPosition = nullptr;
    bridge.onProtectedPlaybackUnavailable = nullptr;
    bridge.isPlayerShellActive = [] { return false; };
    bridge.onMainFrameNavigationStarted = nullptr;
    bridge.onWebContentProcessTerminated = nullptr;
  }
}

void PlayerSession::connect(YouTubeScriptMessageHandler& bridge) {
  bridge_ = &bridge;
  bridge.isPlayerShellActive = [this] { return loader_.playerPageLoaded(); };
  bridge.onPageReady = [this] { pageReady(); };
  bridge.onPlayerReady = [this] {
    runOnMain([this] {
      loader_.handlePlayerReady();
      changed();
    });
  };
  bridge.onProgress = [this](const std::string& videoID, double time,
                             std::optional<std::string> title) {
    runOnMain([this, videoID, time, title] { pageProgressed(videoID, time, title); });
  };
  bridge.onPlayerStateChange = [this](int state, double time, double duration) {
    runOnMain([this, state, time, duration] { playerStateChanged(state, time, duration); });
  };
  bridge.onPlayerTick = [this](const std::string& videoID, double time, double duration,
                               const std::string& title, int state) {
    runOnMain(
        [this, tick = PlayerTick{videoID, time, duration, title, state}] { playerTicked(tick); });
  };
  bridge.onPlaylistPosition = [this](const std::string& listID, std::int64_t index) {
    runOnMain([this, listID, index] { playlistPositionChanged(listID, index); });
  };
  bridge.onMediaEnded = [this](std::optional<std::string> source) {
    runOnMain([this, source] { mediaEnded(source); });
  };
  bridge.onPlayerError = [this](const std::string& message) {
    runOnMain([this, message] {
      logLine("Player", "YouTube player error: " + message);
      setStatusMessage(message, 6.0);
    });
  };
  // Said, not recorded: the link is not at fault, the system's web engine is.
  bridge.onProtectedPlaybackUnavailable = [this](std::optional<std::string> keySystem) {
    runOnMain([this, keySystem] {
      logLine("Player", "The page asked for protected playback the web engine does not offer: " +
                            keySystem.value_or("another key system"));
      setStatusMessage(
          keySystem ? formatted(_("This page needs protected playback (%s), which this system's "
                                  "web engine does not offer."),
                                {*keySystem})
                    : std::string(_("This page needs protected playback, which this system's web "
                                    "engine does not offer.")),
          8.0);
    });
  };
  bridge.onSourceError = [this](const std::string& source, const std::string& message) {
    runOnMain([this, source, message] {
      if (source == currentSourceURL_) {
        reportSourceFailure(source, message);
      }
    });
  };
  bridge.onNavigationError = [this](const std::string& message) {
    std::optional<std::string> source = currentSourceURL_;
    runOnMain([this, source, message] {
      if (source && source == currentSourceURL_) {
        reportSourceFailure(*source, message);
      }
    });
  };
  bridge.onMainFrameNavigationStarted = [this] {
    if (!loader_.isPlayerShellLoading()) {
      loader_.invalidatePlayerShell();
    }
  };
  bridge.onWebContentProcessTerminated = [this] {
    runOnMain([this] { handleProcessTerminated(); });
  };
}

void PlayerSession::configurePlayback() {
  if (auto request = deps_.settings.takePendingPlaybackRequest()) {
    playRecentVideo(request->videoID, request->time, request->sourceURL);
    return;
  }
  if (pendingInitialURL_) {
    std::string url = std::exchange(pendingInitialURL_, std::nullopt).value();
    loadStreamingURL(url, false);
    return;
  }
  loader_.loadPlayerPage();
}

void PlayerSession::tellOfSetAsideLibrary() {
  if (setAside_.videos == 0) {
    return;
  }
  const std::string kept = PlaylistLibrary::countText(PlaylistLibrary::kLargestLibrary);
  deps_.dialogs.showAlert(
      Alert{.style = Alert::Style::warning,
            .title = _("Part of the playlist was set aside"),
            .message = formatted(
                _("The stored playlist held %s videos, more than the %s the playlist holds. "
                  "The first %s are kept; the whole list is kept beside them in the settings "
                  "store as “%s”."),
                {PlaylistLibrary::countText(setAside_.videos + PlaylistLibrary::kLargestLibrary),
                 kept, kept, setAside_.key}),
            .buttons = {_("OK")},
            .destructiveButton = {}},
      [](std::size_t) {});
  setAside_ = {};
}

void PlayerSession::openAtLaunch(const std::string& text) {
  deps_.settings.takePendingPlaybackRequest();
  pendingInitialURL_.reset();
  loadStreamingURL(text, true);
}

// MARK: - Switching media

void PlayerSession::loadStreamingURL(const std::string& text, bool rememberAsLast) {
  queue_.userChoseMedia();
  auto media = deps_.registry.resolve(text);
  if (!media) {
    setStatusMessage(_(kUnsupportedLink), 8.0);
    return;
  }
  double start = 0;
  if (auto stored = playbackPositions_.find(media->mediaID);
      stored != playbackPositions_.end() && stored->second >= 1) {
    start = stored->second;
    if (auto resumed = deps_.registry.resolve(text, wholeSeconds(start))) {
      media = std::move(resumed);
    }
  }
  loadMedia(*media, start, rememberAsLast);
}

void PlayerSession::loadVideo(const std::string& videoID, double startTime, bool rememberAsLast) {
  const StreamingProvider* provider = deps_.registry.provider(videoID);
  if (!provider) {
    return;
  }
  auto url = provider->playbackURL(videoID, wholeSeconds(startTime));
  if (!url) {
    return;
  }
  auto media = deps_.registry.resolve(url->absoluteString());
  if (!media) {
    return;
  }
  loadMedia(*media, startTime, rememberAsLast);
}

void PlayerSession::playRecentVideo(const std::string& videoID, double startTime,
                                    const std::optional<std::string>& sourceURL) {
  // Reopened by hand (the status menu, the watch history): an item the queue reached earlier
  // waits for the user if it cannot be read, rather than being passed over.
  queue_.userChoseMedia();
  if (sourceURL) {
    auto media = deps_.registry.resolve(*sourceURL);
    if (media && media->mediaID == videoID) {
      StartTime rounded = std::isfinite(startTime) && startTime > 0 && startTime < 9e15
                              ? StartTime{std::llround(startTime)}
                              : StartTime{};
      if (auto resumed = deps_.registry.resolve(*sourceURL, rounded)) {
        loadMedia(*resumed, startTime, true);
        return;
      }
    }
  }
  loadVideo(videoID, startTime, true);
}

std::string PlayerSession::sourceURL(const StreamingMedia& media) const {
  if (media.providerID == "youtube" && !media.mediaID.starts_with("youtube-playlist:")) {
    return "https://" + std::string(MediaHosts::kYouTubeCanonicalHost) +
           "/watch?v=" + media.mediaID;
  }
  return media.playbackURL.absoluteString();
}

void PlayerSession::loadMedia(const StreamingMedia& media, double startTime, bool rememberAsLast) {
  syncPlaylistPosition(media.mediaID);
  // The stored length decides at once; each engine decides again with the length it reads, for a
  // media whose length was never stored.
  const double start = ResumePoint::startFor(
      savedPosition(media.mediaID).value_or(startTime),
      PlaylistMetadata::recordedDuration(deps_.defaults, media.mediaID).value_or(0));
  if (media.playbackURL.isFileURL() && !isReadableRegularFile(media.playbackURL.path())) {
    reportSourceFailure(media.playbackURL.absoluteString(), _(kUnreadableFile));
    return;
  }
  if (rememberAsLast && deps_.settings.clearTombstones(media.mediaID)) {
    deps_.settings.persistDeletedVideoIDs();
  }
  runOnMain(
      [this, media, start, rememberAsLast] { finishLoadMedia(media, start, rememberAsLast); });
}

void PlayerSession::finishLoadMedia(const StreamingMedia& media, double startTime,
                                    bool rememberAsLast) {
  const std::string source = sourceURL(media);
  const bool isRetry = recovery_.startLoading(source);

  const bool isYouTube = media.providerID == "youtube";
  const bool shellReady = loader_.playerPageLoaded() && loader_.playerReady();
  if (!isRetry && currentVideoID_ == media.mediaID && currentSourceURL_ == source &&
      playerState_ > 0 && (!isYouTube || shellReady)) {
    currentVideoID_ = media.mediaID;
    currentSourceURL_ = source;
    applyHistoryNotice(historyEntry(media.mediaID));
    if (rememberAsLast) {
      setLastURL(source);
    }
    changed();
    return;
  }

  logLine("Player", "Opening " + source);
  deps_.native.stop();
  auto entry = historyEntry(media.mediaID);
  currentVideoID_ = media.mediaID;
  currentSourceURL_ = source;
  currentVideoTitle_ = media.defaultTitle;
  playerCurrentTime_ = 0;
  playerDuration_ = 0;
  tracks_.clear();
  pageSubtitles_.clear();
  pageAudio_.clear();
  playerState_ = -1;
  videoZoom_ = 1.0;
  deps_.native.setZoom(1.0);

  if (isYouTube) {
    statusMessage_.clear();
    startYouTube(media, startTime);
  } else {
    startInPage(media, startTime, source);
  }
  applyHistoryNotice(entry);
  if (rememberAsLast) {
    setLastURL(source);
  }
  changed();
}

// The YouTube player page plays the video, or the playlist from the item its link names.
void PlayerSession::startYouTube(const StreamingMedia& media, double startTime) {
  const std::int64_t index = youTubePlaylistIndex(media.playbackURL);
  isYouTubeActive_ = true;
  loader_.queueYouTubeLoad({.mediaID = media.mediaID,
                            .start = std::isfinite(startTime) ? std::trunc(startTime) : 0,
                            .autoplay = true,
                            .playlistIndex = index > 1 ? index - 1 : 0});
  loader_.ensurePlayerPage();
  loader_.dispatchPendingYouTubeLoad();
}

// Every other video: an MKV in the native player, the rest in a page of its own.
void PlayerSession::startInPage(const StreamingMedia& media, double startTime,
                                const std::string& source) {
  replaceResumeScript(startTime, source);
  isYouTubeActive_ = false;
  loader_.clearPendingYouTubeLoad();
  loader_.invalidatePlayerShell();
  statusMessage_.clear();
  if (media.providerID == "mkv") {
    deps_.web.loadHTML("", std::nullopt);
    const double nativeStart = std::isfinite(startTime) && startTime > 0
                                   ? static_cast<double>(*wholeSeconds(startTime))
                                   : 0;
    deps_.native.play(media, nativeStart, playerVolume_);
  } else if (media.playbackURL.isFileURL()) {
    pageSubtitles_.start(media.playbackURL.path());
    deps_.web.loadFile(media.playbackURL.absoluteString());
  } else {
    if (media.providerID != "disneyplus") {
      pageSubtitles_.start(std::nullopt);
    }
    deps_.web.loadRequest(media.playbackURL.absoluteString(),
                          YouTubeScriptMessageHandler::kInPlaceLoadTimeout);
  }
}

void PlayerSession::replaceResumeScript(double startTime, const std::string& source) {
  std::vector<UserScript> scripts;
  for (UserScript& script : deps_.web.userScripts()) {
    if (!script.source.starts_with(PlayerPageScripts::kResumeScriptPrefix)) {
      scripts.push_back(std::move(script));
    }
  }
  scripts.push_back(UserScript{.source = PlayerPageScripts::resumeScript(startTime, source),
                               .time = UserScript::Time::documentStart,
                               .frames = UserScript::Frames::mainFrame});
  deps_.web.setUserScripts(std::move(scripts));
}

// MARK: - Queue and failures

void PlayerSession::setLibrary(PlaylistTree::Nodes library) {
  library_ = std::move(library);
  ++libraryRevision_;
  PlaylistLibrary::save(library_, deps_.defaults);
  changed();
}

void PlayerSession::mergeMediaFolder(const PlaylistTree::Nodes& scanned) {
  // A scan that finds nothing new (as most do) changes nothing: a large library is neither
  // stored again nor listed again for it.
  auto merged = PlaylistLibrary::mergedWithMediaFolder(scanned, library_);
  if (!merged) {
    return;
  }
  setLibrary(std::move(*merged));
  if (currentVideoID_) {
    syncPlaylistPosition(*currentVideoID_);
    changed();
  }
}

void PlayerSession::advancePlaylist() {
  logLine("Player", "Playback ended: " + currentVideoID_.value_or(""));
  queue_.advance();
}

// Each new length the player reports is kept for the playlist's durations.
void PlayerSession::setPlayerDuration(double duration, const std::optional<std::string>& mediaID) {
  if (duration > kLongestBelievedLength) {
    duration = 0;
  }
  if (duration == playerDuration_) {
    return;
  }
  playerDuration_ = duration;
  // A length means the media could be read, and the page's video can take subtitles.
  queue_.mediaWasRead();
  if (duration > 0 && !isNativeMediaActive() && !isYouTubeActive_) {
    pageAudio_.videoReady();
    pageSubtitles_.videoReady();
  }
  if (mediaID && duration > 0) {
    PlaylistMetadata::recordDuration(deps_.defaults, duration, *mediaID);
  }
}

void PlayerSession::setShowingPlaylist(bool showing) {
  if (showingPlaylist_ != showing) {
    showingPlaylist_ = showing;
    changed();
  }
}

void PlayerSession::openPlaylist() {
  if (windowHooks_.rescanMediaFolder) {
    windowHooks_.rescanMediaFolder();
  }
  setShowingPlaylist(true);
  if (windowHooks_.makeWindowSolid) {
    windowHooks_.makeWindowSolid();
  }
  if (windowHooks_.presentWindow) {
    windowHooks_.presentWindow();
  }
}

void PlayerSession::setPlaybackPosition(const std::string& videoID, double seconds) {
  playbackPositions_[videoID] = seconds;
  writePositions();
}

// MARK: - Recovery and transport, each in its own type

void PlayerSession::reportSourceFailure(const std::string& source, const std::string& message) {
  recovery_.reportSourceFailure(source, message);
}

void PlayerSession::retryFailedSource() {
  recovery_.retryFailedSource();
}

void PlayerSession::togglePlayPause() {
  transport_.togglePlayPause();
}

void PlayerSession::seek(double seconds) {
  transport_.seek(seconds);
}

void PlayerSession::setVolume(double volume) {
  transport_.setVolume(volume);
}

void PlayerSession::setVideoZoom(double zoom) {
  transport_.setVideoZoom(zoom);
}

std::vector<MediaChapter> PlayerSession::chapters() const {
  return isNativeMediaActive() ? deps_.native.chapters() : std::vector<MediaChapter>();
}

void PlayerSession::addSubtitleFile(const std::string& path) {
  if (!isNativeMediaActive()) {
    if (pageSubtitles_.isActive() && !showsSourceError()) {
      pageSubtitles_.add(path);
    } else {
      setStatusMessage(_("Subtitle files are shown over a video that plays, not over YouTube or "
                         "Disney+."),
                       6.0);
    }
    return;
  }
  if (auto problem = SubtitleFile::problem(path)) {
    setStatusMessage(*problem, 6.0);
    return;
  }
  deps_.native.addSubtitleFile(path);
  setStatusMessage(_("Subtitles added"), 2.0);
}

std::vector<MediaTrack> PlayerSession::pageTracks() const {
  std::vector<MediaTrack> tracks = pageAudio_.tracks();
  for (MediaTrack& subtitles : pageSubtitles_.tracks()) {
    tracks.push_back(std::move(subtitles));
  }
  return tracks;
}

FrameSaving::Source PlayerSession::frameSource() const {
  if (isNativeMediaActive()) {
    return FrameSaving::Source::native;
  }
  const bool pageVideo = currentVideoID_ && !currentVideoID_->starts_with("disneyplus:") &&
                         !showsSourceError() && playerDuration_ > 0;
  return pageVideo ? FrameSaving::Source::page : FrameSaving::Source::none;
}

bool PlayerSession::handlePlaybackKey(std::uint16_t keyCode) {
  switch (keyCode) {
    case PlaybackKeys::kBracketLeft:
      speed_.slower();
      return true;
    case PlaybackKeys::kBracketRight:
      speed_.faster();
      return true;
    case PlaybackKeys::kBackspace:
      speed_.reset();
      return true;
    case PlaybackKeys::kPageUp:
    case PlaybackKeys::kPageDown: {
      const auto target = keyCode == PlaybackKeys::kPageDown
                              ? ChapterNavigation::next(chapters(), playerCurrentTime_)
                              : ChapterNavigation::previous(chapters(), playerCurrentTime_);
      if (target) {
        transport_.seek(*target);
      }
      return target.has_value();
    }
    default:
      return transport_.handlePlaybackKey(keyCode);
  }
}

void PlayerSession::setScrubbing(bool scrubbing) {
  isScrubbing_ = scrubbing;
  changed();
}

void PlayerSession::setDropTargeted(bool targeted) {
  if (isDropTargeted_ != targeted) {
    isDropTargeted_ = targeted;
    changed();
  }
}

// MARK: - Leaving

void PlayerSession::applicationWillTerminate() {
  isTerminating_ = true;
  flushPlaybackPositionToDefaults();
  persistCurrentPlaybackPosition();
}

void PlayerSession::playerWindowWillClose() {
  flushPlaybackPositionToDefaults();
  persistLastOpenedVideoFallback();
  persistCurrentPlaybackPosition();
  if (equalizer_) {
    equalizer_->setEnabled(false);
  }
  deps_.native.stop();
  if (isTerminating_ || !windowHooks_.terminateApplication) {
    pauseAndPersistCurrentPlayback();
    return;
  }
  // The page's last progress report arrives before the answer to the pause script, so quitting
  // on that answer keeps it; a page that never answers does not keep the program alive.
  auto quitting = std::make_shared<bool>(false);
  auto quit = lifetime_.guard([this, quitting] {
    // Whichever comes first quits; the other finds the flag set.
    if (std::exchange(*quitting, true)) {
      return;
    }
    runOnMain([this] { windowHooks_.terminateApplication(); });
  });
  quitFallbackTask_ = deps_.queue.postDelayed(kQuitFallbackSeconds, quit);
  pauseAndPersistCurrentPlayback(quit);
}

}  // namespace orvel
