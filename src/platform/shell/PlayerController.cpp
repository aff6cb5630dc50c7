// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/shell/PlayerController.h"

#include <unistd.h>

#include <thread>

#include "Version.h"
#include "app/AeroSpaceWorkspaceFollower.h"
#include "app/PlayerCommands.h"
#include "app/StatusMenu.h"
#include "core/GlibMainQueue.h"
#include "core/Lifetime.h"
#include "core/Log.h"
#include "media/StreamingProviderRegistry.h"
#include "native/MKVNativePlayer.h"
#include "native/PlayerEqualizer.h"
#include "native/WebAudioRoute.h"
#include "platform/dbus/MprisService.h"
#include "platform/dbus/ShellActions.h"
#include "platform/dbus/StatusNotifierTray.h"
#include "platform/ffmpeg/FFmpegMediaProbe.h"
#include "platform/gtk/FeedbackWindow.h"
#include "platform/gtk/GtkPlayerDialogs.h"
#include "platform/gtk/GtkPlayerWindow.h"
#include "platform/gtk/KeyboardShortcuts.h"
#include "platform/gtk/PlayerToolbar.h"
#include "platform/gtk/PlayerView.h"
#include "platform/gtk/PlaylistPanel.h"
#include "platform/gtk/WatchHistoryWindow.h"
#include "platform/mpv/MpvMediaEngine.h"
#include "platform/mpv/MpvVideoArea.h"
#include "platform/net/RecentThumbnails.h"
#include "platform/net/SoupFeedbackTransport.h"
#include "platform/net/SoupUpdateChecker.h"
#include "platform/net/SoupYouTubeMetadata.h"
#include "platform/pulse/PulseAudioServer.h"
#include "platform/shell/Resources.h"
#include "platform/system/DesktopLaunch.h"
#include "platform/system/SerialQueue.h"
#include "platform/system/SubprocessAeroSpaceClient.h"
#include "platform/system/WorkerPool.h"
#include "platform/webkit/WebKitWebEngine.h"
#include "player/PlayerSession.h"
#include "player/PlayerTransparency.h"
#include "player/PlayerWindowBehaviour.h"
#include "playlist/PlaylistLibrary.h"
#include "settings/AppSettings.h"

namespace orvel {

namespace {

// Alerts drop the window from the keep-on-top level while they are up.
class OverlayAwareDialogs final : public PlayerDialogs {
 public:
  OverlayAwareDialogs(PlayerDialogs& dialogs, PlayerWindowBehaviour*& behaviour)
      : dialogs_(dialogs), behaviour_(behaviour) {}

  void showAlert(const Alert& alert, std::function<void(std::size_t)> done) override {
    if (behaviour_) {
      behaviour_->suspendAlwaysOnTopForOverlay();
    }
    dialogs_.showAlert(alert, [this, done](std::size_t button) {
      if (behaviour_) {
        behaviour_->restoreAlwaysOnTopAfterOverlay();
      }
      if (done) {
        done(button);
      }
    });
  }
  void dismissAlert(const std::string& title) override { dialogs_.dismissAlert(title); }
  void promptForText(const Alert& alert, const std::string& placeholder, const std::string& text,
                     std::function<void(std::optional<std::string>)> done) override {
    dialogs_.promptForText(alert, placeholder, text, std::move(done));
  }

