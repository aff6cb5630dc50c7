// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/playlist/PlaylistRowArtwork.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>

namespace orvel {

PictureRole::PictureRole()
    : Glib::ExtraClassInit([](void* type, void*) {
        gtk_widget_class_set_accessible_role(GTK_WIDGET_CLASS(type), GTK_ACCESSIBLE_ROLE_IMG);
      }) {}

PlaylistRowArtwork::PlaylistRowArtwork() : Glib::ObjectBase("OrvelRowArtwork") {
  add_css_class("orvel-playlist-artwork");
  set_overflow(Gtk::Overflow::HIDDEN);
}

void PlaylistRowArtwork::show(PlaylistMetadata::Image image, const std::string& symbol,
                              const std::string& marker) {
  image_ = std::move(image);
  if (!image_) {
    symbol_.lookUp(*this, symbol);
  }
  marker_.lookUp(*this, marker);
  queue_draw();
}

Gtk::SizeRequestMode PlaylistRowArtwork::get_request_mode_vfunc() const {
  return Gtk::SizeRequestMode::CONSTANT_SIZE;
}

void PlaylistRowArtwork::measure_vfunc(Gtk::Orientation orientation, int, int& minimum,
                                       int& natural, int& minimumBaseline,
                                       int& naturalBaseline) const {
  minimum = natural = orientation == Gtk::Orientation::HORIZONTAL ? kWidth : kHeight;
  minimumBaseline = naturalBaseline = -1;
}

void PlaylistRowArtwork::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  const int width = get_width();
  const int height = get_height();
  // Moved to a screen of another scale, the symbols are looked up again at the new one.
  symbol_.followScale(*this);
  marker_.followScale(*this);
  GdkRGBA color;
  gtk_style_context_get_color(gtk_widget_get_style_context(gobj()), &color);
  if (image_) {
    drawImage(snapshot, width, height);
  } else {
    symbol_.draw(snapshot, (width - kSymbolSize) / 2.0f, (height - kSymbolSize) / 2.0f, color);
  }
  // The marker stands out from any picture by its shadow; it sits in the lower corner on the
  // side the text ends.
  const GskShadow shadow{{0, 0, 0, 0.9f}, 0, 1, 2};
  const bool rightToLeft = get_direction() == Gtk::TextDirection::RTL;
  gtk_snapshot_push_shadow(snapshot->gobj(), &shadow, 1);
  marker_.draw(
      snapshot,
      static_cast<float>(rightToLeft ? kMarkerMargin : width - kMarkerSize - kMarkerMargin),
      static_cast<float>(height - kMarkerSize - kMarkerMargin), color);
  gtk_snapshot_pop(snapshot->gobj());
}

void PlaylistRowArtwork::Symbol::lookUp(Gtk::Widget& widget, const std::string& wanted) {
  if (wanted != name || widget.get_scale_factor() != scale) {
    name = wanted;
    load(widget);
  }
}

void PlaylistRowArtwork::Symbol::followScale(Gtk::Widget& widget) {
  if (widget.get_scale_factor() != scale) {
    load(widget);
  }
}

void PlaylistRowArtwork::Symbol::load(Gtk::Widget& widget) {
  scale = widget.get_scale_factor();
  icon = name.empty() ? nullptr
                      : Gtk::IconTheme::get_for_display(widget.get_display())
                            ->lookup_icon(name, size, scale, widget.get_direction());
}

void PlaylistRowArtwork::Symbol::draw(const Glib::RefPtr<Gtk::Snapshot>& snapshot, float x, float y,
                                      const GdkRGBA& color) const {
  if (!icon) {
    return;
  }
  const graphene_point_t origin = GRAPHENE_POINT_INIT(x, y);
  gtk_snapshot_save(snapshot->gobj());
  gtk_snapshot_translate(snapshot->gobj(), &origin);
  gtk_symbolic_paintable_snapshot_symbolic(GTK_SYMBOLIC_PAINTABLE(icon->gobj()), snapshot->gobj(),
                                           size, size, &color, 1);
  gtk_snapshot_restore(snapshot->gobj());
}

void PlaylistRowArtwork::drawImage(const Glib::RefPtr<Gtk::Snapshot>& snapshot, int width,
                                   int height) {
  auto* pixbuf = static_cast<GdkPixbuf*>(const_cast<void*>(image_.get()));
  const double imageWidth = gdk_pixbuf_get_width(pixbuf);
  const double imageHeight = gdk_pixbuf_get_height(pixbuf);
  if (imageWidth <= 0 || imageHeight <= 0 || width <= 0 || height <= 0) {
    return;
  }
  const auto cairo = snapshot->append_cairo(Gdk::Rectangle(0, 0, width, height));
  const double scale = std::max(width / imageWidth, height / imageHeight);
  cairo->translate((width - imageWidth * scale) / 2, (height - imageHeight * scale) / 2);
  cairo->scale(scale, scale);
  gdk_cairo_set_source_pixbuf(cairo->cobj(), pixbuf, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cairo->cobj()), CAIRO_FILTER_GOOD);
  cairo->paint();
}

}  // namespace orvel
