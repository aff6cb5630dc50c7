// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/PlayerToolbar.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "chrome/PlayerChrome.h"
#include "chrome/PlayerSymbols.h"
#include "platform/gtk/WidgetHelpers.h"

namespace orvel {
namespace {

namespace Values = PlayerToolbarValues;

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

Gtk::Label& makeLabel(const std::string& text, const char* cssClass) {
  auto* label = Gtk::make_managed<Gtk::Label>(text);
  label->add_css_class(cssClass);
  label->set_xalign(0);
  return *label;
}

Gtk::Box& symbolLabel(std::string_view symbol, Gtk::Label& text, const char* cssClass) {
  auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 6);
  row->add_css_class(cssClass);
  auto* icon = Gtk::make_managed<Gtk::Image>();
  icon->set_from_icon_name(std::string(PlayerSymbols::iconName(symbol)));
  icon->set_valign(Gtk::Align::START);
  text.set_wrap(true);
  text.set_xalign(0);
  text.set_hexpand(true);
  row->append(*icon);
  row->append(text);
  return *row;
}

void configureVolumeSlider(Gtk::Scale& slider) {
  slider.set_range(0, 1);
  slider.set_increments(0.05, 0.1);
  slider.set_draw_value(false);
  slider.add_css_class("orvel-volume");
  slider.set_size_request(88, 26);
  describe(slider, "Volume", "Adjust volume");
}

std::string gainToneClass(Values::GainLabel::Tone tone) {
  switch (tone) {
    case Values::GainLabel::Tone::accent:
      return "orvel-gain-accent";
    case Values::GainLabel::Tone::dimmed:
      return "orvel-gain-dimmed";
    case Values::GainLabel::Tone::zero:
      break;
  }
  return "orvel-gain-zero";
}

}  // namespace

