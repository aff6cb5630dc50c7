// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <functional>

#include "app/Feedback.h"
#include "platform/gtk/StarRatingView.h"
#include "platform/gtk/X11Frames.h"
#include "settings/AppSettings.h"

namespace orvel {

// The "Send Feedback" window: the Resend API key, the kind (a star survey or a written
// message), the message, the result of the last send, and "Send Feedback" (Ctrl+Return).
class FeedbackWindow {
 public:
  FeedbackWindow(AppSettings& settings, FeedbackTransport& transport);
  ~FeedbackWindow();
  FeedbackWindow(const FeedbackWindow&) = delete;
  FeedbackWindow& operator=(const FeedbackWindow&) = delete;

  void present();
  Gtk::Window& window() { return window_; }

 private:
  void build();
  void buildKey(Gtk::Box& root);
  void buildKind(Gtk::Box& root);
  void buildFields(Gtk::Box& root);
  void buildSending(Gtk::Box& root);
  void refresh();
  void send();

  AppSettings& settings_;
  FeedbackForm form_;
  Gtk::Window window_;
  // Kept whole on its screen each time it shows.
  ScreenKeeping onScreen_{window_};
  Gtk::PasswordEntry key_;
  Gtk::ToggleButton survey_;
  Gtk::ToggleButton written_;
  StarRatingView stars_;
  Gtk::Box surveyRow_{Gtk::Orientation::HORIZONTAL, 8};
  Gtk::Box subjectRow_{Gtk::Orientation::HORIZONTAL, 8};
  Gtk::Entry subject_;
  Gtk::ScrolledWindow messageScroller_;
  Gtk::TextView message_;
  Gtk::Label status_;
  Gtk::Button send_;
  bool refreshing_ = false;
};

}  // namespace orvel