 private:
  PlayerDialogs& dialogs_;
  PlayerWindowBehaviour*& behaviour_;
};

}  // namespace

struct PlayerController::Parts {
  GlibMainQueue queue;
  Gtk::Window window;
  GtkPlayerDialogs gtkDialogs{window};
  PlayerWindowBehaviour* behaviourLink = nullptr;
  OverlayAwareDialogs dialogs{gtkDialogs, behaviourLink};
  YouTubeScriptMessageHandler bridge;
  WebKitWebEngine web{bridge};
  MpvMediaEngine engine;
  MKVNativePlayer native{queue, engine};
  std::unique_ptr<Gtk::Widget> videoArea = makeMpvVideoView(engine, native.playback().surface());
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
  std::vector<ObserverToken> followerSwitches;
  SoupUpdateChecker updates;
  SoupFeedbackTransport feedbackTransport;
  std::unique_ptr<FeedbackWindow> feedback;
  std::unique_ptr<WatchHistoryWindow> history;
  std::unique_ptr<Gtk::ShortcutsWindow> shortcuts;
  sigc::connection monitorsChanged;
  // The media folder is read off the main loop; what it finds joins the library there.
  std::thread mediaFolderScan;
  bool scanningMediaFolder = false;
  // Titles, artwork and file facts of the playlist's links, for as long as the program runs.
  WorkerPool metadataWorkers;
  SoupYouTubeMetadata youTubeMetadata;
  PlaylistMetadata metadata{
      StreamingProviderRegistry::shared(), readLocalFile,
      [this](PlaylistMetadata::Work work) { metadataWorkers.run(std::move(work)); },
      [this](const std::string& link, const std::string& mediaID,
             std::function<void(PlaylistMetadata::Info)> done) {
        youTubeMetadata.load(link, mediaID, std::move(done));
      }};
  // Exists while the session shows the playlist.
  std::unique_ptr<PlaylistPanel> panel;
  std::uint64_t panelLibraryRevision = 0;
  std::optional<Uuid> panelItemID;
  ObserverToken sessionChanges;
  Lifetime lifetime;

  bool isShowingDialog() const { return gtkDialogs.isShowingDialog() || panel != nullptr; }
  void scanMediaFolder();
  void syncPlaylistPanel();
  void checkForUpdates();
  void updateAeroSpaceFollower();
  void stopFollower();
};

// Following runs only while the window is kept on top and following is switched on.
void PlayerController::Parts::updateAeroSpaceFollower() {
  const AppSettings& settings = AppSettings::shared();
  if (settings.alwaysOnTopEnabled() && settings.followAeroSpaceWorkspacesEnabled()) {
    follower->start();
    follower->reconcileNow();
  } else {
    stopFollower();
  }
}

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
    std::vector<std::string> buttons{"OK"};
    if (outcome.releaseNotesURL) {
      buttons.insert(buttons.begin(), "Release Notes");
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
  if (mediaFolderScan.joinable()) {
    mediaFolderScan.join();
  }
  scanningMediaFolder = true;
  mediaFolderScan = std::thread([this] {
    auto scanned = PlaylistLibrary::loadFromMediaFolder();
    queue.post(lifetime.guard([this, scanned = std::move(scanned)] {
      scanningMediaFolder = false;
      session->mergeMediaFolder(scanned);
    }));
  });
}

// The panel follows the session: it is made when the session shows the playlist, and goes when
// it stops; while it is up it hears of every change of the library and of the item playing.
void PlayerController::Parts::syncPlaylistPanel() {
  const bool showing = session->showingPlaylist();
  // A hidden panel waiting to go still holds rows of the library: it hears of changes too.
  if (panel && (panelLibraryRevision != session->libraryRevision() ||
                panelItemID != session->playlistItemID())) {
    panelLibraryRevision = session->libraryRevision();
    panelItemID = session->playlistItemID();
    panel->libraryChanged();
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
        },
        .metadata = metadata,
        .defaults = AppSettings::sharedDefaults(),
        .onDone = [this] { session->setShowingPlaylist(false); },
    });
    panelLibraryRevision = session->libraryRevision();
    panelItemID = session->playlistItemID();
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
    window.present();
    logLine("Player", "Playlist hidden");
  }
}