PlayerToolbar::PlayerToolbar(Inputs inputs, PlayerEqualizer& equalizer)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 4), inputs_(std::move(inputs)), equalizer_(equalizer) {
  add_css_class("orvel-toolbar");
  set_valign(Gtk::Align::END);
  buildTimeRow();
  buildControlRow();
  equalizerChanges_ = equalizer_.observeChanges([this] { updateEqualizer(); });
  update(state_);
  updateEqualizer();
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
  describe(seek_, "Playback position", "Seek through the video");
  seek_.signal_value_changed().connect([this] {
    if (updating_) {
      return;
    }
    if (seekPressed_) {
      currentTime_.set_text(Values::formattedTime(seek_.get_value()));
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
  makeIconButton(muteButton_, "speaker.wave.2.fill", "Mute / unmute");
  muteButton_.signal_clicked().connect([this] { setVolumeFromUser(mute_.toggle(state_.volume)); });
  makeIconMenuButton(equalizerButton_, "waveform", "Equalizer");
  equalizerPopover_ = &buildEqualizerPopover();
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

  makeIconButton(previous_, "backward.end.fill", "Previous item");
  previous_.signal_clicked().connect([this] {
    if (inputs_.onPrevious) {
      inputs_.onPrevious();
    }
  });
  setSymbol(playPause_, "play.fill");
  playPause_.set_has_frame(false);
  playPause_.add_css_class("orvel-transport");
  playPause_.set_size_request(38, 28);
  playPause_.signal_clicked().connect([this] {
    if (inputs_.onToggle) {
      inputs_.onToggle();
    }
  });
  makeIconButton(next_, "forward.end.fill", "Next item");
  next_.signal_clicked().connect([this] {
    if (inputs_.onNext) {
      inputs_.onNext();
    }
  });
  centre_.append(previous_);
  centre_.append(playPause_);
  centre_.append(next_);

  makeIconButton(fullscreen_, "arrow.up.left.and.arrow.down.right", "Toggle fullscreen");
  fullscreen_.signal_clicked().connect([this] {
    if (inputs_.onFullscreen) {
      inputs_.onFullscreen();
    }
  });
  makeIconButton(alwaysOnTop_, "pin.fill", "Always on top");
  alwaysOnTop_.signal_clicked().connect([this] {
    if (inputs_.onAlwaysOnTop) {
      inputs_.onAlwaysOnTop();
    }
  });
  makeIconMenuButton(options_, "gearshape.fill", "Playback options");
  optionsPopover_ = &buildOptionsPopover();
  options_.set_popover(*optionsPopover_);
  for (Gtk::Popover* popover : {equalizerPopover_, optionsPopover_}) {
    popover->property_visible().signal_changed().connect([this] {
      if (inputs_.onPopoverChanged) {
        inputs_.onPopoverChanged();
      }
    });
  }
  makeIconButton(playlist_, "list.bullet", "Playlist");
  playlist_.signal_clicked().connect([this] {
    if (inputs_.onPlaylist) {
      inputs_.onPlaylist();
    }
  });
  right_.append(fullscreen_);
  right_.append(alwaysOnTop_);
  right_.append(options_);
  right_.append(playlist_);
  right_.set_hexpand(true);
  right_.set_halign(Gtk::Align::END);

  controlRow_.set_start_widget(left_);
  controlRow_.set_center_widget(centre_);
  controlRow_.set_end_widget(right_);
  controlRow_.set_size_request(-1, 28);
  append(controlRow_);
}

Gtk::Popover& PlayerToolbar::buildOptionsPopover() {
  auto* popover = Gtk::make_managed<Gtk::Popover>();
  popover->add_css_class("orvel-popover");
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 12);
  box->set_size_request(320, -1);
  box->append(makeLabel("Playback", "orvel-headline"));

  auto* volumeRow = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  auto& volumeLabel = makeLabel("Volume", "orvel-body");
  volumeLabel.set_hexpand(true);
  configureVolumeSlider(optionsVolume_);
  optionsVolume_.signal_value_changed().connect([this] {
    if (!updating_) {
      setVolumeFromUser(optionsVolume_.get_value());
    }
  });
  volumeRow->append(volumeLabel);
  volumeRow->append(optionsVolume_);
  box->append(*volumeRow);
  box->append(*Gtk::make_managed<Gtk::Separator>());

  auto* fullscreen = Gtk::make_managed<Gtk::Button>();
  auto* fullscreenContent = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  auto* fullscreenIcon = Gtk::make_managed<Gtk::Image>();
  fullscreenIcon->set_from_icon_name(
      std::string(PlayerSymbols::iconName("arrow.up.left.and.arrow.down.right")));
  fullscreenContent->append(*fullscreenIcon);
  fullscreenContent->append(*Gtk::make_managed<Gtk::Label>("Toggle fullscreen"));
  fullscreen->set_child(*fullscreenContent);
  setAccessibleLabel(*fullscreen, "Toggle fullscreen");
  fullscreen->set_has_frame(false);
  fullscreen->add_css_class("orvel-row-button");
  fullscreen->signal_clicked().connect([this] {
    if (inputs_.onFullscreen) {
      inputs_.onFullscreen();
    }
  });
  box->append(*fullscreen);

  // The toggle shows the switch's state; a click asks for the change and never sets it itself.
  auto* pinRow = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  optionsPin_.set_from_icon_name(std::string(PlayerSymbols::iconName("pin.fill")));
  optionsAlwaysOnTop_.set_label("Always on top");
  optionsAlwaysOnTop_.signal_toggled().connect([this] {
    if (!updating_ && inputs_.onAlwaysOnTop) {
      inputs_.onAlwaysOnTop();
    }
  });
  pinRow->append(optionsPin_);
  pinRow->append(optionsAlwaysOnTop_);
  box->append(*pinRow);

  zoomSection_.append(*Gtk::make_managed<Gtk::Separator>());
  auto* zoomRow = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  auto& zoomLabel = makeLabel("Video zoom", "orvel-body");
  zoomLabel.set_hexpand(true);
  zoomValue_.add_css_class("orvel-time");
  zoomRow->append(zoomLabel);
  zoomRow->append(zoomValue_);
  zoomSection_.append(*zoomRow);
  zoom_.set_range(1, 3);
  zoom_.set_increments(0.05, 0.25);
  zoom_.set_digits(2);
  zoom_.set_round_digits(2);
  zoom_.set_draw_value(false);
  zoom_.add_css_class("orvel-seek");
  describe(zoom_, "Video zoom", "Video zoom");
  zoom_.signal_value_changed().connect([this] {
    if (updating_) {
      return;
    }
    // Steps of 0.05 between 1 and 3.
    const double stepped = std::clamp(std::round(zoom_.get_value() * 20) / 20, 1.0, 3.0);
    zoomValue_.set_text(Values::zoomPercent(stepped));
    if (inputs_.onZoom) {
      inputs_.onZoom(stepped);
    }
  });
  zoomSection_.append(zoom_);
  zoomReset_.set_label("Reset to 100%");
  zoomReset_.set_halign(Gtk::Align::START);
  zoomReset_.signal_clicked().connect([this] {
    if (inputs_.onZoom) {
      inputs_.onZoom(1.0);
    }
  });
  zoomSection_.append(zoomReset_);
  box->append(zoomSection_);

  deleteSection_.append(*Gtk::make_managed<Gtk::Separator>());
  auto* deleteFile = Gtk::make_managed<Gtk::Button>("Stop & Delete File");
  deleteFile->add_css_class("destructive-action");
  deleteFile->set_halign(Gtk::Align::START);
  deleteFile->signal_clicked().connect([this] {
    if (inputs_.onDeleteFile) {
      inputs_.onDeleteFile();
    }
  });
  deleteSection_.append(*deleteFile);
  box->append(deleteSection_);

  // Every command of the player with its key, for those who look for them with the mouse.
  box->append(*Gtk::make_managed<Gtk::Separator>());
  commands_.set_label("All Commands");
  commands_.set_has_frame(false);
  commands_.set_halign(Gtk::Align::START);
  commands_.add_css_class("orvel-row-button");
  describe(commands_, "All Commands", "The player's commands and their keys");
  commands_.set_visible(false);
  box->append(commands_);

  popover->set_child(*box);
  return *popover;
}

void PlayerToolbar::setCommandsMenu(const Glib::RefPtr<Gio::MenuModel>& menu) {
  commands_.set_menu_model(menu);
  commands_.set_visible(static_cast<bool>(menu));
}

Gtk::Popover& PlayerToolbar::buildEqualizerPopover() {
  auto* popover = Gtk::make_managed<Gtk::Popover>();
  popover->add_css_class("orvel-popover");
  popover->add_css_class("orvel-equalizer");
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 12);
  box->set_size_request(400, -1);

  auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 10);
  equalizerIcon_.add_css_class("orvel-eq-icon");
  equalizerIcon_.set_size_request(32, 32);
  equalizerIcon_.set_halign(Gtk::Align::START);
  equalizerIcon_.set_valign(Gtk::Align::CENTER);
  auto* icon = Gtk::make_managed<Gtk::Image>();
  icon->set_from_icon_name(std::string(PlayerSymbols::iconName("slider.vertical.3")));
  icon->set_size_request(32, 32);
  equalizerIcon_.append(*icon);
  auto* titles = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 1);
  titles->append(makeLabel("Equalizer", "orvel-headline"));
  titles->append(makeLabel("7 bands · ±12 dB", "orvel-caption"));
  titles->set_hexpand(true);
  titles->set_valign(Gtk::Align::CENTER);
  equalizerReset_.set_label("Reset");
  equalizerReset_.set_has_frame(false);
  equalizerReset_.add_css_class("orvel-eq-reset");
  equalizerReset_.set_valign(Gtk::Align::CENTER);
  describe(equalizerReset_, "Reset equalizer bands", "Reset every band to 0 dB");
  equalizerReset_.signal_clicked().connect([this] { equalizer_.resetGains(); });
  equalizerSwitch_.set_valign(Gtk::Align::CENTER);
  describe(equalizerSwitch_, "Enable equalizer", "Enable equalizer");
  equalizerSwitch_.property_active().signal_changed().connect([this] {
    if (!updating_) {
      equalizer_.setEnabled(equalizerSwitch_.get_active());
    }
  });
  header->append(equalizerIcon_);
  header->append(*titles);
  header->append(equalizerReset_);
  header->append(equalizerSwitch_);
  box->append(*header);
  box->append(*Gtk::make_managed<Gtk::Separator>());

  auto* bandsRow = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  bandsRow->set_homogeneous(true);
  for (std::size_t band = 0; band < PlayerEQBands::count; ++band) {
    auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 7);
    column->set_size_request(44, -1);
    gainLabels_[band].add_css_class("orvel-gain");
    gainLabels_[band].set_size_request(-1, 14);

    Gtk::Scale& slider = bands_[band];
    slider.set_orientation(Gtk::Orientation::VERTICAL);
    slider.set_inverted(true);
    slider.set_range(-12, 12);
    slider.set_increments(1, 3);
    slider.set_draw_value(false);
    slider.set_has_origin(false);
    slider.add_css_class("orvel-band");
    slider.set_size_request(28, 132);
    slider.set_halign(Gtk::Align::CENTER);
    const std::string name(PlayerEQBands::labels[band]);
    describe(slider, name + " gain in decibels", name + " gain in decibels");
    slider.signal_value_changed().connect([this, band] {
      bandLevels_[band].queue_draw();
      if (!updating_) {
        equalizer_.setGain(bands_[band].get_value(), band);
      }
    });
    // The track, the level from 0 dB and the scale are drawn behind the slider, which keeps
    // the knob, the keyboard and what assistive technologies read.
    bandLevels_[band].set_draw_func(
        [this, band](const Cairo::RefPtr<Cairo::Context>& cairo, int width, int height) {
          drawBandLevel(band, cairo, width, height);
        });
    bandLevels_[band].set_can_target(false);
    auto* stack = Gtk::make_managed<Gtk::Overlay>();
    stack->set_child(bandLevels_[band]);
    stack->add_overlay(slider);
    stack->set_size_request(28, 132);
    stack->set_halign(Gtk::Align::CENTER);

    auto* bandLabel = Gtk::make_managed<Gtk::Label>(name);
    bandLabel->add_css_class("orvel-band-label");
    column->append(gainLabels_[band]);
    column->append(*stack);
    column->append(*bandLabel);
    bandsRow->append(*column);
  }
  box->append(*bandsRow);
  box->append(*Gtk::make_managed<Gtk::Separator>());

  auto* footer = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
  auto* note = Gtk::make_managed<Gtk::Label>(
      "Orvel player only; YouTube may ask for audio capture permission");
  footer->append(symbolLabel("waveform", *note, "orvel-eq-note"));
  errorRow_ = &symbolLabel("exclamationmark.triangle.fill", equalizerErrorText_, "orvel-eq-error");
  errorRow_->set_visible(false);
  footer->append(*errorRow_);
  box->append(*footer);

  popover->set_child(*box);
  return *popover;
}

