// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <array>

#include "core/ObserverList.h"
#include "native/PlayerEQBands.h"
#include "native/PlayerEqualizer.h"

namespace orvel {

// The toolbar's equalizer popover: the switch, Reset, a slider and its level per band, and the
// route's error. It edits the equalizer model directly and follows its changes.
class EqualizerPopover final : public Gtk::Popover {
 public:
  explicit EqualizerPopover(PlayerEqualizer& equalizer);

 private:
  Gtk::Box& buildHeader();
  Gtk::Box& buildBands();
  Gtk::Box& buildFooter();
  void update();
  void drawBandLevel(std::size_t band, const Cairo::RefPtr<Cairo::Context>& cairo, int width,
                     int height);

  PlayerEqualizer& equalizer_;
  bool updating_ = false;
  Gtk::Box icon_;
  Gtk::Button reset_;
  Gtk::Switch switch_;
  std::array<Gtk::Label, PlayerEQBands::count> gainLabels_;
  std::array<Gtk::Scale, PlayerEQBands::count> bands_;
  std::array<Gtk::DrawingArea, PlayerEQBands::count> bandLevels_;
  Gtk::Box* errorRow_ = nullptr;
  Gtk::Label errorText_;
  ObserverToken changes_;
};

}  // namespace orvel
