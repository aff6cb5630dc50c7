// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/toolbar/PlayerToolbar.h"

#include <algorithm>
#include <string>

#include "chrome/PlayerSymbols.h"
#include "core/Translation.h"
#include "platform/gtk/WidgetHelpers.h"
#include "platform/gtk/toolbar/ToolbarWidgets.h"
#include "player/ChapterNavigation.h"

namespace orvel {
namespace {

namespace Values = PlayerToolbarValues;

// Calls the input if the owner gave one.
void call(const std::function<void()>& input) {
  if (input) {
    input();
  }
}

// Setting an icon, even the same one, makes the button lay out and draw again.
void setSymbol(Gtk::Button& button, std::string_view symbol) {
  const std::string icon(PlayerSymbols::iconName(symbol));
  if (button.get_icon_name().raw() != icon) {
    button.set_icon_name(icon);
  }
}

// The toolbar's icon button: the symbol on a rounded face that lights up under the pointer; its
// label is its help text and its accessible name.
void makeIconButton(Gtk::Button& button, std::string_view symbol, const std::string& label) {
  setSymbol(button, symbol);
  button.set_has_frame(false);
  button.add_css_class("orvel-icon-button");
  describe(button, label, label);
}

void makeIconMenuButton(Gtk::MenuButton& button, std::string_view symbol,
                        const std::string& label) {
  button.set_icon_name(std::string(PlayerSymbols::iconName(symbol)));
  button.set_has_frame(false);
  button.add_css_class("orvel-icon-button");
  button.set_direction(Gtk::ArrowType::UP);
  describe(button, label, label);
}

}  // namespace

PlayerToolbar::PlayerToolbar(Inputs inputs, PlayerEqualizer& equalizer)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 4), inputs_(std::move(inputs)), equalizer_(equalizer) {
  add_css_class("orvel-toolbar");
  set_valign(Gtk::Align::END);
  buildTimeRow();
  buildControlRow();
  equalizerChanges_ = equalizer_.observeChanges(
      [this] { setClass(equalizerButton_, "orvel-accent", equalizer_.isEnabled()); });
  setClass(equalizerButton_, "orvel-accent", equalizer_.isEnabled());
  update(state_);
}

PlayerToolbar::~PlayerToolbar() = default;

void PlayerToolbar::buildTimeRow() {
  for (Gtk::Label* label : {&currentTime_, &duration_}) {
    label->add_css_class("orvel-time");
    label->set_ellipsize(Pango::EllipsizeMode::NONE);
  }
  seek_.set_draw_value(false);
  seek_.set_hexpand(true);
  seek_.set_range(0, 1);
  // The arrows step five seconds, as Left and Right do on the player itself.
  seek_.set_increments(5, 30);
  seek_.add_css_class("orvel-seek");
  seek_.set_size_request(-1, 20);
  describe(seek_, _("Playback position"), _("Seek through the video"));
  seek_.signal_value_changed().connect([this] {
    if (updating_) {
      return;
    }
    if (seekPressed_) {
      currentTime_.set_text(Values::formattedTime(seek_.get_value()));
      // While scrubbing, the chapter under the slider.
      const MediaChapter* chapter = ChapterNavigation::at(state_.chapters, seek_.get_value());
      seek_.set_tooltip_text(chapter && !chapter->title.empty() ? chapter->title
                                                                : _("Seek through the video"));
    } else {
      // A key or the wheel moved it: a finished edit at once.
      if (inputs_.onSeek) {
        inputs_.onSeek(seek_.get_value());
      }
    }
  });
  // Press and release are watched before the slider's own handling, which keeps them.
  GtkEventController* pointer = gtk_event_controller_legacy_new();
  gtk_event_controller_set_propagation_phase(pointer, GTK_PHASE_CAPTURE);
  g_signal_connect(pointer, "event", G_CALLBACK(onSeekPointerEvent), this);
  // The slider owns the controller from here.
  gtk_widget_add_controller(GTK_WIDGET(seek_.gobj()), pointer);
  timeRow_.append(currentTime_);
  timeRow_.append(seek_);
  timeRow_.append(duration_);
  append(timeRow_);
}

