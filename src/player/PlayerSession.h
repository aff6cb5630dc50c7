// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/Cancellable.h"
#include "core/Defaults.h"
#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "core/NotificationCenter.h"
#include "core/ObserverList.h"
#include "core/Translation.h"
#include "core/Uuid.h"
#include "media/StreamingMedia.h"
#include "media/StreamingProviderRegistry.h"
#include "native/NativePlayer.h"
#include "native/PlayerEqualizer.h"
#include "player/CurrentFileDeletion.h"
#include "player/FrameSaving.h"
#include "player/MediaTracks.h"
#include "player/PageAudioTracks.h"
#include "player/PageSubtitles.h"
#include "player/PlayQueue.h"
#include "player/PlaybackControls.h"
#include "player/PlaybackSpeed.h"
#include "player/PlayerDialogs.h"
#include "player/PlayerPageLoader.h"
#include "player/PlayerTransport.h"
#include "player/SourceRecovery.h"
#include "player/WebEngine.h"
#include "player/YouTubeScriptMessageHandler.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistTrash.h"
#include "playlist/PlaylistTree.h"
#include "settings/AppSettings.h"

namespace orvel {

// The playback core of the player window: turns links, history entries and stored positions
// into the current media, picks the engine that shows it (the YouTube player page, the web view
// itself, or the native player for MKV), and turns the engines' reports into resume positions,
// the last-opened URL and history records. Views render its state and forward input; they never
// decide playback.
class PlayerSession final : public PlaybackControls {
 public:
  static constexpr const char* kLastURLKey = "lastURL";
  static constexpr std::string_view kPositionsKey = PlaylistLibrary::kPlaybackPositionsKey;
  static constexpr double kQuitFallbackSeconds = 2.0;
  // No video runs a month: a file whose header claims ten years has its length taken as unknown
  // (nothing shown, nothing stored) and positions past this are not believed either.
  static constexpr double kLongestBelievedLength = 30.0 * 24 * 3600;
  static constexpr double kTerminationWindow = 60.0;
  static constexpr std::size_t kMaxTerminations = 3;
  static constexpr const char* kRepeatedTermination =
      N_("The video page could not be loaded. Its web content stopped three times in a minute.");
  static constexpr const char* kIdleStatus = N_("Drop a streaming URL to play");
  static constexpr const char* kUnsupportedLink = StreamingProviderRegistry::kUnsupportedLink;
  static constexpr const char* kUnreadableFile =
      N_("The file is missing, its drive is disconnected, or it cannot be read. Reconnect the "
         "drive or check the file's permissions, then retry.");
  static constexpr const char* kNativeFailure =
      N_("The source could not be read or decoded. Check that the file or network location is "
         "available and the video is not damaged.");

  struct Dependencies {
    MainQueue& queue;
    Defaults& defaults;
    AppSettings& settings;
    NotificationCenter& center;
    const StreamingProviderRegistry& registry;
    WebEngine& web;
    NativePlayer& native;
    PlayerDialogs& dialogs;
    // The player page's HTML, or none when it cannot be read.
    std::function<std::optional<std::string>()> readPlayerPage;
    // Moves a played file to the Trash; the freedesktop Trash when left empty.
    PlaylistTrash::Trasher trashFile = PlaylistTrash::moveToTrash;
    // The folder saved frames go to, made when missing; none when it cannot be.
    std::function<std::optional<std::string>()> picturesFolder;
    // The user's home, which messages shorten to "~".
    std::string home;
    // Runs work off the main loop, then what it returns on the main loop; on the main loop's
    // next turn when left empty.
    std::function<void(std::function<std::function<void()>()> work)> inBackground;
  };

  // What the session asks of the window around it; every hook may be left empty.
  struct WindowHooks {
    std::function<void()> suspendAlwaysOnTopForOverlay;
    std::function<void()> restoreAlwaysOnTopAfterOverlay;
    // The window takes clicks again (the playlist panel opens).
    std::function<void()> makeWindowSolid;
    // While a failed source's alert is up the picture is solid and the window takes clicks,
    // whatever see-through mode is on; the mode comes back when the alert closes.
    std::function<void(bool solid)> holdContentSolid;
    std::function<void()> refreshHoverState;
    std::function<bool()> isHoverTransparencyEnabled;
    std::function<void()> terminateApplication;
    // Reads the media folder again; what is new joins the library through mergeMediaFolder.
    std::function<void()> rescanMediaFolder;
    // Brings the window to the front with the keyboard focus.
    std::function<void()> presentWindow;
  };

