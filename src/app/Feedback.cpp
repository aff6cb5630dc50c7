// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Feedback.h"

#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>

#include "core/Translation.h"

namespace orvel {

const std::vector<FeedbackKind>& allFeedbackKinds() {
  static const std::vector<FeedbackKind> kinds{FeedbackKind::survey, FeedbackKind::written};
  return kinds;
}

std::string_view feedbackKindLabel(FeedbackKind kind) {
  return kind == FeedbackKind::survey ? _("Survey") : _("Written Message");
}

namespace FeedbackMailer {

Result<Request> request(std::string_view apiKey, std::string_view subject, std::string_view body,
                        std::string_view apiBase) {
  for (const char character : apiKey) {
    if (static_cast<unsigned char>(character) < 0x20 || character == 0x7f) {
      return Result<Request>::failure(_("The API key holds a line break; paste it again"));
    }
  }
  nlohmann::json message{
      {"from", "Orvel player Feedback <" + std::string(kSender) + ">"},
      {"to", nlohmann::json::array({std::string(kRecipient)})},
      {"subject", subject.empty() ? std::string("Orvel player Feedback") : std::string(subject)},
      {"text", std::string(body)},
  };
  Request request;
  request.url = std::string(apiBase) + "/emails";
  request.headers = {{"Authorization", "Bearer " + std::string(apiKey)},
                     {"Content-Type", "application/json"}};
  // Text that is not UTF-8 is sent with replacement characters rather than not at all.
  request.body = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return request;
}

std::string logEntry(Date when, std::string_view subject, std::string_view body) {
  GDateTime* time = g_date_time_new_from_unix_utc(static_cast<gint64>(std::floor(when.unixTime())));
  gchar* stamp = time ? g_date_time_format_iso8601(time) : nullptr;
  std::string entry = stamp ? stamp : "";
  g_free(stamp);
  if (time) {
    g_date_time_unref(time);
  }
  entry += " — ";
  entry += subject.empty() ? std::string_view("(no subject)") : subject;
  entry += "\n";
  entry += body;
  entry += "\n---\n";
  return entry;
}

std::optional<std::string> localCopyPath() {
  const char* data = g_get_user_data_dir();
  if (!data || !*data) {
    return std::nullopt;
  }
  const std::string folder = std::string(data) + "/Wendle";
  g_mkdir_with_parents(folder.c_str(), 0700);
  return folder + "/feedback.log";
}

bool saveLocalCopy(const std::string& path, std::string_view entry) {
  // The user's own messages: readable by the user alone, a file made earlier included.
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor < 0) {
    return false;
  }
  const std::unique_ptr<const int, void (*)(const int*)> closer(
      &descriptor, [](const int* opened) { ::close(*opened); });
  ::fchmod(descriptor, 0600);
  std::size_t written = 0;
  while (written < entry.size()) {
    const ssize_t count = ::write(descriptor, entry.data() + written, entry.size() - written);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      return false;
    }
    written += static_cast<std::size_t>(count);
  }
  return true;
}

std::string statusFailure(unsigned status) {
  return formatted(_("Resend returned status %s"), {std::to_string(status)});
}

}  // namespace FeedbackMailer

FeedbackForm::FeedbackForm(Dependencies dependencies) : deps_(std::move(dependencies)) {}

FeedbackForm::~FeedbackForm() {
  *alive_ = false;
}

bool FeedbackForm::canSend() const {
  if (deps_.apiKey().empty() || isSending_) {
    return false;
  }
  if (kind == FeedbackKind::written) {
    return message.find_first_not_of(" \t\r\n\v\f") != std::string::npos;
  }
  return rating > 0;
}

std::pair<std::string, std::string> FeedbackForm::outgoing() const {
  if (kind == FeedbackKind::written) {
    return {subject, message};
  }
  const std::string stars = std::to_string(rating);
  return {"Survey (" + stars + "/5 stars)", "Rating: " + stars + "/5\n\n" + message};
}

void FeedbackForm::send(std::function<void()> changed) {
  isSending_ = true;
  statusMessage_.reset();
  const auto [mailSubject, body] = outgoing();
  // Every attempt is logged first, including those that fail; a log that cannot be written
  // does not keep the message from going.
  if (const auto path = deps_.localCopyPath ? deps_.localCopyPath() : std::nullopt) {
    FeedbackMailer::saveLocalCopy(*path,
                                  FeedbackMailer::logEntry(deps_.clock(), mailSubject, body));
  }
  auto request = FeedbackMailer::request(deps_.apiKey(), mailSubject, body, deps_.apiBase);
  if (!request) {
    finished(request.error());
    if (changed) {
      changed();
    }
    return;
  }
  deps_.transport.post(*request,
                       [this, alive = std::weak_ptr<bool>(alive_),
                        changed = std::move(changed)](std::optional<std::string> failure) {
                         if (alive.expired()) {
                           return;
                         }
                         finished(failure);
                         if (changed) {
                           changed();
                         }
                       });
}

void FeedbackForm::finished(const std::optional<std::string>& failure) {
  isSending_ = false;
  if (failure) {
    statusMessage_ = formatted(_("Failed to send: %s"), {*failure});
    return;
  }
  statusMessage_ = _("Feedback sent. Thank you!");
  subject.clear();
  message.clear();
  rating = 0;
}

}  // namespace orvel
