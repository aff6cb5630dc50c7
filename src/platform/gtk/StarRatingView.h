// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <array>
#include <functional>

namespace orvel {

// Five stars in a row; choosing star n gives n (choosing the current one gives it again, and no
// star gives 0). Each star is a button, reachable by keyboard.
class StarRatingView final : public Gtk::Box {
 public:
  explicit StarRatingView(std::function<void(int stars)> onSelect);

  void setRating(int rating);
  int rating() const { return rating_; }

  // "Set watch later priority: 3 stars"
  static std::string help(int stars);

 private:
  std::function<void(int)> onSelect_;
  std::array<Gtk::Button, 5> stars_;
  int rating_ = -1;
};

}  // namespace orvel