void PlayerToolbar::drawBandLevel(std::size_t band, const Cairo::RefPtr<Cairo::Context>& cairo,
                                  int width, int height) {
  const bool enabled = equalizer_.isEnabled();
  const double centre = width / 2.0;
  const double top = 8;
  const double trackHeight = std::max(0.0, height - 16.0);
  auto roundedBar = [&](double x, double y, double w, double h, double radius) {
    cairo->begin_new_sub_path();
    cairo->arc(x + w - radius, y + radius, radius, -M_PI / 2, 0);
    cairo->arc(x + w - radius, y + h - radius, radius, 0, M_PI / 2);
    cairo->arc(x + radius, y + h - radius, radius, M_PI / 2, M_PI);
    cairo->arc(x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo->close_path();
  };
  // Track.
  cairo->set_source_rgba(1, 1, 1, enabled ? 0.2 : 0.1);
  roundedBar(centre - 1.5, top, 3, trackHeight, 1.5);
  cairo->fill();
  // Scale: a tick every 2 dB, wider and brighter at 0 dB.
  for (int step = 0; step <= 12; ++step) {
    const double y = top + trackHeight * step / 12.0;
    const bool middle = step == 6;
    cairo->set_line_width(middle ? 1.5 : 1);
    cairo->set_source_rgba(1, 1, 1, enabled ? (middle ? 0.38 : 0.16) : 0.08);
    const double outer = middle ? 9 : 8;
    cairo->move_to(centre - outer, y);
    cairo->line_to(centre - 4, y);
    cairo->move_to(centre + 4, y);
    cairo->line_to(centre + outer, y);
    cairo->stroke();
  }
  // Level, from 0 dB to the gain (the top is +12 dB).
  const double value = bands_[band].get_value();
  const double fraction = (value + 12) / 24;
  const double level = top + trackHeight * (1 - fraction);
  const double middle = top + trackHeight / 2;
  const double from = std::min(level, middle);
  const double to = std::max(level, middle);
  const auto& accent = PlayerChrome::accent;
  cairo->set_source_rgba(accent.red, accent.green, accent.blue, enabled ? 0.9 : 0.25);
  cairo->rectangle(centre - 1.5, from, 3, std::max(1.0, to - from));
  cairo->fill();
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

  const double volume = Values::volumeValue(state.volume);
  volume_.set_value(volume);
  optionsVolume_.set_value(volume);
  setSymbol(muteButton_, state.volume <= 0 ? "speaker.slash.fill" : "speaker.wave.2.fill");
  setPressed(muteButton_, state.volume <= 0);

  if (!shownPlaying_ || *shownPlaying_ != state.isPlaying) {
    shownPlaying_ = state.isPlaying;
    setSymbol(playPause_, state.isPlaying ? "pause.fill" : "play.fill");
    describe(playPause_, state.isPlaying ? "Pause" : "Play",
             state.isPlaying ? "Pause (Space)" : "Play (Space)");
  }
  previous_.set_sensitive(state.hasPrevious);
  next_.set_sensitive(state.hasNext);

  setSymbol(alwaysOnTop_, state.isAlwaysOnTop ? "pin.fill" : "pin");
  setPressed(alwaysOnTop_, state.isAlwaysOnTop);
  setClass(alwaysOnTop_, "orvel-accent", state.isAlwaysOnTop);
  optionsAlwaysOnTop_.set_active(state.isAlwaysOnTop);
  setClass(optionsPin_, "orvel-accent", state.isAlwaysOnTop);

  zoomSection_.set_visible(state.videoZoom.has_value());
  if (state.videoZoom) {
    zoom_.set_value(*state.videoZoom);
    zoomValue_.set_text(Values::zoomPercent(*state.videoZoom));
    zoomReset_.set_sensitive(*state.videoZoom != 1.0);
  }
  deleteSection_.set_visible(state.canDeleteFile);
  updating_ = false;
}

void PlayerToolbar::updateEqualizer() {
  updating_ = true;
  const bool enabled = equalizer_.isEnabled();
  equalizerSwitch_.set_active(enabled);
  gtk_accessible_update_state(
      GTK_ACCESSIBLE(equalizerSwitch_.gobj()), GTK_ACCESSIBLE_STATE_CHECKED,
      enabled ? GTK_ACCESSIBLE_TRISTATE_TRUE : GTK_ACCESSIBLE_TRISTATE_FALSE, -1);
  setClass(equalizerButton_, "orvel-accent", enabled);
  setClass(equalizerIcon_, "orvel-enabled", enabled);
  const auto& gains = equalizer_.gains();
  const bool anyGain = std::any_of(gains.begin(), gains.end(), [](double g) { return g != 0; });
  equalizerReset_.set_sensitive(anyGain);
  for (std::size_t band = 0; band < PlayerEQBands::count; ++band) {
    const double gain = band < gains.size() ? gains[band] : 0;
    const auto label = Values::gainLabel(gain, enabled);
    gainLabels_[band].set_text(label.text);
    for (const char* tone : {"orvel-gain-accent", "orvel-gain-dimmed", "orvel-gain-zero"}) {
      gainLabels_[band].remove_css_class(tone);
    }
    gainLabels_[band].add_css_class(gainToneClass(label.tone));
    setAccessibleLabel(gainLabels_[band], label.accessibilityLabel);
    bands_[band].set_value(gain);
    bands_[band].set_sensitive(enabled);
    bandLevels_[band].queue_draw();
  }
  if (errorRow_) {
    errorRow_->set_visible(equalizer_.errorMessage().has_value());
  }
  equalizerErrorText_.set_text(equalizer_.errorMessage().value_or(""));
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
