// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <functional>
#include <optional>
#include <vector>

#include "player/MediaTracks.h"

namespace orvel {

// The toolbar's playback options: volume, fullscreen, keep-on-top, the video zoom of an MKV,
// Stop & Delete File for a local file, and every command of the player with its key. It reports
// what the user asks for and shows what the toolbar hands it.
class PlaybackOptionsPopover final : public Gtk::Popover {
 public:
  struct Actions {
    std::function<void(double volume)> setVolume;
    std::function<void()> onFullscreen;
    std::function<void()> onAlwaysOnTop;
    std::function<void(double zoom)> onZoom;
    std::function<void(double rate)> onSpeed;
    std::function<void(std::optional<std::int64_t> id)> onAudioTrack;
    std::function<void(std::optional<std::int64_t> id)> onSubtitleTrack;
    std::function<void()> onDeleteFile;
    std::function<void()> onSaveFrame;
  };
  struct Shown {
    double volume = 1;
    bool isAlwaysOnTop = true;
    // Absent hides the zoom controls.
    std::optional<double> videoZoom;
    bool canDeleteFile = false;
    bool canSaveFrame = false;
    double speed = 1;
    // Empty hides the choice.
    std::vector<MediaTracks::Choice> audioTracks;
    std::vector<MediaTracks::Choice> subtitleTracks;
  };

  explicit PlaybackOptionsPopover(Actions actions);

  void update(const Shown& shown);
  // Absent hides "All Commands".
  void setCommandsMenu(const Glib::RefPtr<Gio::MenuModel>& menu);

 private:
  void buildVolume(Gtk::Box& box);
  void buildWindowButtons(Gtk::Box& box);
  void buildSpeed(Gtk::Box& box);
  // A labelled list of tracks; choosing one reports its ID.
  struct TrackChoice {
    Gtk::Box row{Gtk::Orientation::HORIZONTAL, 8};
    Gtk::DropDown list;
    std::vector<MediaTracks::Choice> shown;
  };
  void buildTracks(TrackChoice& choice, const Glib::ustring& name, const Glib::ustring& help,
                   const std::function<void(std::optional<std::int64_t>)>& action);
  void updateTracks(TrackChoice& choice, const std::vector<MediaTracks::Choice>& choices);
  void buildZoom();
  void buildDelete();
  void buildCommands(Gtk::Box& box);

  Actions actions_;
  bool updating_ = false;
  Gtk::Scale volume_;
  Gtk::CheckButton alwaysOnTop_;
  Gtk::Image pin_;
  Gtk::Button saveFrame_;
  Gtk::Label speedValue_;
  Gtk::Scale speed_;
  Gtk::Button speedReset_;
  Gtk::Box tracksSection_{Gtk::Orientation::VERTICAL, 8};
  TrackChoice audio_;
  TrackChoice subtitles_;
  Gtk::Box zoomSection_{Gtk::Orientation::VERTICAL, 8};
  Gtk::Label zoomValue_;
  Gtk::Scale zoom_;
  Gtk::Button zoomReset_;
  Gtk::Box deleteSection_{Gtk::Orientation::VERTICAL, 8};
  Gtk::MenuButton commands_;
};

}  // namespace orvel