  explicit PlayerSession(Dependencies dependencies);
  ~PlayerSession();
  PlayerSession(const PlayerSession&) = delete;
  PlayerSession& operator=(const PlayerSession&) = delete;

  void setWindowHooks(WindowHooks hooks) { windowHooks_ = std::move(hooks); }
  // The window's equalizer, told what plays; it must outlive the session.
  void setEqualizer(PlayerEqualizer* equalizer);

  // Wires the page bridge to this session; the handler must outlive the session's use of it.
  void connect(YouTubeScriptMessageHandler& bridge);
  // The first time the player view is shown: plays the pending request, the last URL, or warms
  // up the player page.
  void configurePlayback();
  // Started with something to open: that wins over the pending request and the last URL.
  void openAtLaunch(const std::string& text);
  // Once the window shows: says what loading the stored playlist had to set aside, if anything.
  void tellOfSetAsideLibrary();

  void loadStreamingURL(const std::string& text, bool rememberAsLast) override;
  void playRecentVideo(const std::string& videoID, double startTime,
                       const std::optional<std::string>& sourceURL);
  void loadVideo(const std::string& videoID, double startTime, bool rememberAsLast);
  void loadMedia(const StreamingMedia& media, double startTime, bool rememberAsLast);

  std::optional<double> savedPosition(const std::string& videoID) const;
  void updatePlaybackPosition(const std::string& videoID, double time,
                              std::optional<std::string> title);
  void persistCurrentPlaybackPosition();
  void flushPlaybackPositionToDefaults();
  void persistLastOpenedVideoFallback();
  // `done` runs once the page has answered the pause script.
  void pauseAndPersistCurrentPlayback(std::function<void()> done = nullptr);
  // A source that cannot be read: playback stops where it stands, the message shows until
  // something replaces it, and the window turns solid.
  void stopForFailure(const std::string& message);
  // Nothing loaded any more: both engines stopped, the page emptied.
  void unloadCurrentMedia();
  std::optional<std::string> activeVideoID() const;

  std::optional<RecentVideoItem> historyEntry(const std::string& videoID) const;
  void applyHistoryNotice(const std::optional<RecentVideoItem>& entry);
  void showHistoryAlert(const std::string& title, const std::string& message);
  void showTemporaryHistoryNotice(const std::string& text, double duration);
  void setStatusMessage(const std::string& text, std::optional<double> clearAfter);

  void promptForURL();

  // The playlist the session plays from; every change is saved.
  const PlaylistTree::Nodes& library() const { return library_; }
  void setLibrary(PlaylistTree::Nodes library);
  // Counts the changes of the library, so that a view can tell whether it has to redraw.
  std::uint64_t libraryRevision() const { return libraryRevision_; }
  // What is new in the media folder joins the library.
  void mergeMediaFolder(const PlaylistTree::Nodes& scanned);
  const std::optional<Uuid>& playlistScope() const { return queue_.scope(); }
  const std::optional<Uuid>& playlistItemID() const { return queue_.itemID(); }
  PlayQueue& playQueue() { return queue_; }
  const PlayQueue& playQueue() const { return queue_; }
  void syncPlaylistPosition(const std::string& videoID) { queue_.syncPosition(videoID); }
  std::optional<std::size_t> playlistIndex() const { return queue_.index(); }
  // The end of a video.
  void advancePlaylist();
  void setShowingPlaylist(bool showing);
  // Shows the playlist panel, with what is new in the media folder.
  void openPlaylist();
  // The stored resume position of a media, written at once.
  void setPlaybackPosition(const std::string& videoID, double seconds);
  CurrentFileDeletion& fileDeletion() { return fileDeletion_; }
  const CurrentFileDeletion& fileDeletion() const { return fileDeletion_; }
  bool showsDeleteFileConfirmation() const { return fileDeletion_.showsConfirmation(); }
  void reportSourceFailure(const std::string& sourceURL, const std::string& message);
  void retryFailedSource();

