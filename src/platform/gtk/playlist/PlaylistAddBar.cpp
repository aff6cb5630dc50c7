// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/playlist/PlaylistAddBar.h"

#include "core/Translation.h"
#include "platform/gtk/WidgetHelpers.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel {

PlaylistAddBar::PlaylistAddBar(PlaylistView& model, Actions actions)
    : model_(model), actions_(std::move(actions)) {
  bar_.add_css_class("orvel-add-bar");
  urlField_.set_hexpand(true);
  urlField_.set_placeholder_text(_("Paste a YouTube, playlist, MP4, WebM or MKV URL"));
  setAccessibleLabel(urlField_, _("Video or playlist URL"));
  urlField_.signal_activate().connect([this] { submit(); });
  bar_.append(urlField_);
  buildButtons(bar_);
  buildErrorRow();
}

void PlaylistAddBar::buildButtons(Gtk::Box& bar) {
  addURL_.set_label(_("Add URL"));
  describe(addURL_, _("Add URL"), _("Add the link to the playlist"));
  addURL_.signal_clicked().connect([this] { submit(); });
  bar.append(addURL_);
  addFiles_.set_label(_("Add Files"));
  describe(addFiles_, _("Add Files"), _("Add video files…"));
  addFiles_.signal_clicked().connect([this] { actions_.chooseFiles(false); });
  bar.append(addFiles_);
  addFolder_.set_label(_("Add Folder"));
  describe(addFolder_, _("Add Folder"), _("Add a folder as a playlist folder…"));
  addFolder_.signal_clicked().connect([this] { actions_.chooseFiles(true); });
  bar.append(addFolder_);
  adding_.set_visible(false);
  adding_.set_tooltip_text(_("Adding files…"));
  setAccessibleLabel(adding_, _("Adding files…"));
  bar.append(adding_);
  addingText_.set_visible(false);
  bar.append(addingText_);
  stopAdding_.set_label(_("Stop"));
  describe(stopAdding_, _("Stop"), _("Stop the import"));
  stopAdding_.set_visible(false);
  stopAdding_.signal_clicked().connect([this] { actions_.stopImport(); });
  bar.append(stopAdding_);
  newFolder_.set_label(_("New Folder"));
  describe(newFolder_, _("New Folder"), _("New Folder"));
  newFolder_.signal_clicked().connect([this] { model_.newFolder(); });
  bar.append(newFolder_);
  importExport_.set_icon_name(iconName("square.and.arrow.up.on.square"));
  describe(importExport_, _("Import or export"), _("Import or export M3U playlists"));
  bar.append(importExport_);
}

void PlaylistAddBar::buildErrorRow() {
  errorRow_.add_css_class("orvel-playlist-error");
  auto* icon = Gtk::make_managed<Gtk::Image>();
  icon->set_from_icon_name(iconName("exclamationmark.triangle.fill"));
  errorRow_.append(*icon);
  errorText_.set_xalign(0);
  errorText_.set_wrap(true);
  errorText_.set_hexpand(true);
  errorText_.set_selectable(true);
  errorRow_.append(errorText_);
  errorRow_.set_visible(false);
}

void PlaylistAddBar::appendTo(Gtk::Box& root) {
  root.append(bar_);
  root.append(errorRow_);
}

void PlaylistAddBar::submit() {
  model_.setNewURL(urlField_.get_text());
  model_.addURL();
  if (urlField_.get_text().raw() != model_.newURL()) {
    urlField_.set_text(model_.newURL());
  }
}

void PlaylistAddBar::refreshScope() {
  const std::string exportTitle = model_.exportMenuTitle();
  if (exportTitle != shownExportTitle_) {
    shownExportTitle_ = exportTitle;
    auto menu = Gio::Menu::create();
    menu->append(translated(PlaylistLibrary::kImportMenuTitle), "panel.import");
    menu->append(exportTitle, "panel.export");
    importExport_.set_menu_model(menu);
  }
}

void PlaylistAddBar::refreshError() {
  const auto& error = model_.errorMessage();
  errorRow_.set_visible(error.has_value());
  if (error) {
    setText(errorText_, *error);
  }
}

void PlaylistAddBar::setAdding(bool adding, const std::string& what) {
  addFiles_.set_sensitive(!adding);
  addFolder_.set_sensitive(!adding);
  importExport_.set_sensitive(!adding);
  adding_.set_visible(adding);
  adding_.set_spinning(adding);
  const std::string shown = what.empty() ? _("Adding files…") : what;
  adding_.set_tooltip_text(shown);
  setAccessibleLabel(adding_, shown);
}

void PlaylistAddBar::startImport(const std::string& fileName) {
  setAdding(true, formatted(_("Importing %s…"), {fileName}));
  addingText_.set_text(_("Importing…"));
  addingText_.set_visible(true);
  stopAdding_.set_visible(true);
}

void PlaylistAddBar::showImportProgress(int percent) {
  addingText_.set_text(formatted(_("Importing… %s %%"), {std::to_string(percent)}));
}

void PlaylistAddBar::endImport() {
  addingText_.set_visible(false);
  stopAdding_.set_visible(false);
  setAdding(false);
}

}  // namespace orvel
