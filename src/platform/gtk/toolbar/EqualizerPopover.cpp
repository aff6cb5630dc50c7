// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/toolbar/EqualizerPopover.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "chrome/PlayerChrome.h"
#include "chrome/PlayerToolbarValues.h"
#include "core/Translation.h"
#include "platform/gtk/toolbar/ToolbarWidgets.h"

namespace orvel {
namespace {

namespace Values = PlayerToolbarValues;

Gtk::Box& symbolLabel(std::string_view symbol, Gtk::Label& text, const char* cssClass) {
  auto* row = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 6);
  row->add_css_class(cssClass);
  auto* icon = Gtk::make_managed<Gtk::Image>();
  icon->set_from_icon_name(std::string(PlayerSymbols::iconName(symbol)));
  icon->set_valign(Gtk::Align::START);
  text.set_wrap(true);
  text.set_xalign(0);
  text.set_hexpand(true);
  row->append(*icon);
  row->append(text);
  return *row;
}

std::string gainToneClass(Values::GainLabel::Tone tone) {
  switch (tone) {
    case Values::GainLabel::Tone::accent:
      return "orvel-gain-accent";
    case Values::GainLabel::Tone::dimmed:
      return "orvel-gain-dimmed";
    case Values::GainLabel::Tone::zero:
      break;
  }
  return "orvel-gain-zero";
}

}  // namespace

EqualizerPopover::EqualizerPopover(PlayerEqualizer& equalizer) : equalizer_(equalizer) {
  add_css_class("orvel-popover");
  add_css_class("orvel-equalizer");
  auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 12);
  box->set_size_request(400, -1);
  box->append(buildHeader());
  box->append(*Gtk::make_managed<Gtk::Separator>());
  box->append(buildBands());
  box->append(*Gtk::make_managed<Gtk::Separator>());
  box->append(buildFooter());
  set_child(*box);
  changes_ = equalizer_.observeChanges([this] { update(); });
  update();
}

Gtk::Box& EqualizerPopover::buildHeader() {
  auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 10);
  icon_.add_css_class("orvel-eq-icon");
  icon_.set_size_request(32, 32);
  icon_.set_halign(Gtk::Align::START);
  icon_.set_valign(Gtk::Align::CENTER);
  auto* icon = Gtk::make_managed<Gtk::Image>();
  icon->set_from_icon_name(std::string(PlayerSymbols::iconName("slider.vertical.3")));
  icon->set_size_request(32, 32);
  icon_.append(*icon);
  auto* titles = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 1);
  titles->append(makeToolbarLabel(_("Equalizer"), "orvel-headline"));
  titles->append(makeToolbarLabel(_("7 bands · ±12 dB"), "orvel-caption"));
  titles->set_hexpand(true);
  titles->set_valign(Gtk::Align::CENTER);
  reset_.set_label(_("Reset"));
  reset_.set_has_frame(false);
  reset_.add_css_class("orvel-eq-reset");
  reset_.set_valign(Gtk::Align::CENTER);
  describe(reset_, _("Reset equalizer bands"), _("Reset every band to 0 dB"));
  reset_.signal_clicked().connect([this] { equalizer_.resetGains(); });
  switch_.set_valign(Gtk::Align::CENTER);
  describe(switch_, _("Enable equalizer"), _("Enable equalizer"));
  switch_.property_active().signal_changed().connect([this] {
    if (!updating_) {
      equalizer_.setEnabled(switch_.get_active());
    }
  });
  header->append(icon_);
  header->append(*titles);
  header->append(reset_);
  header->append(switch_);
  return *header;
}

Gtk::Box& EqualizerPopover::buildBands() {
  auto* bandsRow = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  bandsRow->set_homogeneous(true);
  for (std::size_t band = 0; band < PlayerEQBands::count; ++band) {
    auto* column = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 7);
    column->set_size_request(44, -1);
    gainLabels_[band].add_css_class("orvel-gain");
    gainLabels_[band].set_size_request(-1, 14);

    Gtk::Scale& slider = bands_[band];
    slider.set_orientation(Gtk::Orientation::VERTICAL);
    slider.set_inverted(true);
    slider.set_range(-12, 12);
    slider.set_increments(1, 3);
    slider.set_draw_value(false);
    slider.set_has_origin(false);
    slider.add_css_class("orvel-band");
    slider.set_size_request(28, 132);
    slider.set_halign(Gtk::Align::CENTER);
    const std::string name(PlayerEQBands::labels[band]);
    const std::string gain = formatted(_("%s gain in decibels"), {name});
    describe(slider, gain, gain);
    slider.signal_value_changed().connect([this, band] {
      bandLevels_[band].queue_draw();
      if (!updating_) {
        equalizer_.setGain(bands_[band].get_value(), band);
      }
    });
    // The track, the level from 0 dB and the scale are drawn behind the slider, which keeps
    // the knob, the keyboard and what assistive technologies read.
    bandLevels_[band].set_draw_func(
        [this, band](const Cairo::RefPtr<Cairo::Context>& cairo, int width, int height) {
          drawBandLevel(band, cairo, width, height);
        });
    bandLevels_[band].set_can_target(false);
    auto* stack = Gtk::make_managed<Gtk::Overlay>();
    stack->set_child(bandLevels_[band]);
    stack->add_overlay(slider);
    stack->set_size_request(28, 132);
    stack->set_halign(Gtk::Align::CENTER);

    auto* bandLabel = Gtk::make_managed<Gtk::Label>(name);
    bandLabel->add_css_class("orvel-band-label");
    column->append(gainLabels_[band]);
    column->append(*stack);
    column->append(*bandLabel);
    bandsRow->append(*column);
  }
  return *bandsRow;
}

