// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvel {

// Builds the player window and wires its parts together: the session, both engines, the window
// behaviour and the view. One exists while the player window does.
class PlayerController {
 public:
  // `quit` ends the program; the controller calls it when the window closes.
  PlayerController(Gtk::Application& application, std::function<void()> quit);
  ~PlayerController();
  PlayerController(const PlayerController&) = delete;
  PlayerController& operator=(const PlayerController&) = delete;

  // Shows the window and starts playback: the given text when there is one, otherwise what the
  // store says (a pending request, the last URL, or a warm player page).
  void start(const std::optional<std::string>& openText);
  // Opens text handed over by a later launch.
  void open(const std::string& text);
  void applicationWillTerminate();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace orvel