  void togglePlayPause() override;
  void pause() override { transport_.pause(); }
  double playbackRate() const override { return speed_.rate(); }
  void setPlaybackRate(double rate) override { speed_.setRate(rate); }
  PlaybackSpeed& playbackSpeed() { return speed_; }
  MediaTracks& mediaTracks() { return tracks_; }
  const MediaTracks& mediaTracks() const { return tracks_; }
  // The chapters of what plays (a film's, in the native engine), in order.
  std::vector<MediaChapter> chapters() const;
  // A subtitle file dropped on the window: added to the film that plays, and shown; said why
  // not, when it cannot be.
  void addSubtitleFile(const std::string& path);
  FrameSaving& frameSaving() { return frames_; }
  // Where the picture that shows comes from: a film of the native engine, or a video of the page
  // that has played (a Disney+ page's protected picture cannot be saved); none otherwise.
  FrameSaving::Source frameSource() const;
  PlaylistRepeat repeatMode() const override { return queue_.repeat(); }
  void setRepeatMode(PlaylistRepeat repeat) override { queue_.setRepeat(repeat); }
  void shuffleRemaining() override { queue_.shuffleRemaining(); }
  void seek(double seconds) override;
  void setVolume(double volume) override;
  bool hasNext() const override { return queue_.hasNext(); }
  bool hasPrevious() const override { return queue_.hasPrevious(); }
  void next() override { queue_.next(); }
  void previous() override { queue_.previous(); }
  void setVideoZoom(double zoom);
  // Space, Left and Right from the player window; true when handled.
  bool handlePlaybackKey(std::uint16_t keyCode);
  void setScrubbing(bool scrubbing);
  void setDropTargeted(bool targeted);

  void applicationWillTerminate();
  // Closing the player window saves everything and quits the program.
  void playerWindowWillClose();

  // The state views render.
  const std::optional<std::string>& currentVideoID() const override { return currentVideoID_; }
  const std::optional<std::string>& currentSourceURL() const override { return currentSourceURL_; }
  const std::string& currentVideoTitle() const override { return currentVideoTitle_; }
  const std::optional<std::string>& failedSourceURL() const { return recovery_.failedSourceURL(); }
  bool showsSourceError() const { return recovery_.showsSourceError(); }
  const std::string& sourceErrorMessage() const { return recovery_.sourceErrorMessage(); }
  const std::map<std::string, double>& playbackPositions() const { return playbackPositions_; }
  int playerState() const override { return playerState_; }
  double playerCurrentTime() const override { return playerCurrentTime_; }
  double playerDuration() const override { return playerDuration_; }
  double playerVolume() const override { return playerVolume_; }
  bool isScrubbing() const { return isScrubbing_; }
  double videoZoom() const { return videoZoom_; }
  const std::string& statusMessage() const { return statusMessage_; }
  bool isYouTubeActive() const { return isYouTubeActive_; }
  bool isDropTargeted() const { return isDropTargeted_; }
  bool showingPlaylist() const { return showingPlaylist_; }
  bool isNativeMediaActive() const;
  // The page video's audio tracks and the subtitle files added to it.
  std::vector<MediaTrack> pageTracks() const;
  const PlayerPageLoader& pageLoader() const { return loader_; }
  PlayerPageLoader& pageLoader() { return loader_; }

  // Views re-render when told.
  [[nodiscard]] ObserverToken observeChanges(std::function<void()> observer) override;

 private:
  void loadStoredValues();
  void writePositions();
  void setLastURL(const std::string& url);
  std::string sourceURL(const StreamingMedia& media) const;
  void finishLoadMedia(const StreamingMedia& media, double startTime, bool rememberAsLast);
  void startYouTube(const StreamingMedia& media, double startTime);
  void startInPage(const StreamingMedia& media, double startTime, const std::string& source);
  void replaceResumeScript(double startTime, const std::string& sourceURL);
  std::optional<std::string> webViewMediaID() const;
  bool isFailedSourceCurrent() const;
  static bool isWebPageMediaID(const std::string& videoID);
  bool isStaleReport(const std::string& videoID) const;
  void acceptSnapshot(const PlaybackSnapshot& snapshot);

  // What the player page reports, on the main loop.
  struct PlayerTick {
    std::string videoID;
    double time = 0;
    double duration = 0;
    std::string title;
    int state = -1;
  };
  void pageReady();
  void pageProgressed(const std::string& videoID, double time,
                      const std::optional<std::string>& title);
  void playerStateChanged(int state, double time, double duration);
  void playerTicked(const PlayerTick& tick);
  void playlistPositionChanged(const std::string& listID, std::int64_t index);
  void mediaEnded(const std::optional<std::string>& source);
  void handleProcessTerminated();
  bool currentIDStartsWith(std::string_view prefix) const {
    return currentVideoID_ && currentVideoID_->starts_with(prefix);
  }
  void changed();
  void setPlayerDuration(double duration, const std::optional<std::string>& mediaID);
  void synchronizeEqualizer();
  // A running web route applies the volume itself; the page then plays at full volume.
  bool equalizerTakesVolume() const {
    return equalizer_ && equalizer_->isEnabled() && equalizer_->isWebAudioRunning();
  }
  void runOnMain(std::function<void()> work);

