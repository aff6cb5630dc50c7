// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gio/gio.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel {

class BusObjectRegistration;

// A control of the player's windows that the user can see, where it is on screen in the X
// server's pixels.
struct ControlPlace {
  std::string name;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The controls the user sees in every window of the program, in the order of their windows and
// widget trees. A control is named by its accessible label, its help text and the text it shows;
// one with several names is listed once under each.
std::vector<ControlPlace> shownControls();

// Lists the shown controls on the bus, as com.example.OrvelPlayer.Controls.List at
// /com/example/OrvelPlayer/Controls: the end-to-end tests find what they click through it,
// wherever the window manager put a window. Exported by test builds only.
class ControlMapService {
 public:
  explicit ControlMapService(GDBusConnection* bus);
  ~ControlMapService();
  ControlMapService(const ControlMapService&) = delete;
  ControlMapService& operator=(const ControlMapService&) = delete;

 private:
  std::unique_ptr<BusObjectRegistration> object_;
};

}  // namespace orvel
