// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/StarRatingView.h"

#include "chrome/PlayerSymbols.h"
#include "core/Translation.h"
#include "platform/gtk/WidgetHelpers.h"

namespace orvel {

StarRatingView::StarRatingView(std::function<void(int)> onSelect)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 2), onSelect_(std::move(onSelect)) {
  add_css_class("orvel-stars");
  for (int star = 1; star <= 5; ++star) {
    Gtk::Button& button = stars_[static_cast<std::size_t>(star - 1)];
    button.set_has_frame(false);
    button.add_css_class("orvel-star");
    describe(button, help(star), help(star));
    button.signal_clicked().connect([this, star] {
      if (onSelect_) {
        onSelect_(star);
      }
    });
    append(button);
  }
  setRating(0);
}

std::string StarRatingView::help(int stars) {
  return formatted(P_("Set watch later priority: %s star", "Set watch later priority: %s stars",
                      static_cast<unsigned long>(stars)),
                   {std::to_string(stars)});
}

void StarRatingView::setRating(int rating) {
  if (rating == rating_) {
    return;
  }
  rating_ = rating;
  for (int star = 1; star <= 5; ++star) {
    Gtk::Button& button = stars_[static_cast<std::size_t>(star - 1)];
    const bool filled = star <= rating;
    button.set_icon_name(std::string(PlayerSymbols::iconName(filled ? "star.fill" : "star")));
    setClass(button, "orvel-star-filled", filled);
    setPressed(button, filled);
  }
  setAccessibleLabel(*this,
                     formatted(_("Watch later priority: %s of 5 stars"), {std::to_string(rating)}));
}

}  // namespace orvel