  Dependencies deps_;
  WindowHooks windowHooks_;
  PlayerPageLoader loader_;

  std::optional<std::string> currentVideoID_;
  std::optional<std::string> currentSourceURL_;
  std::string currentVideoTitle_;
  std::map<std::string, double> playbackPositions_;
  // The last native snapshot whose position went to the store.
  std::optional<PlaybackSnapshot> storedSnapshot_;
  std::optional<std::string> pendingInitialURL_;
  int playerState_ = -1;
  double playerCurrentTime_ = 0;
  double playerDuration_ = 0;
  double playerVolume_ = 100;
  bool isScrubbing_ = false;
  double videoZoom_ = 1.0;
  std::string statusMessage_ = _(kIdleStatus);
  std::uint64_t statusMessageToken_ = 0;
  TaskHandle historyNoticeClearTask_;
  TaskHandle statusClearTask_;
  bool isYouTubeActive_ = false;
  bool isDropTargeted_ = false;
  bool showingPlaylist_ = false;
  PlaylistTree::Nodes library_;
  PlaylistLibrary::SetAside setAside_;
  std::uint64_t libraryRevision_ = 0;
  PlayQueue queue_{
      PlayQueue::Host{
          .library = [this]() -> const PlaylistTree::Nodes& { return library_; },
          .setLibrary = [this](PlaylistTree::Nodes library) { setLibrary(std::move(library)); },
          .play =
              [this](const StreamingMedia& media) {
                setShowingPlaylist(false);
                loadMedia(media, 0, true);
              },
          .currentVideoID = [this]() -> const std::optional<std::string>& {
            return currentVideoID_;
          },
          .evaluatePlayer = [this](const std::string& script) { loader_.evaluatePlayer(script); },
          .setPlaybackPosition = [this](const std::string& mediaID,
                                        double seconds) { setPlaybackPosition(mediaID, seconds); },
          .changed = [this] { changed(); },
      },
      deps_.defaults, deps_.registry, PlaylistLinkResolver::shared()};
  CurrentFileDeletion fileDeletion_{CurrentFileDeletion::Host{
      .dialogs = deps_.dialogs,
      .registry = deps_.registry,
      .defaults = deps_.defaults,
      .settings = deps_.settings,
      .playQueue = queue_,
      .trash = deps_.trashFile,
      .currentSource = [this]() -> const std::optional<std::string>& { return currentSourceURL_; },
      .currentVideoID = [this]() -> const std::optional<std::string>& { return currentVideoID_; },
      .library = [this]() -> const PlaylistTree::Nodes& { return library_; },
      .setLibrary = [this](PlaylistTree::Nodes library) { setLibrary(std::move(library)); },
      .unloadCurrentMedia = [this] { unloadCurrentMedia(); },
      .forgetPosition =
          [this](const std::string& mediaID) {
            playbackPositions_.erase(mediaID);
            writePositions();
          },
      .forgetLastLink = [this] { deps_.defaults.remove(kLastURLKey); },
      .setStatusMessage = [this](const std::string& text,
                                 double seconds) { setStatusMessage(text, seconds); },
      .changed = [this] { changed(); },
  }};
  SourceRecovery recovery_{SourceRecovery::Host{
      .queue = deps_.queue,
      .dialogs = deps_.dialogs,
      .registry = deps_.registry,
      .playQueue = queue_,
      .currentTitle = [this]() -> const std::string& { return currentVideoTitle_; },
      .currentSource = [this]() -> const std::optional<std::string>& { return currentSourceURL_; },
      .stopWithMessage = [this](const std::string& message) { stopForFailure(message); },
      .retry =
          [this](const StreamingMedia& media, bool wasCurrent) {
            if (wasCurrent) {
              playerState_ = -1;
            }
            // A retry is the user's choice: failing again, the item waits for them.
            queue_.userChoseMedia();
            auto stored = playbackPositions_.find(media.mediaID);
            loadMedia(media, stored == playbackPositions_.end() ? 0 : stored->second, true);
          },
      .advancePlaylist = [this] { advancePlaylist(); },
      .alertClosed =
          [this] {
            if (windowHooks_.holdContentSolid) {
              windowHooks_.holdContentSolid(false);
            }
          },
      .changed = [this] { changed(); },
  }};
  PlayerTransport transport_{PlayerTransport::Host{
      .queue = deps_.queue,
      .native = deps_.native,
      .engine =
          [this] {
            return isNativeMediaActive() ? PlayerTransport::Engine::native
                   : isYouTubeActive_    ? PlayerTransport::Engine::youTube
                                         : PlayerTransport::Engine::pageVideo;
          },
      .failedSourceIsCurrent = [this] { return isFailedSourceCurrent(); },
      .showsMedia = [this] { return currentVideoID_ && !showingPlaylist_; },
      .evaluatePlayer = [this](const std::string& script) { loader_.evaluatePlayer(script); },
      .retryFailedSource = [this] { retryFailedSource(); },
      .playerState = [this] { return playerState_; },
      .playerCurrentTime = [this] { return playerCurrentTime_; },
      .playerDuration = [this] { return playerDuration_; },
      .showTime = [this](double seconds) { playerCurrentTime_ = seconds; },
      .showVolume = [this](double volume) { playerVolume_ = volume; },
      .showZoom = [this](double zoom) { videoZoom_ = zoom; },
      .setRouteVolume = [this](double gain) { equalizer_->setVolume(gain); },
      .routeTakesVolume = [this] { return equalizerTakesVolume(); },
      .changed = [this] { changed(); },
  }};
  PageSubtitles pageSubtitles_{PageSubtitles::Host{
      .inBackground =
          [this](std::function<std::function<void()>()> work) {
            if (deps_.inBackground) {
              deps_.inBackground(std::move(work));
            } else {
              deps_.queue.post([work = std::move(work)] { work()(); });
            }
          },
      .evaluate = [this](const std::string& script) { deps_.web.evaluate(script, nullptr); },
      .statusMessage = [this](const std::string& text,
                              double clearAfter) { setStatusMessage(text, clearAfter); },
      .changed = [this] { tracks_.refresh(); },
  }};
  PageAudioTracks pageAudio_{PageAudioTracks::Host{
      .evaluate = [this](
                      const std::string& script,
                      WebEngine::Completion completion) { deps_.web.evaluate(script, completion); },
      .changed = [this] { tracks_.refresh(); },
  }};
  MediaTracks tracks_{MediaTracks::Host{
      .tracks = [this] { return isNativeMediaActive() ? deps_.native.tracks() : pageTracks(); },
      .select =
          [this](MediaTrack::Kind kind, std::optional<std::int64_t> id) {
            if (isNativeMediaActive()) {
              deps_.native.selectTrack(kind, id);
            } else if (kind == MediaTrack::Kind::subtitle) {
              pageSubtitles_.select(id);
            } else if (id) {
              pageAudio_.select(*id);
            }
          },
      .changed = [this] { changed(); },
  }};
  FrameSaving frames_{FrameSaving::Host{
      .source = [this] { return frameSource(); },
      .title = [this] { return currentVideoTitle_; },
      .time = [this] { return playerCurrentTime_; },
      .picturesFolder =
          [this] { return deps_.picturesFolder ? deps_.picturesFolder() : std::nullopt; },
      .saveNative =
          [this](const std::string& path, std::function<void(bool)> done) {
            deps_.native.saveFrame(path, std::move(done));
          },
      .web = &deps_.web,
      .statusMessage = [this](const std::string& text,
                              double clearAfter) { setStatusMessage(text, clearAfter); },
      .home = deps_.home,
  }};
  PlaybackSpeed speed_{PlaybackSpeed::Host{
      .apply = [this](double rate) { transport_.applySpeed(rate); },
      .statusMessage = [this](const std::string& text,
                              double clearAfter) { setStatusMessage(text, clearAfter); },
      .changed = [this] { changed(); },
  }};
  bool isTerminating_ = false;
  TaskHandle quitFallbackTask_;

  YouTubeScriptMessageHandler* bridge_ = nullptr;
  std::vector<double> recentTerminations_;
  PlayerEqualizer* equalizer_ = nullptr;
  ObserverToken equalizerChanges_;
  // What the equalizer was last told: media, playing, web player, switch.
  std::optional<std::tuple<std::optional<std::string>, bool, bool, bool>> equalizerInputs_;
  bool equalizerTookVolume_ = false;
  ObserverList<> changeObservers_;
  std::vector<ObserverToken> tokens_;
  Lifetime lifetime_;
};

}  // namespace orvel