Gtk::Box& EqualizerPopover::buildFooter() {
  auto* footer = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 6);
  auto* note = Gtk::make_managed<Gtk::Label>(
      _("Orvel player only; YouTube may ask for audio capture permission"));
  footer->append(symbolLabel("waveform", *note, "orvel-eq-note"));
  errorRow_ = &symbolLabel("exclamationmark.triangle.fill", errorText_, "orvel-eq-error");
  errorRow_->set_visible(false);
  footer->append(*errorRow_);
  return *footer;
}

void EqualizerPopover::drawBandLevel(std::size_t band, const Cairo::RefPtr<Cairo::Context>& cairo,
                                     int width, int height) {
  const bool enabled = equalizer_.isEnabled();
  const double centre = width / 2.0;
  const double top = 8;
  const double trackHeight = std::max(0.0, height - 16.0);
  auto roundedBar = [&](double x, double y, double w, double h, double radius) {
    cairo->begin_new_sub_path();
    cairo->arc(x + w - radius, y + radius, radius, -M_PI / 2, 0);
    cairo->arc(x + w - radius, y + h - radius, radius, 0, M_PI / 2);
    cairo->arc(x + radius, y + h - radius, radius, M_PI / 2, M_PI);
    cairo->arc(x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo->close_path();
  };
  // Track.
  cairo->set_source_rgba(1, 1, 1, enabled ? 0.2 : 0.1);
  roundedBar(centre - 1.5, top, 3, trackHeight, 1.5);
  cairo->fill();
  // Scale: a tick every 2 dB, wider and brighter at 0 dB.
  for (int step = 0; step <= 12; ++step) {
    const double y = top + trackHeight * step / 12.0;
    const bool middle = step == 6;
    cairo->set_line_width(middle ? 1.5 : 1);
    cairo->set_source_rgba(1, 1, 1, enabled ? (middle ? 0.38 : 0.16) : 0.08);
    const double outer = middle ? 9 : 8;
    cairo->move_to(centre - outer, y);
    cairo->line_to(centre - 4, y);
    cairo->move_to(centre + 4, y);
    cairo->line_to(centre + outer, y);
    cairo->stroke();
  }
  // Level, from 0 dB to the gain (the top is +12 dB).
  const double value = bands_[band].get_value();
  const double fraction = (value + 12) / 24;
  const double level = top + trackHeight * (1 - fraction);
  const double middle = top + trackHeight / 2;
  const double from = std::min(level, middle);
  const double to = std::max(level, middle);
  const auto& accent = PlayerChrome::accent;
  cairo->set_source_rgba(accent.red, accent.green, accent.blue, enabled ? 0.9 : 0.25);
  cairo->rectangle(centre - 1.5, from, 3, std::max(1.0, to - from));
  cairo->fill();
}

void EqualizerPopover::update() {
  updating_ = true;
  const bool enabled = equalizer_.isEnabled();
  switch_.set_active(enabled);
  gtk_accessible_update_state(
      GTK_ACCESSIBLE(switch_.gobj()), GTK_ACCESSIBLE_STATE_CHECKED,
      enabled ? GTK_ACCESSIBLE_TRISTATE_TRUE : GTK_ACCESSIBLE_TRISTATE_FALSE, -1);
  setClass(icon_, "orvel-enabled", enabled);
  const auto& gains = equalizer_.gains();
  const bool anyGain = std::any_of(gains.begin(), gains.end(), [](double g) { return g != 0; });
  reset_.set_sensitive(anyGain);
  for (std::size_t band = 0; band < PlayerEQBands::count; ++band) {
    const double gain = band < gains.size() ? gains[band] : 0;
    const auto label = Values::gainLabel(gain, enabled);
    gainLabels_[band].set_text(label.text);
    for (const char* tone : {"orvel-gain-accent", "orvel-gain-dimmed", "orvel-gain-zero"}) {
      gainLabels_[band].remove_css_class(tone);
    }
    gainLabels_[band].add_css_class(gainToneClass(label.tone));
    setAccessibleLabel(gainLabels_[band], label.accessibilityLabel);
    bands_[band].set_value(gain);
    bands_[band].set_sensitive(enabled);
    bandLevels_[band].queue_draw();
  }
  if (errorRow_) {
    errorRow_->set_visible(equalizer_.errorMessage().has_value());
  }
  errorText_.set_text(equalizer_.errorMessage().value_or(""));
  updating_ = false;
}

}  // namespace orvel