gboolean PlayerToolbar::onSeekPointerEvent(GtkEventControllerLegacy*, GdkEvent* event,
                                           gpointer self) {
  auto* toolbar = static_cast<PlayerToolbar*>(self);
  const GdkEventType type = gdk_event_get_event_type(event);
  if (type == GDK_BUTTON_PRESS && toolbar->seek_.get_sensitive() && !toolbar->seekPressed_) {
    toolbar->seekPressed_ = true;
    if (toolbar->inputs_.onScrubbing) {
      toolbar->inputs_.onScrubbing(true);
    }
  } else if (type == GDK_BUTTON_RELEASE && toolbar->seekPressed_) {
    // The slider takes its last value from this release first.
    Glib::signal_idle().connect_once(
        sigc::track_obj([toolbar] { toolbar->finishSeek(); }, *toolbar));
  }
  return FALSE;
}

void PlayerToolbar::finishSeek() {
  if (!seekPressed_) {
    return;
  }
  seek_.set_tooltip_text(_("Seek through the video"));
  // The place is taken before anything redraws the slider with the player's old position.
  const double target = seek_.get_value();
  seekPressed_ = false;
  if (inputs_.onSeek) {
    inputs_.onSeek(target);
  }
  if (inputs_.onScrubbing) {
    inputs_.onScrubbing(false);
  }
}

void PlayerToolbar::buildControlRow() {
  buildVolumeControls();
  buildTransportControls();
  buildWindowControls();
  controlRow_.set_start_widget(left_);
  controlRow_.set_center_widget(centre_);
  controlRow_.set_end_widget(right_);
  controlRow_.set_size_request(-1, 28);
  append(controlRow_);
}

// Mute, the equalizer and the volume, on the left.
void PlayerToolbar::buildVolumeControls() {
  makeIconButton(muteButton_, "speaker.wave.2.fill", _("Mute / unmute"));
  muteButton_.signal_clicked().connect([this] { setVolumeFromUser(mute_.toggle(state_.volume)); });
  makeIconMenuButton(equalizerButton_, "waveform", _("Equalizer"));
  equalizerPopover_ = Gtk::make_managed<EqualizerPopover>(equalizer_);
  equalizerButton_.set_popover(*equalizerPopover_);
  configureVolumeSlider(volume_);
  volume_.signal_value_changed().connect([this] {
    if (!updating_) {
      setVolumeFromUser(volume_.get_value());
    }
  });
  left_.append(muteButton_);
  left_.append(equalizerButton_);
  left_.append(volume_);
  left_.set_hexpand(true);
  left_.set_halign(Gtk::Align::START);
}

// Previous, play or pause, and next, in the middle.
void PlayerToolbar::buildTransportControls() {
  makeIconButton(previous_, "backward.end.fill", _("Previous item"));
  previous_.signal_clicked().connect([this] { call(inputs_.onPrevious); });
  setSymbol(playPause_, "play.fill");
  playPause_.set_has_frame(false);
  playPause_.add_css_class("orvel-transport");
  playPause_.set_size_request(38, 28);
  playPause_.signal_clicked().connect([this] { call(inputs_.onToggle); });
  makeIconButton(next_, "forward.end.fill", _("Next item"));
  next_.signal_clicked().connect([this] { call(inputs_.onNext); });
  centre_.append(previous_);
  centre_.append(playPause_);
  centre_.append(next_);
}

// Fullscreen, keep-on-top, the options and the playlist, on the right.
void PlayerToolbar::buildWindowControls() {
  makeIconButton(fullscreen_, "arrow.up.left.and.arrow.down.right", _("Toggle fullscreen"));
  fullscreen_.signal_clicked().connect([this] { call(inputs_.onFullscreen); });
  makeIconButton(alwaysOnTop_, "pin.fill", _("Always on top"));
  alwaysOnTop_.signal_clicked().connect([this] { call(inputs_.onAlwaysOnTop); });
  makeIconMenuButton(options_, "gearshape.fill", _("Playback options"));
  optionsPopover_ = Gtk::make_managed<PlaybackOptionsPopover>(PlaybackOptionsPopover::Actions{
      .setVolume = [this](double volume) { setVolumeFromUser(volume); },
      .onFullscreen = inputs_.onFullscreen,
      .onAlwaysOnTop = inputs_.onAlwaysOnTop,
      .onZoom = inputs_.onZoom,
      .onSpeed = inputs_.onSpeed,
      .onAudioTrack = inputs_.onAudioTrack,
      .onSubtitleTrack = inputs_.onSubtitleTrack,
      .onDeleteFile = inputs_.onDeleteFile,
      .onSaveFrame = inputs_.onSaveFrame});
  options_.set_popover(*optionsPopover_);
  for (Gtk::Popover* popover :
       std::initializer_list<Gtk::Popover*>{equalizerPopover_, optionsPopover_}) {
    popover->property_visible().signal_changed().connect(
        [this] { call(inputs_.onPopoverChanged); });
  }
  makeIconButton(playlist_, "list.bullet", _("Playlist"));
  playlist_.signal_clicked().connect([this] { call(inputs_.onPlaylist); });
  right_.append(fullscreen_);
  right_.append(alwaysOnTop_);
  right_.append(options_);
  right_.append(playlist_);
  right_.set_hexpand(true);
  right_.set_halign(Gtk::Align::END);
}