PlayerController::PlayerController(Gtk::Application& application, std::function<void()> quit)
    : parts_(std::make_unique<Parts>()) {
  Parts& p = *parts_;
  AppSettings& settings = AppSettings::shared();
  Defaults& defaults = AppSettings::sharedDefaults();
  NotificationCenter& center = NotificationCenter::shared();

  p.window.set_title("Orvel player");
  p.window.set_decorated(false);
  p.window.set_default_size(1024, 576);
  p.window.add_css_class("orvel-player");
  application.add_window(p.window);

  p.web.setExternalOpener(&openWithDesktop);
  p.web.setDialogs(&p.dialogs);
  p.session.emplace(PlayerSession::Dependencies{
      .queue = p.queue,
      .defaults = defaults,
      .settings = settings,
      .center = center,
      .registry = StreamingProviderRegistry::shared(),
      .web = p.web,
      .native = p.native,
      .dialogs = p.dialogs,
      .readPlayerPage = [] { return readResource("player.html"); },
  });
  p.session->connect(p.bridge);
  p.equalizer.setNativePlayback(&p.native.playback());
  p.session->setEqualizer(&p.equalizer);

  p.playerWindow.emplace(p.window, [&p] { return p.isShowingDialog(); });
  p.behaviour.emplace(p.queue, defaults, settings, center, *p.playerWindow,
                      [&p](const std::string& text, double clearAfter) {
                        p.session->setStatusMessage(text, clearAfter);
                      });
  p.behaviourLink = &*p.behaviour;
  p.behaviour->setPageScriptRunner(
      [&p](const std::string& script) { p.web.evaluate(script, nullptr); });
  p.transparency.emplace(
      p.queue, settings, center, *p.playerWindow,
      [&p](const std::string& text, double clearAfter) {
        p.session->setStatusMessage(text, clearAfter);
      },
      PlayerTransparency::Hooks{
          .evaluatePageScript =
              [&p](const std::string& script) { p.web.evaluate(script, nullptr); },
          .isDropTargeted = [&p] { return p.session->isDropTargeted(); },
          .isSourceErrorShown = [&p] { return p.session->failedSourceURL().has_value(); },
          .currentMediaID = [&p] { return p.session->currentVideoID(); },
          .changed =
              [&p] {
                if (p.view) {
                  p.view->refresh();
                }
              },
      });
  p.behaviour->setConfiguredHandler([&p] { p.transparency->applyCurrentTransparencyState(); });

  PlayerSession::WindowHooks hooks;
  hooks.suspendAlwaysOnTopForOverlay = [&p] { p.behaviour->suspendAlwaysOnTopForOverlay(); };
  hooks.restoreAlwaysOnTopAfterOverlay = [&p] { p.behaviour->restoreAlwaysOnTopAfterOverlay(); };
  hooks.makeWindowSolid = [&p] { p.playerWindow->setReceivesMouseEvents(true); };
  hooks.refreshHoverState = [&p] { p.transparency->updateHoverStateFromMouseLocation(); };
  hooks.isHoverTransparencyEnabled = [&p] { return p.transparency->isTransparent(); };
  hooks.terminateApplication = std::move(quit);
  hooks.rescanMediaFolder = [&p] { p.scanMediaFolder(); };
  hooks.presentWindow = [&p] { p.window.present(); };
  p.session->setWindowHooks(std::move(hooks));
  p.sessionChanges = p.session->observeChanges([&p] { p.syncPlaylistPanel(); });

  p.view.emplace(
      *p.session,
      PlayerView::Inputs{
          .onDrop = [&p](const std::string& text) { p.session->loadStreamingURL(text, true); },
          .onTargetedChange = [&p](bool targeted) { p.session->setDropTargeted(targeted); },
          .onPlaybackKey = [&p](std::uint16_t key) { return p.session->handlePlaybackKey(key); },
          .modalShown = [&p] { return p.isShowingDialog(); },
          .onPointerInside = [&p](bool inside) { p.transparency->setPointerInside(inside); },
          .isHovering = [&p] { return p.transparency->isHovering(); },
          .isHoverMode = [&p] { return p.transparency->isTransparent(); },
          .isAlwaysOnTop = [&settings] { return settings.alwaysOnTopEnabled(); },
      });
  p.toolbar.emplace(PlayerToolbar::Inputs{
                        .onToggle = [&p] { p.session->togglePlayPause(); },
                        .onScrubbing = [&p](bool scrubbing) { p.session->setScrubbing(scrubbing); },
                        .onSeek = [&p](double seconds) { p.session->seek(seconds); },
                        .onPrevious = [&p] { p.session->playQueue().previous(); },
                        .onNext = [&p] { p.session->playQueue().next(); },
                        .onPlaylist =
                            [&p] {
                              if (p.session->showingPlaylist()) {
                                p.session->setShowingPlaylist(false);
                              } else {
                                p.session->openPlaylist();
                              }
                            },
                        .onFullscreen =
                            [&p] {
                              if (p.window.is_fullscreen()) {
                                p.window.unfullscreen();
                              } else {
                                p.window.fullscreen();
                              }
                            },
                        .onAlwaysOnTop =
                            [&settings] {
                              settings.setEnabled(AppSettings::Switch::alwaysOnTop,
                                                  !settings.alwaysOnTopEnabled());
                            },
                        .onVolume = [&p](double volume) { p.session->setVolume(volume * 100); },
                        .onZoom = [&p](double zoom) { p.session->setVideoZoom(zoom); },
                        .onDeleteFile = [&p] { p.session->fileDeletion().confirm(); },
                        .onPopoverChanged = [&p] { p.view->refresh(); },
                    },
                    p.equalizer);
  p.view->setToolbar(*p.toolbar);
  p.playerWindow->setContentOpacityHandler(
      [&p](double opacity) { p.view->setContentOpacity(opacity); });
  p.view->updateWebView(p.web.widget());
  p.view->setNativeVideoView(p.videoArea.get());
  p.web.setViewReplacedHandler([&p](GtkWidget* view) { p.view->updateWebView(view); });
  p.window.set_child(*p.view);
  p.view->installKeyHandler(p.window);

  // The commands and the status menu, with their keys; without a tray the status menu opens
  // from the window's top strip.
  // The other windows by their identifiers; the watch history window comes later, and until
  // then opening it says so.
  const PlayerCommands::OpenWindow openWindow = [&p, &application](std::string_view window) {
    if (window == "feedback") {
      if (!p.feedback) {
        p.feedback = std::make_unique<FeedbackWindow>(AppSettings::shared(), p.feedbackTransport);
        p.feedback->window().set_hide_on_close(true);
        // Above the player, which may be kept above everything else.
        p.feedback->window().set_transient_for(p.window);
        application.add_window(p.feedback->window());
        // Closed, the form is let go: opened again, it starts afresh.
        p.feedback->window().signal_hide().connect([&p] {
          p.queue.post(p.lifetime.guard([&p] {
            if (p.feedback && !p.feedback->window().get_visible()) {
              p.feedback.reset();
            }
          }));
        });
      }
      p.feedback->present();
      return;
    }
    if (window == "watch-history") {
      if (!p.history) {
        p.history = std::make_unique<WatchHistoryWindow>(
            AppSettings::shared(), NotificationCenter::shared(), p.recentThumbnails,
            [&p] { p.window.present(); });
        p.history->window().set_hide_on_close(true);
        p.history->window().set_transient_for(p.window);
        application.add_window(p.history->window());
        // Closed, the window is let go with its open note editors: opened again, it starts
        // afresh.
        p.history->window().signal_hide().connect([&p] {
          p.queue.post(p.lifetime.guard([&p] {
            if (p.history && !p.history->window().get_visible()) {
              p.history.reset();
            }
          }));
        });
      }
      p.history->present();
      return;
    }
    logLine("Player", "The " + std::string(window) + " window is not available yet");
  };
  p.commands.emplace(settings, center, openWindow);
  p.windowBridge.emplace(center, openWindow);
  p.statusMenu.emplace(StatusMenu::Dependencies{.settings = settings,
                                                .center = center,
                                                .commands = *p.commands,
                                                .activate = [&p] { p.window.present(); },
                                                .checkForUpdates = [&p] { p.checkForUpdates(); },
                                                .quit = [&p] { p.window.close(); }});
  p.shellActions.emplace(application, *p.commands, *p.statusMenu, [&p] { p.window.close(); });
  p.view->setStripMenu([&p] { return p.shellActions->statusMenuModel(); });
  p.toolbar->setCommandsMenu(KeyboardShortcuts::commandsMenu());
  application.add_action(KeyboardShortcuts::kAction, [&p] {
    if (!p.shortcuts) {
      p.shortcuts = KeyboardShortcuts::makeWindow(p.window);
    }
    if (p.shortcuts) {
      p.shortcuts->present();
    }
  });
  application.set_accel_for_action(std::string("app.") + KeyboardShortcuts::kAction,
                                   KeyboardShortcuts::kAccelerator);
  p.tray.emplace(*p.statusMenu, p.recentThumbnails, [&p] { p.window.present(); });
  p.mpris.emplace(p.queue, *p.session, StreamingProviderRegistry::shared(),
                  MprisService::Hooks{.raise = [&p] { p.window.present(); },
                                      .quit = [&p] { p.window.close(); }});
  p.follower.emplace(p.followerQueue, p.aerospace, PlayerWindowRegistry::shared(), ::getpid());
  for (const char* name : {"setAlwaysOnTop", "setFollowAeroSpaceWorkspaces"}) {
    p.followerSwitches.push_back(
        center.addObserver(name, [&p](const Notification&) { p.updateAeroSpaceFollower(); }));
  }
  application.add_action("close", [&p] { p.window.close(); });
  // The equalizer, until the toolbar's popover offers it; also reachable over D-Bus
  // (org.gtk.Actions on the application's object path).
  application.add_action_with_parameter(
      "equalizer", Glib::VariantType("b"), [&p](const Glib::VariantBase& value) {
        p.equalizer.setEnabled(Glib::VariantBase::cast_dynamic<Glib::Variant<bool>>(value).get());
      });
  application.add_action_with_parameter(
      "equalizer-gain", Glib::VariantType("(ud)"), [&p](const Glib::VariantBase& value) {
        guint32 band = 0;
        double gain = 0;
        g_variant_get(const_cast<GVariant*>(value.gobj()), "(ud)", &band, &gain);
        p.equalizer.setGain(gain, band);
      });
  application.add_action("equalizer-reset", [&p] { p.equalizer.resetGains(); });
  application.set_accel_for_action("app.close", "<Control>w");

  // Coming to the front keeps the window on its screen and above; monitors that come and go
  // may leave it off every screen.
  p.window.property_is_active().signal_changed().connect([&p] {
    if (p.window.is_active()) {
      p.behaviour->windowDidBecomeActive();
      p.behaviour->reassertAlwaysOnTopState();
    }
  });
  if (auto display = Gdk::Display::get_default()) {
    p.monitorsChanged = display->get_monitors()->signal_items_changed().connect(
        [&p](guint, guint, guint) { p.behaviour->screensDidChange(); });
  }

  p.window.signal_close_request().connect(
      [&p] {
        p.behaviour->windowWillClose();
        p.session->playerWindowWillClose();
        // The session quits the program once it has saved; the window goes with it.
        return true;
      },
      false);
}

