// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/GtkPlayerDialogs.h"

#include "core/Text.h"

namespace orvel {
namespace {

// An alert can carry text from outside (a server's answer, a file name); past this it is cut, and
// what is shown breaks anywhere in a word, so the buttons stay on screen.
constexpr std::size_t kLongestMessage = 600;

std::string boundedMessage(const std::string& message) {
  const std::string_view shown = prefixOfCharacters(message, kLongestMessage);
  return shown.size() == message.size() ? message : std::string(shown) + "…";
}

}  // namespace

GtkPlayerDialogs::~GtkPlayerDialogs() = default;

Gtk::MessageDialog* GtkPlayerDialogs::makeDialog(const Alert& alert) {
  auto dialog = std::make_unique<Gtk::MessageDialog>(
      parent_, alert.title, false,
      alert.style == Alert::Style::warning ? Gtk::MessageType::WARNING : Gtk::MessageType::INFO,
      Gtk::ButtonsType::NONE, true);
  dialog->set_secondary_text(boundedMessage(alert.message));
  for (Gtk::Widget* child = dialog->get_message_area()->get_first_child(); child;
       child = child->get_next_sibling()) {
    if (auto* label = dynamic_cast<Gtk::Label*>(child)) {
      label->set_wrap_mode(Pango::WrapMode::WORD_CHAR);
      label->set_max_width_chars(60);
    }
  }
  // Window lists and assistive technologies name the dialog by its question.
  dialog->set_title(alert.title);
  for (std::size_t index = 0; index < alert.buttons.size(); ++index) {
    Gtk::Button* button = dialog->add_button(alert.buttons[index], static_cast<int>(index));
    if (alert.destructiveButton == index) {
      button->add_css_class("destructive-action");
    }
  }
  // Return never destroys: with a destructive first button, the last (Cancel) is the default.
  if (!alert.buttons.empty()) {
    dialog->set_default_response(
        alert.destructiveButton == 0 ? static_cast<int>(alert.buttons.size() - 1) : 0);
  }
  dialog->set_hide_on_close(true);
  Gtk::MessageDialog* raw = dialog.get();
  open_.insert(std::move(dialog));
  return raw;
}

void GtkPlayerDialogs::finish(Gtk::MessageDialog* dialog) {
  dialog->hide();
  // Deleted on a later turn: the response handler is still running on it.
  later_.post([this, dialog] {
    for (auto it = open_.begin(); it != open_.end(); ++it) {
      if (it->get() == dialog) {
        open_.erase(it);
        break;
      }
    }
  });
}

void GtkPlayerDialogs::showAlert(const Alert& alert, std::function<void(std::size_t)> done) {
  // One alert of a kind at a time: a newer one replaces the one still up, whose question it
  // answers (the second unreadable file, not a stack of them).
  for (const auto& open : open_) {
    if (open->get_visible() && std::string(open->get_title()) == alert.title) {
      finish(open.get());
    }
  }
  Gtk::MessageDialog* dialog = makeDialog(alert);
  const std::size_t cancelIndex = alert.buttons.empty() ? 0 : alert.buttons.size() - 1;
  dialog->signal_response().connect([this, dialog, done, cancelIndex](int response) {
    // Closing with Escape or the window manager counts as the last button (Cancel or OK).
    std::size_t button = response >= 0 ? static_cast<std::size_t>(response) : cancelIndex;
    finish(dialog);
    if (done) {
      done(button);
    }
  });
  dialog->show();
}

void GtkPlayerDialogs::dismissAlert(const std::string& title) {
  for (const auto& open : open_) {
    if (open->get_visible() && std::string(open->get_title()) == title) {
      // A negative response is taken as the last button.
      open->response(GTK_RESPONSE_CANCEL);
      return;
    }
  }
}

void GtkPlayerDialogs::promptForText(const Alert& alert, const std::string& placeholder,
                                     const std::string& text,
                                     std::function<void(std::optional<std::string>)> done) {
  Gtk::MessageDialog* dialog = makeDialog(alert);
  auto* entry = Gtk::make_managed<Gtk::Entry>();
  entry->set_placeholder_text(placeholder);
  entry->set_text(text);
  entry->set_size_request(304, 24);
  entry->set_activates_default(true);
  dialog->get_message_area()->append(*entry);
  dialog->signal_response().connect([this, dialog, entry, done](int response) {
    std::optional<std::string> answer;
    if (response == 0) {
      answer = std::string(entry->get_text());
    }
    finish(dialog);
    if (done) {
      done(answer);
    }
  });
  dialog->show();
  entry->grab_focus();
}

}  // namespace orvel