void PlayerToolbar::setCommandsMenu(const Glib::RefPtr<Gio::MenuModel>& menu) {
  optionsPopover_->setCommandsMenu(menu);
}

void PlayerToolbar::setVolumeFromUser(double volume) {
  if (inputs_.onVolume) {
    inputs_.onVolume(std::clamp(volume, 0.0, 1.0));
  }
}

void PlayerToolbar::update(const State& state) {
  state_ = state;
  updating_ = true;
  const double duration = Values::safeDuration(state.duration);
  if (!seekPressed_) {
    currentTime_.set_text(Values::formattedTime(Values::safeTime(state.currentTime)));
    seek_.set_range(0, Values::seekMaximum(state.duration));
    seek_.set_value(Values::seekValue(state.currentTime, state.duration));
  }
  duration_.set_text(Values::formattedTime(duration));
  seek_.set_sensitive(duration > 0);
  if (markedChapters_ != state.chapters) {
    markedChapters_ = state.chapters;
    seek_.clear_marks();
    for (const MediaChapter& chapter : state.chapters) {
      if (chapter.start > 0) {
        seek_.add_mark(chapter.start, Gtk::PositionType::BOTTOM, "");
      }
    }
  }

  const double volume = Values::volumeValue(state.volume);
  volume_.set_value(volume);
  setSymbol(muteButton_, state.volume <= 0 ? "speaker.slash.fill" : "speaker.wave.2.fill");
  setPressed(muteButton_, state.volume <= 0);

  if (!shownPlaying_ || *shownPlaying_ != state.isPlaying) {
    shownPlaying_ = state.isPlaying;
    setSymbol(playPause_, state.isPlaying ? "pause.fill" : "play.fill");
    describe(playPause_, state.isPlaying ? _("Pause") : _("Play"),
             state.isPlaying ? _("Pause (Space)") : _("Play (Space)"));
  }
  previous_.set_sensitive(state.hasPrevious);
  next_.set_sensitive(state.hasNext);

  setSymbol(alwaysOnTop_, state.isAlwaysOnTop ? "pin.fill" : "pin");
  setPressed(alwaysOnTop_, state.isAlwaysOnTop);
  setClass(alwaysOnTop_, "orvel-accent", state.isAlwaysOnTop);
  optionsPopover_->update({.volume = volume,
                           .isAlwaysOnTop = state.isAlwaysOnTop,
                           .videoZoom = state.videoZoom,
                           .canDeleteFile = state.canDeleteFile,
                           .canSaveFrame = state.canSaveFrame,
                           .speed = state.speed,
                           .audioTracks = state.audioTracks,
                           .subtitleTracks = state.subtitleTracks});
  updating_ = false;
}

void PlayerToolbar::setAvailableWidth(double width) {
  const bool wide = Values::isWideLayout(width);
  if (wide_ != wide) {
    wide_ = wide;
    // Visibility cannot change while the toolkit lays out; the next turn applies it.
    Glib::signal_idle().connect_once(sigc::track_obj([this, wide] { applyLayout(wide); }, *this));
  }
}

void PlayerToolbar::applyLayout(bool wide) {
  volume_.set_visible(wide);
  fullscreen_.set_visible(wide);
  alwaysOnTop_.set_visible(wide);
}

}  // namespace orvel
