// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/toolbar/PlaybackOptionsPopover.h"

#include <algorithm>
#include <cmath>

#include "chrome/PlayerToolbarValues.h"
#include "core/Translation.h"
#include "platform/gtk/toolbar/ToolbarWidgets.h"
#include "player/PlaybackSpeed.h"

namespace orvel {
namespace {

// Calls the action if there is one.
template <typename... Arguments>
void call(const std::function<void(Arguments...)>& action, Arguments... arguments) {
  if (action) {
    action(arguments...);
  }
}

// Labels of a track list, cut at the end past `widest` characters: a film's own titles can be
// long, and the options keep their width.
Glib::RefPtr<Gtk::ListItemFactory> trackLabels(int widest) {
  auto factory = Gtk::SignalListItemFactory::create();
  factory->signal_setup().connect([widest](const Glib::RefPtr<Gtk::ListItem>& item) {
    auto* label = Gtk::make_managed<Gtk::Label>();
    label->set_ellipsize(Pango::EllipsizeMode::END);
    label->set_max_width_chars(widest);
    label->set_xalign(0);
    item->set_child(*label);
  });
  factory->signal_bind().connect([](const Glib::RefPtr<Gtk::ListItem>& item) {
    auto* label = dynamic_cast<Gtk::Label*>(item->get_child());
    auto text = std::dynamic_pointer_cast<Gtk::StringObject>(item->get_item());
    if (label && text) {
      label->set_text(text->get_string());
    }
  });
  return factory;
}

}  // namespace

PlaybackOptionsPopover::PlaybackOptionsPopover(Actions actions) : actions_(std::move(actions)) {
  add_css_class("orvel-popover");
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 12);
  box->set_size_request(320, -1);
  box->append(makeToolbarLabel(_("Playback"), "orvel-headline"));
  buildVolume(*box);
  box->append(*Gtk::make_managed<Gtk::Separator>());
  buildWindowButtons(*box);
  box->append(*Gtk::make_managed<Gtk::Separator>());
  buildSpeed(*box);
  tracksSection_.append(*Gtk::make_managed<Gtk::Separator>());
  buildTracks(audio_, _("Audio"), _("The audio track that plays"), actions_.onAudioTrack);
  buildTracks(subtitles_, _("Subtitles"), _("The subtitles shown over the video"),
              actions_.onSubtitleTrack);
  box->append(tracksSection_);
  buildZoom();
  box->append(zoomSection_);
  buildDelete();
  box->append(deleteSection_);
  buildCommands(*box);
  set_child(*box);
}

void PlaybackOptionsPopover::buildVolume(Gtk::Box& box) {
  auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  auto& label = makeToolbarLabel(_("Volume"), "orvel-body");
  label.set_hexpand(true);
  configureVolumeSlider(volume_);
  volume_.signal_value_changed().connect([this] {
    if (!updating_) {
      call(actions_.setVolume, volume_.get_value());
    }
  });
  row->append(label);
  row->append(volume_);
  box.append(*row);
}

void PlaybackOptionsPopover::buildWindowButtons(Gtk::Box& box) {
  auto* fullscreen = Gtk::make_managed<Gtk::Button>();
  auto* content = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  auto* icon = Gtk::make_managed<Gtk::Image>();
  icon->set_from_icon_name(iconName("arrow.up.left.and.arrow.down.right"));
  content->append(*icon);
  content->append(*Gtk::make_managed<Gtk::Label>(_("Toggle fullscreen")));
  fullscreen->set_child(*content);
  setAccessibleLabel(*fullscreen, _("Toggle fullscreen"));
  fullscreen->set_has_frame(false);
  fullscreen->add_css_class("orvel-row-button");
  fullscreen->signal_clicked().connect([this] { call(actions_.onFullscreen); });
  box.append(*fullscreen);

  // The toggle shows the switch's state; a click asks for the change and never sets it itself.
  auto* pinRow = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  pin_.set_from_icon_name(iconName("pin.fill"));
  alwaysOnTop_.set_label(_("Always on top"));
  alwaysOnTop_.signal_toggled().connect([this] {
    if (!updating_) {
      call(actions_.onAlwaysOnTop);
    }
  });
  pinRow->append(pin_);
  pinRow->append(alwaysOnTop_);
  box.append(*pinRow);

  auto* frameContent = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  auto* camera = Gtk::make_managed<Gtk::Image>();
  camera->set_from_icon_name(iconName("camera"));
  frameContent->append(*camera);
  frameContent->append(*Gtk::make_managed<Gtk::Label>(_("Save Frame")));
  saveFrame_.set_child(*frameContent);
  describe(saveFrame_, _("Save Frame"),
           _("Save the picture as a PNG in the Pictures folder (Ctrl+S)"));
  saveFrame_.set_has_frame(false);
  saveFrame_.add_css_class("orvel-row-button");
  saveFrame_.signal_clicked().connect([this] { call(actions_.onSaveFrame); });
  box.append(saveFrame_);
}

