// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/ShadowedLabel.h"

#include <gsk/gskcairorenderer.h>

#include <cmath>

namespace orvel {

ShadowedLabel::ShadowedLabel() : settings_(gtk_widget_get_settings(GTK_WIDGET(gobj()))) {
  settingsChanged_ =
      g_signal_connect_swapped(settings_, "notify", G_CALLBACK(+[](ShadowedLabel* label) {
                                 label->picture_.reset();
                                 label->queue_draw();
                               }),
                               this);
}

ShadowedLabel::~ShadowedLabel() {
  g_signal_handler_disconnect(settings_, settingsChanged_);
  if (font_) {
    pango_font_description_free(font_);
  }
}

bool ShadowedLabel::pictureIsCurrent() const {
  GtkWidget* widget = GTK_WIDGET(const_cast<GtkLabel*>(gobj()));
  return picture_ && text_ == gtk_label_get_text(const_cast<GtkLabel*>(gobj())) && font_ &&
         pango_font_description_equal(
             font_, pango_context_get_font_description(gtk_widget_get_pango_context(widget))) &&
         width_ == get_width() && height_ == get_height() &&
         state_ == gtk_widget_get_state_flags(widget);
}

void ShadowedLabel::rememberPicturedState() {
  GtkWidget* widget = GTK_WIDGET(gobj());
  text_ = gtk_label_get_text(gobj());
  if (font_) {
    pango_font_description_free(font_);
  }
  font_ = pango_font_description_copy(
      pango_context_get_font_description(gtk_widget_get_pango_context(widget)));
  width_ = get_width();
  height_ = get_height();
  state_ = gtk_widget_get_state_flags(widget);
}

void ShadowedLabel::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  GtkNative* native = gtk_widget_get_native(GTK_WIDGET(gobj()));
  GskRenderer* renderer = native ? gtk_native_get_renderer(native) : nullptr;
  if (!renderer || !GSK_IS_CAIRO_RENDERER(renderer) || get_scale_factor() != 1) {
    picture_.reset();
    Gtk::Label::snapshot_vfunc(snapshot);
    return;
  }
  if (!pictureIsCurrent()) {
    picture_.reset();
    rememberPicturedState();
    const auto drawing = Gtk::Snapshot::create();
    Gtk::Label::snapshot_vfunc(drawing);
    GskRenderNode* node = gtk_snapshot_to_node(drawing->gobj());
    if (!node) {
      return;
    }
    graphene_rect_t bounds;
    gsk_render_node_get_bounds(node, &bounds);
    // Whole pixels, so that the picture lands on the pixels it was drawn for.
    const float left = std::floor(bounds.origin.x);
    const float top = std::floor(bounds.origin.y);
    graphene_rect_init(&bounds_, left, top, std::ceil(bounds.origin.x + bounds.size.width) - left,
                       std::ceil(bounds.origin.y + bounds.size.height) - top);
    if (bounds_.size.width > 0 && bounds_.size.height > 0) {
      picture_.reset(gsk_renderer_render_texture(renderer, node, &bounds_));
    }
    gsk_render_node_unref(node);
  }
  if (picture_) {
    gtk_snapshot_append_texture(snapshot->gobj(), picture_.get(), &bounds_);
  }
}

}  // namespace orvel
