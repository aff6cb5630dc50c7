// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <string>

#include "platform/system/GObjectPtr.h"

namespace orvel {

// A label whose text shadow is drawn once for each text, size and state and then kept as a
// picture. GTK's Cairo renderer (used without a GPU) blurs a text shadow again in every frame
// that touches the label, and the title lies over the video, which every video frame touches:
// about 12 ms of the main loop per frame. With the GL renderer the label draws as any other.
class ShadowedLabel : public Gtk::Label {
 public:
  ShadowedLabel();
  ~ShadowedLabel() override;
  ShadowedLabel(const ShadowedLabel&) = delete;
  ShadowedLabel& operator=(const ShadowedLabel&) = delete;

 protected:
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;

 private:
  // Whether the kept picture is of what the label shows now; looked at in every frame, so it
  // compares in place and copies only when something changed.
  bool pictureIsCurrent() const;
  void rememberPicturedState();

  std::string text_;
  PangoFontDescription* font_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  GtkStateFlags state_{};
  GObjectPtr<GdkTexture> picture_;
  graphene_rect_t bounds_{};
  // The desktop's settings (font rendering, theme) draw the text too: a change of any of them
  // drops the picture.
  GtkSettings* settings_ = nullptr;
  gulong settingsChanged_ = 0;
};

}  // namespace orvel
