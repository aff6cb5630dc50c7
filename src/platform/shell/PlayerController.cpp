// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/shell/PlayerController.h"

#include <unistd.h>

#include <atomic>
#include <memory>

#include "Version.h"
#include "app/AeroSpaceWorkspaceFollower.h"
#include "app/PlayerCommands.h"
#include "app/StatusMenu.h"
#include "app/WorkspaceFollowing.h"
#include "core/GlibMainQueue.h"
#include "core/Lifetime.h"
#include "core/Log.h"
#include "core/Translation.h"
#include "media/StreamingProviderRegistry.h"
#include "native/MKVNativePlayer.h"
#include "native/PlayerEqualizer.h"
#include "native/WebAudioRoute.h"
#include "platform/dbus/MprisService.h"
#include "platform/dbus/ShellActions.h"
#include "platform/dbus/StatusNotifierTray.h"
#include "platform/gtk/FeedbackWindow.h"
#include "platform/gtk/GtkPlayerDialogs.h"
#include "platform/gtk/GtkPlayerWindow.h"
#include "platform/gtk/KeyboardShortcuts.h"
#include "platform/gtk/PlayerView.h"
#include "platform/gtk/WatchHistoryWindow.h"
#include "platform/gtk/WindowPresenting.h"
#include "platform/gtk/playlist/PlaylistPanel.h"
#include "platform/gtk/toolbar/PlayerToolbar.h"
#include "platform/net/RecentThumbnails.h"
#include "platform/net/SoupFeedbackTransport.h"
#include "platform/net/SoupUpdateChecker.h"
#include "platform/net/SoupYouTubeMetadata.h"
#include "platform/pulse/PulseAudioServer.h"
#include "platform/pulse/PulseLeftoverSinks.h"
#include "platform/shell/NativeMedia.h"
#include "platform/shell/OverlayAwareDialogs.h"
#include "platform/shell/Resources.h"
#include "platform/system/DesktopLaunch.h"
#include "platform/system/SerialQueue.h"
#include "platform/system/SubprocessAeroSpaceClient.h"
#include "platform/system/WorkerPool.h"
#include "platform/webkit/WebKitWebEngine.h"
#include "player/PlaybackKeys.h"
#include "player/PlayerSession.h"
#include "player/PlayerTransparency.h"
#include "player/PlayerWindowBehaviour.h"
#include "playlist/PlaylistLibrary.h"
#include "settings/AppSettings.h"

namespace orvel {

struct PlayerController::Parts {
  AppSettings& settings = AppSettings::shared();
  Defaults& defaults = AppSettings::sharedDefaults();
  NotificationCenter& center = NotificationCenter::shared();
  GlibMainQueue queue;
  Gtk::Window window;
  GtkPlayerDialogs gtkDialogs{window};
  PlayerWindowBehaviour* behaviourLink = nullptr;
  OverlayAwareDialogs dialogs{gtkDialogs, behaviourLink};
  YouTubeScriptMessageHandler bridge;
  WebKitWebEngine web{bridge};
  LazyNativeMediaEngine engine;
  MKVNativePlayer native{queue, engine};
  std::unique_ptr<Gtk::Widget> videoArea = engine.makeVideoView(native.playback().surface());
  PulseAudioServer audioServer{queue};
  PlayerEqualizer equalizer{
      AppSettings::sharedDefaults(), [this](const std::vector<double>& gains, double volume,
                                            std::function<void(const std::string&)> failed) {
        return WebAudioRoute::make(queue, audioServer, gains, volume, std::move(failed));
      }};
  std::optional<PlayerSession> session;
  std::optional<GtkPlayerWindow> playerWindow;
  std::optional<PlayerWindowBehaviour> behaviour;
  std::optional<PlayerTransparency> transparency;
  std::optional<PlayerToolbar> toolbar;
  std::optional<PlayerView> view;
  std::optional<PlayerCommands> commands;
  std::optional<WindowCommandBridge> windowBridge;
  std::optional<StatusMenu> statusMenu;
  std::optional<ShellActions> shellActions;
  // The recent videos' pictures, kept for the whole run.
  RecentThumbnails recentThumbnails;
  std::optional<StatusNotifierTray> tray;
  // The desktop's media keys and media controls; gone before the session it drives.
  std::optional<MprisService> mpris;
  // Keeps the window on the visible workspace under AeroSpace; idle where there is none.
  SubprocessAeroSpaceClient aerospace;
  SerialQueue followerQueue;
  std::optional<AeroSpaceWorkspaceFollower> follower;
  std::optional<WorkspaceFollowing> following;
  SoupUpdateChecker updates;
  SoupFeedbackTransport feedbackTransport;
  std::unique_ptr<FeedbackWindow> feedback;
  std::unique_ptr<WatchHistoryWindow> history;
  std::unique_ptr<Gtk::ShortcutsWindow> shortcuts;
  sigc::connection monitorsChanged;
  // The media folder is read on a worker of its own, which quitting neither waits for nor lets
  // go on reading; what it finds joins the library on the main loop.
  WorkerPool mediaFolderScanner;
  std::shared_ptr<std::atomic<bool>> mediaFolderScanCancelled =
      std::make_shared<std::atomic<bool>>(false);
  bool scanningMediaFolder = false;
  // Titles, artwork and file facts of the playlist's links, for as long as the program runs.
  WorkerPool metadataWorkers;
  SoupYouTubeMetadata youTubeMetadata;
  PlaylistMetadata metadata{
      StreamingProviderRegistry::shared(), readLocalFileThroughModule,
      [this](PlaylistMetadata::Work work) { metadataWorkers.run(std::move(work)); },
      [this](const std::string& link, const std::string& mediaID,
             std::function<void(PlaylistMetadata::Info)> done) {
        youTubeMetadata.load(link, mediaID, std::move(done));
      }};
  // Exists while the session shows the playlist.
  std::unique_ptr<PlaylistPanel> panel;
  std::uint64_t panelLibraryRevision = 0;
  std::optional<Uuid> panelItemID;
  PlaylistRepeat panelRepeat = PlaylistRepeat::off;
  ObserverToken sessionChanges;
  TaskHandle leftoverSweep;
  Lifetime lifetime;

