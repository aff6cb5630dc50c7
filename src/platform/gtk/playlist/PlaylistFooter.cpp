// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/playlist/PlaylistFooter.h"

#include "core/Translation.h"
#include "platform/gtk/WidgetHelpers.h"

namespace orvel {
namespace {

void makeIconButton(Gtk::Button& button, std::string_view symbol, const std::string& label,
                    const std::string& help) {
  button.set_icon_name(iconName(symbol));
  button.set_has_frame(false);
  describe(button, label, help);
}

}  // namespace

PlaylistFooter::PlaylistFooter(PlaylistView& model, Gio::SimpleActionGroup& actions,
                               std::function<void()> onDone)
    : model_(model), onDone_(std::move(onDone)) {
  footer_.add_css_class("orvel-playlist-footer");
  buildEditButtons();
  auto* gap = Gtk::make_managed<Gtk::Separator>(Gtk::Orientation::VERTICAL);
  gap->set_margin_start(6);
  gap->set_margin_end(6);
  footer_.append(*gap);
  buildPlayButtons(actions);
  selectedCount_.set_hexpand(true);
  selectedCount_.set_xalign(1);
  selectedCount_.add_css_class("orvel-playlist-summary");
  footer_.append(selectedCount_);
  done_.set_label(_("Done"));
  done_.signal_clicked().connect([this] {
    if (onDone_) {
      onDone_();
    }
  });
  footer_.append(done_);
}

void PlaylistFooter::buildEditButtons() {
  makeIconButton(remove_, "minus", _("Remove from Playlist"),
                 _("Remove selection from playlist (Delete)"));
  remove_.signal_clicked().connect([this] { model_.remove(model_.selection()); });
  makeIconButton(moveUp_, "chevron.up", _("Move selection up"), _("Move selection up"));
  moveUp_.signal_clicked().connect([this] { model_.move(-1); });
  makeIconButton(moveDown_, "chevron.down", _("Move selection down"), _("Move selection down"));
  moveDown_.signal_clicked().connect([this] { model_.move(1); });
  for (Gtk::Button* button : {&remove_, &moveUp_, &moveDown_}) {
    footer_.append(*button);
  }
}

void PlaylistFooter::buildPlayButtons(Gio::SimpleActionGroup& actions) {
  play_.set_label(_("Play"));
  play_.add_css_class("suggested-action");
  play_.signal_clicked().connect([this] { model_.playScope(); });
  footer_.append(play_);
  repeat_.set_has_frame(false);
  repeat_.signal_clicked().connect([this] { model_.cycleRepeat(); });
  footer_.append(repeat_);
  actions.add_action("shuffle-all", [this] { model_.shuffleAll(); });
  shuffleRemaining_ =
      actions.add_action("shuffle-remaining", [this] { model_.shuffleRemaining(); });
  auto shuffleMenu = Gio::Menu::create();
  shuffleMenu->append(_("Shuffle all videos"), "panel.shuffle-all");
  shuffleMenu->append(_("Shuffle remaining videos"), "panel.shuffle-remaining");
  shuffle_.set_menu_model(shuffleMenu);
  shuffle_.set_label(_("Shuffle"));
  shuffle_.set_icon_name(iconName("shuffle"));
  shuffle_.set_has_frame(false);
  shuffle_.set_direction(Gtk::ArrowType::UP);
  describe(shuffle_, _("Shuffle"), _("Randomize the playlist order"));
  footer_.append(shuffle_);
  clear_.set_label(_("Clear…"));
  clear_.set_has_frame(false);
  describe(clear_, _("Clear…"), _("Remove every video and folder from the playlist"));
  clear_.signal_clicked().connect([this] { model_.requestClear(); });
  footer_.append(clear_);
}

void PlaylistFooter::refreshScope() {
  const std::string playLabel = formatted(_("Play %s"), {model_.folderTitle(model_.folderID())});
  describe(play_, playLabel, playLabel);
  play_.set_sensitive(model_.canPlayScope());
  shuffleRemaining_->set_enabled(model_.canShuffleRemaining());
  clear_.set_sensitive(model_.canClear());
}

void PlaylistFooter::refreshControls() {
  remove_.set_sensitive(!model_.selection().empty());
  moveUp_.set_sensitive(model_.canMove(-1));
  moveDown_.set_sensitive(model_.canMove(1));
  if (const std::string symbol = iconName(model_.repeatSymbol());
      repeat_.get_icon_name().raw() != symbol) {
    repeat_.set_icon_name(symbol);
  }
  describe(repeat_, model_.repeatHelp(), model_.repeatHelp());
  setClass(repeat_, "orvel-accent", model_.repeatMode() != PlaylistRepeat::off);
  setText(selectedCount_, model_.selectionSummary());
}

}  // namespace orvel