// The slider runs over the steps people choose from, one notch each.
void PlaybackOptionsPopover::buildSpeed(Gtk::Box& box) {
  auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  auto& label = makeToolbarLabel(_("Speed"), "orvel-body");
  label.set_hexpand(true);
  speedValue_.add_css_class("orvel-time");
  row->append(label);
  row->append(speedValue_);
  box.append(*row);
  const auto last = static_cast<double>(PlaybackSpeed::kSteps.size() - 1);
  speed_.set_range(0, last);
  speed_.set_increments(1, 1);
  speed_.set_digits(0);
  speed_.set_round_digits(0);
  speed_.set_draw_value(false);
  for (std::size_t step = 0; step < PlaybackSpeed::kSteps.size(); ++step) {
    speed_.add_mark(static_cast<double>(step), Gtk::PositionType::BOTTOM, "");
  }
  speed_.add_css_class("orvel-seek");
  describe(speed_, _("Playback speed"), _("Playback speed"));
  speed_.signal_value_changed().connect([this, last] {
    if (updating_) {
      return;
    }
    const auto step =
        static_cast<std::size_t>(std::clamp(std::round(speed_.get_value()), 0.0, last));
    speedValue_.set_text(PlaybackSpeed::label(PlaybackSpeed::kSteps[step]));
    call(actions_.onSpeed, PlaybackSpeed::kSteps[step]);
  });
  box.append(speed_);
  speedReset_.set_label(_("Reset to 1×"));
  speedReset_.set_halign(Gtk::Align::START);
  speedReset_.signal_clicked().connect([this] { call(actions_.onSpeed, 1.0); });
  box.append(speedReset_);
}

void PlaybackOptionsPopover::buildTracks(
    TrackChoice& choice, const Glib::ustring& name, const Glib::ustring& help,
    const std::function<void(std::optional<std::int64_t>)>& action) {
  auto& label = makeToolbarLabel(name, "orvel-body");
  label.set_hexpand(true);
  choice.list.set_model(Gtk::StringList::create({}));
  choice.list.set_factory(trackLabels(18));
  choice.list.set_list_factory(trackLabels(40));
  choice.list.set_size_request(190, -1);
  describe(choice.list, name, help);
  choice.list.property_selected().signal_changed().connect([this, &choice, action] {
    const guint selected = choice.list.get_selected();
    if (updating_ || selected >= choice.shown.size() || choice.shown[selected].selected) {
      return;
    }
    call(action, choice.shown[selected].id);
  });
  choice.row.append(label);
  choice.row.append(choice.list);
  choice.row.set_visible(false);
  tracksSection_.append(choice.row);
}

void PlaybackOptionsPopover::updateTracks(TrackChoice& choice,
                                          const std::vector<MediaTracks::Choice>& choices) {
  choice.row.set_visible(!choices.empty());
  if (choice.shown == choices) {
    return;
  }
  std::vector<Glib::ustring> labels;
  guint selected = GTK_INVALID_LIST_POSITION;
  for (const MediaTracks::Choice& entry : choices) {
    if (entry.selected) {
      selected = static_cast<guint>(labels.size());
    }
    labels.emplace_back(entry.label);
  }
  // The list is replaced only when the tracks changed: a rebuilt model would close an open list.
  if (choice.shown.size() != choices.size() ||
      !std::equal(
          choices.begin(), choices.end(), choice.shown.begin(),
          [](const auto& a, const auto& b) { return a.id == b.id && a.label == b.label; })) {
    choice.list.set_model(Gtk::StringList::create(labels));
  }
  choice.shown = choices;
  choice.list.set_selected(selected);
}

