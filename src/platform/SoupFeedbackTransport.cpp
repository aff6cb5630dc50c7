#include "platform/SoupFeedbackTransport.h"

#include <memory>
#include <string>

namespace orvel {
namespace {

struct Sending {
  SoupMessage* message;
  FeedbackTransport::Done done;
  ~Sending() { g_object_unref(message); }
};

}  // namespace

SoupFeedbackTransport::SoupFeedbackTransport(unsigned timeoutSeconds)
    : session_(soup_session_new_with_options("timeout", timeoutSeconds, "idle-timeout",
                                             timeoutSeconds, nullptr)),
      cancellable_(g_cancellable_new()) {}

SoupFeedbackTransport::~SoupFeedbackTransport() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  g_object_unref(session_);
}

void SoupFeedbackTransport::post(const FeedbackMailer::Request& request, Done done) {
  SoupMessage* message = soup_message_new("POST", request.url.c_str());
  if (!message) {
    done("Not a web address: " + request.url);
    return;
  }
  SoupMessageHeaders* headers = soup_message_get_request_headers(message);
  for (const auto& [name, value] : request.headers) {
    soup_message_headers_replace(headers, name.c_str(), value.c_str());
  }
  GBytes* body = g_bytes_new(request.body.data(), request.body.size());
  soup_message_set_request_body_from_bytes(message, "application/json", body);
  g_bytes_unref(body);
  soup_session_send_and_read_async(
      session_, message, G_PRIORITY_DEFAULT, cancellable_,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Sending> sending(static_cast<Sending*>(data));
        GError* error = nullptr;
        GBytes* answer = soup_session_send_and_read_finish(SOUP_SESSION(source), result, &error);
        if (answer) {
          g_bytes_unref(answer);
        }
        if (error) {
          const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
          const std::string text = error->message;
          g_error_free(error);
          if (!cancelled) {
            sending->done(text);
          }
          return;
        }
        const guint status = soup_message_get_status(sending->message);
        if (status >= 200 && status < 300) {
          sending->done(std::nullopt);
        } else {
          sending->done(FeedbackMailer::statusFailure(status));
        }
      },
      new Sending{message, std::move(done)});
}

}  // namespace orvel
