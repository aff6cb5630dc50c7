// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/FeedbackWindow.h"

#include "core/Translation.h"
#include "platform/gtk/WidgetHelpers.h"
#include "platform/gtk/WindowPresenting.h"

namespace orvel {
namespace {

Gtk::Label* heading(const std::string& text) {
  auto* label = Gtk::make_managed<Gtk::Label>(text);
  label->set_xalign(0);
  label->add_css_class("orvel-feedback-heading");
  return label;
}

// Resend's API; in test builds, a server the test names, so that no test reaches the network.
std::string apiBase() {
#ifdef ORVEL_TEST_HOOKS
  if (const char* base = g_getenv("ORVEL_FEEDBACK_API"); base && *base) {
    return base;
  }
#endif
  return std::string(FeedbackMailer::kAPIBase);
}

}  // namespace

FeedbackWindow::FeedbackWindow(AppSettings& settings, FeedbackTransport& transport)
    : settings_(settings),
      form_({.apiKey = [&settings] { return settings.resendAPIKey(); },
             .transport = transport,
             .localCopyPath = &FeedbackMailer::localCopyPath,
             .clock = &Date::now,
             .apiBase = apiBase()}),
      stars_([this](int stars) {
        form_.rating = stars;
        refresh();
      }) {
  build();
  refresh();
}

FeedbackWindow::~FeedbackWindow() {
  window_.unset_child();
}

void FeedbackWindow::present() {
  presentWindow(window_);
}

void FeedbackWindow::build() {
  window_.set_title(_("Send Feedback"));
  window_.add_css_class("orvel-feedback");
  window_.set_default_size(460, -1);
  window_.set_resizable(false);
  auto* root = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 8);
  root->set_margin(20);
  root->set_size_request(420, -1);
  buildKey(*root);
  buildKind(*root);
  buildFields(*root);
  buildSending(*root);
  window_.set_child(*root);
}

void FeedbackWindow::buildKey(Gtk::Box& root) {
  root.append(*heading(_("Resend API Key")));
  key_.set_property("placeholder-text", Glib::ustring("re_xxxxxxxx"));
  key_.set_show_peek_icon(true);
  setAccessibleLabel(key_, _("Resend API Key"));
  key_.set_text(settings_.resendAPIKey());
  key_.signal_changed().connect([this] {
    if (!refreshing_) {
      // Each change is stored at once.
      settings_.setResendAPIKey(key_.get_text());
      refresh();
    }
  });
  root.append(key_);
}

void FeedbackWindow::buildKind(Gtk::Box& root) {
  auto* feedback = heading(_("Feedback"));
  feedback->set_margin_top(8);
  root.append(*feedback);
  auto* typeRow = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  auto* typeLabel = Gtk::make_managed<Gtk::Label>(_("Type"));
  typeRow->append(*typeLabel);
  auto* kinds = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 0);
  kinds->add_css_class("linked");
  survey_.set_label(std::string(feedbackKindLabel(FeedbackKind::survey)));
  written_.set_label(std::string(feedbackKindLabel(FeedbackKind::written)));
  written_.set_group(survey_);
  for (auto [button, kind] :
       {std::pair{&survey_, FeedbackKind::survey}, std::pair{&written_, FeedbackKind::written}}) {
    button->signal_toggled().connect([this, button = button, kind = kind] {
      if (!refreshing_ && button->get_active()) {
        form_.kind = kind;
        refresh();
      }
    });
    kinds->append(*button);
  }
  typeRow->append(*kinds);
  root.append(*typeRow);
}

// The stars of a survey, or the subject and message of a written note.
void FeedbackWindow::buildFields(Gtk::Box& root) {
  surveyRow_.append(stars_);
  root.append(surveyRow_);
  auto* subjectLabel = Gtk::make_managed<Gtk::Label>(_("Subject"));
  subjectRow_.append(*subjectLabel);
  subject_.set_hexpand(true);
  setAccessibleLabel(subject_, _("Subject"));
  subject_.signal_changed().connect([this] {
    if (!refreshing_) {
      form_.subject = subject_.get_text();
    }
  });
  subjectRow_.append(subject_);
  root.append(subjectRow_);

  message_.set_wrap_mode(Gtk::WrapMode::WORD_CHAR);
  message_.set_left_margin(8);
  message_.set_right_margin(8);
  message_.set_top_margin(6);
  message_.set_bottom_margin(6);
  message_.add_css_class("orvel-feedback-message");
  setAccessibleLabel(message_, _("Message"));
  message_.get_buffer()->signal_changed().connect([this] {
    if (!refreshing_) {
      form_.message = message_.get_buffer()->get_text();
      refresh();
    }
  });
  messageScroller_.set_child(message_);
  messageScroller_.set_has_frame(true);
  messageScroller_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  root.append(messageScroller_);
}

void FeedbackWindow::buildSending(Gtk::Box& root) {
  status_.set_xalign(0);
  status_.set_wrap(true);
  status_.add_css_class("orvel-feedback-status");
  root.append(status_);

  send_.add_css_class("suggested-action");
  send_.set_halign(Gtk::Align::END);
  send_.signal_clicked().connect([this] { send(); });
  describe(send_, _("Send Feedback"), _("Send Feedback (Ctrl+Return)"));
  root.append(send_);

  // Before the message field takes Return for a new line.
  auto shortcuts = Gtk::ShortcutController::create();
  shortcuts->set_scope(Gtk::ShortcutScope::LOCAL);
  shortcuts->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  shortcuts->add_shortcut(Gtk::Shortcut::create(
      Gtk::ShortcutTrigger::parse_string("<Control>Return"),
      Gtk::CallbackAction::create([this](Gtk::Widget&, const Glib::VariantBase&) {
        send();
        return true;
      })));
  window_.add_controller(shortcuts);
}

void FeedbackWindow::send() {
  if (!form_.canSend()) {
    return;
  }
  form_.send([this] { refresh(); });
  refresh();
}

void FeedbackWindow::refresh() {
  refreshing_ = true;
  const bool survey = form_.kind == FeedbackKind::survey;
  survey_.set_active(survey);
  written_.set_active(!survey);
  surveyRow_.set_visible(survey);
  subjectRow_.set_visible(!survey);
  messageScroller_.set_size_request(-1, survey ? 100 : 160);
  stars_.setRating(form_.rating);
  if (subject_.get_text().raw() != form_.subject) {
    subject_.set_text(form_.subject);
  }
  if (message_.get_buffer()->get_text().raw() != form_.message) {
    message_.get_buffer()->set_text(form_.message);
  }
  const auto& status = form_.statusMessage();
  status_.set_visible(status.has_value());
  status_.set_text(status.value_or(""));
  send_.set_label(form_.isSending() ? _("Sending…") : _("Send Feedback"));
  send_.set_sensitive(form_.canSend());
  refreshing_ = false;
}

}  // namespace orvel