  bool isShowingDialog() const { return gtkDialogs.isShowingDialog() || panel != nullptr; }
  void scanMediaFolder();
  void syncPlaylistPanel();
  void checkForUpdates();
  void stopFollower();

  // Making the parts, in this order.
  void buildWindow(Gtk::Application& application);
  void makeSession();
  void makeWindowBehaviour();
  void makeTransparency();
  void connectSessionToWindow(std::function<void()> quit);
  void makeView();
  void makeToolbar();
  void makeShell(Gtk::Application& application);
  template <typename Window>
  void openOwnWindow(Gtk::Application& application, std::unique_ptr<Window>& slot,
                     const std::function<std::unique_ptr<Window>()>& make);
  void makeFollower();
  void addApplicationActions(Gtk::Application& application);
  void watchWindow();
};

// Handed to the follower's queue, not waited for: a check running against a slow client must not
// freeze the window.
void PlayerController::Parts::stopFollower() {
  followerQueue.post([this] { follower->stop(); });
}

// The answer comes in a dialog: a newer version with its release notes, up to date, or why the
// feed could not be read. The package manager installs; nothing is downloaded here.
void PlayerController::Parts::checkForUpdates() {
  logLine("Player", "Checking for updates");
  updates.check(kVersion, [this](const UpdateCheck::Outcome& outcome) {
    logLine("Player", "Update check: " + outcome.message);
    std::vector<std::string> buttons{_("OK")};
    if (outcome.releaseNotesURL) {
      buttons.insert(buttons.begin(), _("Release Notes"));
    }
    dialogs.showAlert(Alert{.style = outcome.kind == UpdateCheck::Outcome::Kind::failed
                                         ? Alert::Style::warning
                                         : Alert::Style::informational,
                            .title = outcome.title,
                            .message = outcome.message,
                            .buttons = buttons,
                            .destructiveButton = {}},
                      [link = outcome.releaseNotesURL](std::size_t button) {
                        if (link && button == 0) {
                          openWithDesktop(*link);
                        }
                      });
  });
}

void PlayerController::Parts::scanMediaFolder() {
  if (scanningMediaFolder) {
    return;
  }
  scanningMediaFolder = true;
  mediaFolderScanner.run([this, cancelled = mediaFolderScanCancelled]() -> WorkerPool::MainTurn {
    auto scanned =
        PlaylistLibrary::loadFromMediaFolder(PlaylistLibrary::ScanLimits{.cancelled = &*cancelled});
    return [this, scanned = std::move(scanned)] {
      scanningMediaFolder = false;
      session->mergeMediaFolder(scanned);
    };
  });
}

// The panel follows the session: it is made when the session shows the playlist, and goes when
// it stops; while it is up it hears of every change of the library and of the item playing.
void PlayerController::Parts::syncPlaylistPanel() {
  const bool showing = session->showingPlaylist();
  // A hidden panel waiting to go still holds rows of the library: it hears of changes too.
  if (panel && panelLibraryRevision != session->libraryRevision()) {
    panelLibraryRevision = session->libraryRevision();
    panelItemID = session->playlistItemID();
    panel->libraryChanged();
  } else if (panel && panelItemID != session->playlistItemID()) {
    panelItemID = session->playlistItemID();
    panel->currentItemChanged();
  }
  if (panel && panelRepeat != session->repeatMode()) {
    panelRepeat = session->repeatMode();
    panel->repeatChanged();
  }
  if (showing && !panel) {
    panel = std::make_unique<PlaylistPanel>(PlaylistPanel::Inputs{
        .parent = window,
        .view = PlaylistView::Inputs{
            .library = [this]() -> const PlaylistTree::Nodes& { return session->library(); },
            .setLibrary =
                [this](PlaylistTree::Nodes library) { session->setLibrary(std::move(library)); },
            .currentItemID = [this] { return session->playlistItemID(); },
            .onPlay =
                [this](std::optional<Uuid> item, std::optional<Uuid> scope) {
                  session->playQueue().playRequest(item, scope);
                },
            .onFileTrashed =
                [this](const Url& file) { session->fileDeletion().handleTrashedFile(file); },
            .onRepeatChanged = [this] { session->playQueue().repeatChanged(); },
        },
        .metadata = metadata,
        .defaults = AppSettings::sharedDefaults(),
        .onDone = [this] { session->setShowingPlaylist(false); },
    });
    panelLibraryRevision = session->libraryRevision();
    panelItemID = session->playlistItemID();
    panelRepeat = session->repeatMode();
    behaviour->setShowingPlaylist(true);
    // Its shortcuts are the application's too.
    if (auto application = window.get_application()) {
      application->add_window(panel->window());
    }
    panel->present();
  } else if (!showing && panel) {
    behaviour->setShowingPlaylist(false);
    panel->window().hide();
    // Gone on a later turn: this may run inside one of the panel's own handlers.
    queue.post(lifetime.guard([this] {
      if (!session->showingPlaylist()) {
        panel.reset();
      }
    }));
    presentWindow(window);
    logLine("Player", "Playlist hidden");
  }
}

void PlayerController::Parts::buildWindow(Gtk::Application& application) {
  window.set_title("Orvel player");
  window.set_decorated(false);
  window.set_default_size(1024, 576);
  window.add_css_class("orvel-player");
  application.add_window(window);
}

void PlayerController::Parts::makeSession() {
  web.setExternalOpener(&openWithDesktop);
  web.setDialogs(&dialogs);
  session.emplace(PlayerSession::Dependencies{
      .queue = queue,
      .defaults = defaults,
      .settings = settings,
      .center = center,
      .registry = StreamingProviderRegistry::shared(),
      .web = web,
      .native = native,
      .dialogs = dialogs,
      .readPlayerPage = [] { return readResource("player.html"); },
      .picturesFolder = []() -> std::optional<std::string> {
        // The desktop's Pictures folder (xdg-user-dir PICTURES), else ~/Pictures.
        const char* special = g_get_user_special_dir(G_USER_DIRECTORY_PICTURES);
        const std::string folder =
            special ? std::string(special) : std::string(g_get_home_dir()) + "/Pictures";
        return g_mkdir_with_parents(folder.c_str(), 0755) == 0 ? std::optional(folder)
                                                               : std::nullopt;
      },
      .home = g_get_home_dir(),
      .inBackground =
          [this](std::function<std::function<void()>()> work) {
            metadataWorkers.run(std::move(work));
          },
  });
  session->connect(bridge);
  equalizer.setNativePlayback(&native.playback());
  session->setEqualizer(&equalizer);
}

void PlayerController::Parts::makeWindowBehaviour() {
  playerWindow.emplace(window, [this] { return isShowingDialog(); });
  behaviour.emplace(queue, defaults, settings, center, *playerWindow,
                    [this](const std::string& text, double clearAfter) {
                      session->setStatusMessage(text, clearAfter);
                    });
  behaviourLink = &*behaviour;
  behaviour->setPageScriptRunner(
      [this](const std::string& script) { web.evaluate(script, nullptr); });
}

void PlayerController::Parts::makeTransparency() {
  transparency.emplace(
      queue, settings, center, *playerWindow,
      [this](const std::string& text, double clearAfter) {
        session->setStatusMessage(text, clearAfter);
      },
      PlayerTransparency::Hooks{
          .evaluatePageScript =
              [this](const std::string& script) { web.evaluate(script, nullptr); },
          .isDropTargeted = [this] { return session->isDropTargeted(); },
          .isSourceErrorShown = [this] { return session->failedSourceURL().has_value(); },
          .currentMediaID = [this] { return session->currentVideoID(); },
          .changed =
              [this] {
                if (view) {
                  view->refresh();
                }
              },
      });
  behaviour->setConfiguredHandler([this] { transparency->applyCurrentTransparencyState(); });
}

void PlayerController::Parts::connectSessionToWindow(std::function<void()> quit) {
  PlayerSession::WindowHooks hooks;
  hooks.suspendAlwaysOnTopForOverlay = [this] { behaviour->suspendAlwaysOnTopForOverlay(); };
  hooks.restoreAlwaysOnTopAfterOverlay = [this] { behaviour->restoreAlwaysOnTopAfterOverlay(); };
  hooks.makeWindowSolid = [this] { playerWindow->setReceivesMouseEvents(true); };
  hooks.holdContentSolid = [this](bool solid) { transparency->holdContentSolid(solid); };
  hooks.refreshHoverState = [this] { transparency->updateHoverStateFromMouseLocation(); };
  hooks.isHoverTransparencyEnabled = [this] { return transparency->isTransparent(); };
  hooks.terminateApplication = std::move(quit);
  hooks.rescanMediaFolder = [this] { scanMediaFolder(); };
  hooks.presentWindow = [this] { presentWindow(window); };
  session->setWindowHooks(std::move(hooks));
  sessionChanges = session->observeChanges([this] { syncPlaylistPanel(); });
}

void PlayerController::Parts::makeView() {
  view.emplace(
      *session,
      PlayerView::Inputs{
          .onDrop = [this](const std::string& text) { session->loadStreamingURL(text, true); },
          .onSubtitleDrop = [this](const std::string& path) { session->addSubtitleFile(path); },
          .onTargetedChange = [this](bool targeted) { session->setDropTargeted(targeted); },
          .onPlaybackKey = [this](std::uint16_t key) { return session->handlePlaybackKey(key); },
          .modalShown = [this] { return isShowingDialog(); },
          .onPointerInside = [this](bool inside) { transparency->setPointerInside(inside); },
          .isHovering = [this] { return transparency->isHovering(); },
          .isHoverMode = [this] { return transparency->isTransparent(); },
          .isAlwaysOnTop = [this] { return settings.alwaysOnTopEnabled(); },
      });
}

void PlayerController::Parts::makeToolbar() {
  toolbar.emplace(PlayerToolbar::Inputs{
                      .onToggle = [this] { session->togglePlayPause(); },
                      .onScrubbing = [this](bool scrubbing) { session->setScrubbing(scrubbing); },
                      .onSeek = [this](double seconds) { session->seek(seconds); },
                      .onPrevious = [this] { session->playQueue().previous(); },
                      .onNext = [this] { session->playQueue().next(); },
                      .onPlaylist =
                          [this] {
                            if (session->showingPlaylist()) {
                              session->setShowingPlaylist(false);
                            } else {
                              session->openPlaylist();
                            }
                          },
                      .onFullscreen =
                          [this] {
                            if (window.is_fullscreen()) {
                              window.unfullscreen();
                            } else {
                              window.fullscreen();
                            }
                          },
                      .onAlwaysOnTop =
                          [this] {
                            settings.setEnabled(AppSettings::Switch::alwaysOnTop,
                                                !settings.alwaysOnTopEnabled());
                          },
                      .onVolume = [this](double volume) { session->setVolume(volume * 100); },
                      .onZoom = [this](double zoom) { session->setVideoZoom(zoom); },
                      .onSpeed = [this](double rate) { session->setPlaybackRate(rate); },
                      .onAudioTrack =
                          [this](std::optional<std::int64_t> id) {
                            session->mediaTracks().choose(MediaTrack::Kind::audio, id);
                          },
                      .onSubtitleTrack =
                          [this](std::optional<std::int64_t> id) {
                            session->mediaTracks().choose(MediaTrack::Kind::subtitle, id);
                          },
                      .onDeleteFile = [this] { session->fileDeletion().confirm(); },
                      .onSaveFrame = [this] { session->frameSaving().save(); },
                      .onPopoverChanged = [this] { view->refresh(); },
                  },
                  equalizer);
  view->setToolbar(*toolbar);
  playerWindow->setContentOpacityHandler(
      [this](double opacity) { view->setContentOpacity(opacity); });
  view->updateWebView(web.widget());
  view->setNativeVideoView(videoArea.get());
  web.setViewReplacedHandler([this](GtkWidget* replaced) { view->updateWebView(replaced); });
  window.set_child(*view);
  view->installKeyHandler(window);
}

// The feedback and watch history windows: made when first opened, above the player (which may be
// kept above everything else), and let go once closed, so that opened again the form or the
// note editors start afresh.
template <typename Window>
void PlayerController::Parts::openOwnWindow(Gtk::Application& application,
                                            std::unique_ptr<Window>& slot,
                                            const std::function<std::unique_ptr<Window>()>& make) {
  if (!slot) {
    slot = make();
    slot->window().set_hide_on_close(true);
    slot->window().set_transient_for(window);
    application.add_window(slot->window());
    slot->window().signal_hide().connect([this, &slot] {
      queue.post(lifetime.guard([&slot] {
        if (slot && !slot->window().get_visible()) {
          slot.reset();
        }
      }));
    });
  }
  slot->present();
}

void PlayerController::Parts::makeShell(Gtk::Application& application) {
  // The other windows by their identifiers.
  const PlayerCommands::OpenWindow openWindow = [this, &application](std::string_view name) {
    if (name == "feedback") {
      openOwnWindow<FeedbackWindow>(application, feedback, [this] {
        return std::make_unique<FeedbackWindow>(AppSettings::shared(), feedbackTransport);
      });
    } else if (name == "watch-history") {
      openOwnWindow<WatchHistoryWindow>(application, history, [this] {
        return std::make_unique<WatchHistoryWindow>(AppSettings::shared(),
                                                    NotificationCenter::shared(), recentThumbnails,
                                                    [this] { presentWindow(window); });
      });
    } else {
      logLine("Player", "The " + std::string(name) + " window is not available yet");
    }
  };
  commands.emplace(settings, center, openWindow);
  windowBridge.emplace(center, openWindow);
  statusMenu.emplace(StatusMenu::Dependencies{.settings = settings,
                                              .center = center,
                                              .commands = *commands,
                                              .activate = [this] { presentWindow(window); },
                                              .checkForUpdates = [this] { checkForUpdates(); },
                                              .quit = [this] { window.close(); }});
  shellActions.emplace(application, *commands, *statusMenu, [this] { window.close(); });
  view->setStripMenu([this] { return shellActions->statusMenuModel(); });
  toolbar->setCommandsMenu(KeyboardShortcuts::commandsMenu());
  application.add_action(KeyboardShortcuts::kAction, [this] {
    if (!shortcuts) {
      shortcuts = KeyboardShortcuts::makeWindow(window);
    }
    if (shortcuts) {
      presentWindow(*shortcuts);
    }
  });
  application.set_accel_for_action(std::string("app.") + KeyboardShortcuts::kAction,
                                   KeyboardShortcuts::kAccelerator);
  tray.emplace(*statusMenu, recentThumbnails, [this] { presentWindow(window); });
  mpris.emplace(queue, *session, StreamingProviderRegistry::shared(),
                MprisService::Hooks{.raise = [this] { presentWindow(window); },
                                    .quit = [this] { window.close(); }});
}

void PlayerController::Parts::makeFollower() {
  follower.emplace(followerQueue, aerospace, PlayerWindowRegistry::shared(), ::getpid());
  following.emplace(settings, center,
                    WorkspaceFollowing::Follower{.start =
                                                     [this] {
                                                       follower->start();
                                                       follower->reconcileNow();
                                                     },
                                                 .stop = [this] { stopFollower(); }});
}

void PlayerController::Parts::addApplicationActions(Gtk::Application& application) {
  application.add_action("close", [this] { window.close(); });
  // The equalizer, until the toolbar's popover offers it; also reachable over D-Bus
  // (org.gtk.Actions on the application's object path).
  application.add_action_with_parameter(
      "equalizer", Glib::VariantType("b"), [this](const Glib::VariantBase& value) {
        equalizer.setEnabled(Glib::VariantBase::cast_dynamic<Glib::Variant<bool>>(value).get());
      });
  application.add_action_with_parameter(
      "equalizer-gain", Glib::VariantType("(ud)"), [this](const Glib::VariantBase& value) {
        guint32 band = 0;
        double gain = 0;
        g_variant_get(const_cast<GVariant*>(value.gobj()), "(ud)", &band, &gain);
        equalizer.setGain(gain, band);
      });
  application.add_action("equalizer-reset", [this] { equalizer.resetGains(); });
  application.set_accel_for_action("app.close", "<Control>w");
  // The speed's and the chapters' keys belong to the player window alone (a text field takes "["
  // and Backspace, a list Page Up):
  // these actions give the commands menu its entries, with no accelerator of their own.
  application.add_action(KeyboardShortcuts::kSlowerAction,
                         [this] { session->playbackSpeed().slower(); });
  application.add_action(KeyboardShortcuts::kFasterAction,
                         [this] { session->playbackSpeed().faster(); });
  application.add_action(KeyboardShortcuts::kNormalSpeedAction,
                         [this] { session->playbackSpeed().reset(); });
  application.add_action(KeyboardShortcuts::kPreviousChapterAction,
                         [this] { session->handlePlaybackKey(PlaybackKeys::kPageUp); });
  application.add_action(KeyboardShortcuts::kNextChapterAction,
                         [this] { session->handlePlaybackKey(PlaybackKeys::kPageDown); });
  application.add_action(KeyboardShortcuts::kSaveFrameAction,
                         [this] { session->frameSaving().save(); });
  application.set_accel_for_action(std::string("app.") + KeyboardShortcuts::kSaveFrameAction,
                                   KeyboardShortcuts::kSaveFrameAccelerator);
}

void PlayerController::Parts::watchWindow() {
  // Coming to the front keeps the window on its screen and above; monitors that come and go
  // may leave it off every screen.
  window.property_is_active().signal_changed().connect([this] {
    if (window.is_active()) {
      behaviour->windowDidBecomeActive();
      behaviour->reassertAlwaysOnTopState();
    }
  });
  if (auto display = Gdk::Display::get_default()) {
    monitorsChanged = display->get_monitors()->signal_items_changed().connect(
        [this](guint, guint, guint) { behaviour->screensDidChange(); });
  }

  window.signal_close_request().connect(
      [this] {
        behaviour->windowWillClose();
        session->playerWindowWillClose();
        // The session quits the program once it has saved; the window goes with it.
        return true;
      },
      false);
}

PlayerController::PlayerController(Gtk::Application& application, std::function<void()> quit)
    : parts_(std::make_unique<Parts>()) {
  Parts& p = *parts_;
  p.buildWindow(application);
  p.makeSession();
  p.makeWindowBehaviour();
  p.makeTransparency();
  p.connectSessionToWindow(std::move(quit));
  p.makeView();
  p.makeToolbar();
  // The commands and the status menu, with their keys; without a tray the status menu opens
  // from the window's top strip.
  p.makeShell(application);
  p.makeFollower();
  p.addApplicationActions(application);
  p.watchWindow();
}

PlayerController::~PlayerController() {
  // The follower goes on its own queue, so that nothing of it is running meanwhile.
  parts_->following.reset();
  parts_->followerQueue.runAndWait([this] {
    parts_->follower->stop();
    parts_->follower.reset();
  });
  parts_->mediaFolderScanCancelled->store(true);
  parts_->monitorsChanged.disconnect();
  parts_->sessionChanges.cancel();
  parts_->panel.reset();
  // The equalizer's route is taken down before the session and the window go.
  parts_->session->setEqualizer(nullptr);
  parts_->equalizer.setEnabled(false);
}

void PlayerController::start(const std::optional<std::string>& openText) {
  Parts& p = *parts_;
  presentWindow(p.window);
  p.behaviour->configureWindow();
  if (openText) {
    p.session->openAtLaunch(*openText);
  } else {
    p.session->configurePlayback();
  }
  p.session->tellOfSetAsideLibrary();
  p.scanMediaFolder();
  // An equalizer sink that a killed player left would stay among the desktop's outputs; it is
  // removed a moment after the start, off the main loop.
  p.leftoverSweep = p.queue.postDelayed(3, [&p] {
    p.metadataWorkers.run([] {
      removeLeftoverEqualizerSinks();
      return WorkerPool::MainTurn();
    });
  });
  PlayerWindowRegistry::shared().registerWindow(p.playerWindow->windowNumber());
  p.following->update();
}

void PlayerController::open(const std::string& text) {
  parts_->session->loadStreamingURL(text, true);
  noteLaunchEventTime();
  presentWindow(parts_->window);
}

void PlayerController::applicationWillTerminate() {
  parts_->stopFollower();
  parts_->behaviour->windowWillClose();
  parts_->session->applicationWillTerminate();
}

}  // namespace orvel
