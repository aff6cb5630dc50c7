// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <functional>
#include <optional>

#include "chrome/PlayerToolbarValues.h"
#include "core/Cancellable.h"
#include "native/PlayerEqualizer.h"
#include "platform/gtk/toolbar/EqualizerPopover.h"
#include "platform/gtk/toolbar/PlaybackOptionsPopover.h"
#include "player/MediaTracks.h"

namespace orvel {

// The transport bar at the bottom of the player: the time row with the seek slider, and the
// control row with mute, equalizer, volume, previous / play-pause / next, fullscreen,
// keep-on-top, the playback options and the playlist button. It holds no playback state: the
// view hands it the session's values on every refresh, and it reports what the user asks for.
// The equalizer popover edits the equalizer model directly.
class PlayerToolbar final : public Gtk::Box {
 public:
  struct State {
    bool isPlaying = false;
    double currentTime = 0;
    double duration = 0;
    // 0…1.
    double volume = 1;
    bool isAlwaysOnTop = true;
    // Absent hides the zoom controls.
    std::optional<double> videoZoom;
    bool hasPrevious = false;
    bool hasNext = false;
    bool canDeleteFile = false;
    bool canSaveFrame = false;
    double speed = 1;
    // Marked on the seek slider; scrubbing names the one under the slider.
    std::vector<MediaChapter> chapters;
    // Empty hides the choice.
    std::vector<MediaTracks::Choice> audioTracks;
    std::vector<MediaTracks::Choice> subtitleTracks;
  };
  struct Inputs {
    std::function<void()> onToggle;
    std::function<void(bool scrubbing)> onScrubbing;
    // The position to go to, once a drag ends or a key moved the slider.
    std::function<void(double seconds)> onSeek;
    std::function<void()> onPrevious;
    std::function<void()> onNext;
    std::function<void()> onPlaylist;
    std::function<void()> onFullscreen;
    std::function<void()> onAlwaysOnTop;
    std::function<void(double volume)> onVolume;
    std::function<void(double zoom)> onZoom;
    std::function<void(double rate)> onSpeed;
    std::function<void(std::optional<std::int64_t> id)> onAudioTrack;
    std::function<void(std::optional<std::int64_t> id)> onSubtitleTrack;
    std::function<void()> onDeleteFile;
    std::function<void()> onSaveFrame;
    // A popover opened or closed: the bars stay while one is open.
    std::function<void()> onPopoverChanged;
  };

  PlayerToolbar(Inputs inputs, PlayerEqualizer& equalizer);
  ~PlayerToolbar() override;

  // Updates the controls in place; nothing is created or destroyed.
  void update(const State& state);
  // The width the bar may take: from 480 up the volume slider, fullscreen and keep-on-top sit
  // in the bar itself, below that only in the options.
  void setAvailableWidth(double width);
  bool hasOpenPopover() const {
    return (equalizerPopover_ && equalizerPopover_->get_visible()) ||
           (optionsPopover_ && optionsPopover_->get_visible());
  }
  // The commands menu the options offer.
  void setCommandsMenu(const Glib::RefPtr<Gio::MenuModel>& menu);

 private:
  void buildTimeRow();
  void buildControlRow();
  void buildVolumeControls();
  void buildTransportControls();
  void buildWindowControls();
  void applyLayout(bool wide);
  void setVolumeFromUser(double volume);
  void finishSeek();
  static gboolean onSeekPointerEvent(GtkEventControllerLegacy* controller, GdkEvent* event,
                                     gpointer self);

  Inputs inputs_;
  PlayerEqualizer& equalizer_;
  State state_;
  std::vector<MediaChapter> markedChapters_;
  PlayerToolbarValues::Mute mute_;
  bool updating_ = false;
  bool seekPressed_ = false;
  std::optional<bool> wide_;
  std::optional<bool> shownPlaying_;

  Gtk::Box timeRow_{Gtk::Orientation::HORIZONTAL, 8};
  Gtk::Label currentTime_;
  Gtk::Scale seek_;
  Gtk::Label duration_;
  Gtk::CenterBox controlRow_;
  Gtk::Box left_{Gtk::Orientation::HORIZONTAL, 4};
  Gtk::Box centre_{Gtk::Orientation::HORIZONTAL, 8};
  Gtk::Box right_{Gtk::Orientation::HORIZONTAL, 4};
  Gtk::Button muteButton_;
  Gtk::MenuButton equalizerButton_;
  Gtk::Scale volume_;
  Gtk::Button previous_;
  Gtk::Button playPause_;
  Gtk::Button next_;
  Gtk::Button fullscreen_;
  Gtk::Button alwaysOnTop_;
  Gtk::MenuButton options_;
  Gtk::Button playlist_;
  // Owned by their buttons.
  EqualizerPopover* equalizerPopover_ = nullptr;
  PlaybackOptionsPopover* optionsPopover_ = nullptr;

  ObserverToken equalizerChanges_;
};

}  // namespace orvel