void PlaybackOptionsPopover::buildZoom() {
  zoomSection_.append(*Gtk::make_managed<Gtk::Separator>());
  auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  auto& label = makeToolbarLabel(_("Video zoom"), "orvel-body");
  label.set_hexpand(true);
  zoomValue_.add_css_class("orvel-time");
  row->append(label);
  row->append(zoomValue_);
  zoomSection_.append(*row);
  zoom_.set_range(1, 3);
  zoom_.set_increments(0.05, 0.25);
  zoom_.set_digits(2);
  zoom_.set_round_digits(2);
  zoom_.set_draw_value(false);
  zoom_.add_css_class("orvel-seek");
  describe(zoom_, _("Video zoom"), _("Video zoom"));
  zoom_.signal_value_changed().connect([this] {
    if (updating_) {
      return;
    }
    // Steps of 0.05 between 1 and 3.
    const double stepped = std::clamp(std::round(zoom_.get_value() * 20) / 20, 1.0, 3.0);
    zoomValue_.set_text(PlayerToolbarValues::zoomPercent(stepped));
    call(actions_.onZoom, stepped);
  });
  zoomSection_.append(zoom_);
  zoomReset_.set_label(_("Reset to 100%"));
  zoomReset_.set_halign(Gtk::Align::START);
  zoomReset_.signal_clicked().connect([this] { call(actions_.onZoom, 1.0); });
  zoomSection_.append(zoomReset_);
}

void PlaybackOptionsPopover::buildDelete() {
  deleteSection_.append(*Gtk::make_managed<Gtk::Separator>());
  auto* deleteFile = Gtk::make_managed<Gtk::Button>(_("Stop & Delete File"));
  deleteFile->add_css_class("destructive-action");
  deleteFile->set_halign(Gtk::Align::START);
  // The popover goes first: a dialog shown while it still holds the pointer would lose its first
  // click to closing the popover.
  deleteFile->signal_clicked().connect([this] {
    popdown();
    Glib::signal_idle().connect_once([this] { call(actions_.onDeleteFile); });
  });
  deleteSection_.append(*deleteFile);
}

// Every command of the player with its key, for those who look for them with the mouse.
void PlaybackOptionsPopover::buildCommands(Gtk::Box& box) {
  box.append(*Gtk::make_managed<Gtk::Separator>());
  commands_.set_label(_("All Commands"));
  commands_.set_has_frame(false);
  commands_.set_halign(Gtk::Align::START);
  commands_.add_css_class("orvel-row-button");
  describe(commands_, _("All Commands"), _("The player's commands and their keys"));
  commands_.set_visible(false);
  box.append(commands_);
}

void PlaybackOptionsPopover::setCommandsMenu(const Glib::RefPtr<Gio::MenuModel>& menu) {
  commands_.set_menu_model(menu);
  commands_.set_visible(static_cast<bool>(menu));
}

void PlaybackOptionsPopover::update(const Shown& shown) {
  updating_ = true;
  volume_.set_value(shown.volume);
  alwaysOnTop_.set_active(shown.isAlwaysOnTop);
  setClass(pin_, "orvel-accent", shown.isAlwaysOnTop);
  zoomSection_.set_visible(shown.videoZoom.has_value());
  if (shown.videoZoom) {
    zoom_.set_value(*shown.videoZoom);
    zoomValue_.set_text(PlayerToolbarValues::zoomPercent(*shown.videoZoom));
    zoomReset_.set_sensitive(*shown.videoZoom != 1.0);
  }
  speed_.set_value(static_cast<double>(PlaybackSpeed::nearestStep(shown.speed)));
  speedValue_.set_text(PlaybackSpeed::label(shown.speed));
  speedReset_.set_sensitive(shown.speed != 1.0);
  updateTracks(audio_, shown.audioTracks);
  updateTracks(subtitles_, shown.subtitleTracks);
  tracksSection_.set_visible(!shown.audioTracks.empty() || !shown.subtitleTracks.empty());
  deleteSection_.set_visible(shown.canDeleteFile);
  saveFrame_.set_visible(shown.canSaveFrame);
  updating_ = false;
}

}  // namespace orvel