PlayerController::~PlayerController() {
  // The follower goes on its own queue, so that nothing of it is running meanwhile.
  parts_->followerSwitches.clear();
  parts_->followerQueue.runAndWait([this] {
    parts_->follower->stop();
    parts_->follower.reset();
  });
  if (parts_->mediaFolderScan.joinable()) {
    parts_->mediaFolderScan.join();
  }
  parts_->monitorsChanged.disconnect();
  parts_->sessionChanges.cancel();
  parts_->panel.reset();
  // The equalizer's route is taken down before the session and the window go.
  parts_->session->setEqualizer(nullptr);
  parts_->equalizer.setEnabled(false);
}

void PlayerController::start(const std::optional<std::string>& openText) {
  Parts& p = *parts_;
  p.window.present();
  p.behaviour->configureWindow();
  if (openText) {
    p.session->openAtLaunch(*openText);
  } else {
    p.session->configurePlayback();
  }
  p.scanMediaFolder();
  PlayerWindowRegistry::shared().registerWindow(p.playerWindow->windowNumber());
  p.updateAeroSpaceFollower();
}

void PlayerController::open(const std::string& text) {
  parts_->session->loadStreamingURL(text, true);
  parts_->window.present();
}

void PlayerController::applicationWillTerminate() {
  parts_->stopFollower();
  parts_->behaviour->windowWillClose();
  parts_->session->applicationWillTerminate();
}

}  // namespace orvel
