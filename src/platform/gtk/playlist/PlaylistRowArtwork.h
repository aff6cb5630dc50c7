// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <glibmm/extraclassinit.h>
#include <gtkmm.h>

#include <string>

#include "playlist/PlaylistMetadata.h"

namespace orvel {

// Makes the artwork a picture to assistive technologies, as an image widget is.
class PictureRole : public Glib::ExtraClassInit {
 protected:
  PictureRole();
};

// The artwork of a content row in one widget: the thumbnail, cut to the frame as a cover is, or
// else the item's symbol, and over either the marker in the lower corner, both symbols in the
// widget's colour. A row is made each time one scrolls into a list that grew, so it holds as few
// widgets as it can.
class PlaylistRowArtwork : public PictureRole, public Gtk::Widget {
 public:
  PlaylistRowArtwork();

  // The picture wins over the symbol; an empty marker draws none.
  void show(PlaylistMetadata::Image image, const std::string& symbol, const std::string& marker);

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void measure_vfunc(Gtk::Orientation orientation, int, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override;
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

 private:
  static constexpr int kWidth = 64;
  static constexpr int kHeight = 36;
  static constexpr int kSymbolSize = 20;
  static constexpr int kMarkerSize = 14;
  static constexpr int kMarkerMargin = 2;

  // A symbolic icon of the theme, looked up again only when its name or the scale changes.
  struct Symbol {
    explicit Symbol(int pixels) : size(pixels) {}

    int size;
    int scale = 0;
    std::string name;
    Glib::RefPtr<Gtk::IconPaintable> icon;

    void lookUp(Gtk::Widget& widget, const std::string& wanted);
    void followScale(Gtk::Widget& widget);
    void load(Gtk::Widget& widget);
    void draw(const Glib::RefPtr<Gtk::Snapshot>& snapshot, float x, float y,
              const GdkRGBA& color) const;
  };

  void drawImage(const Glib::RefPtr<Gtk::Snapshot>& snapshot, int width, int height);

  // Keeps the picture drawn alive while the metadata may replace it.
  PlaylistMetadata::Image image_;
  Symbol symbol_{kSymbolSize};
  Symbol marker_{kMarkerSize};
};

}  // namespace orvel
