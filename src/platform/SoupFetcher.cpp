#include "platform/SoupFetcher.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace orvel {
namespace {

// One fetch in flight: the message, what has been read of its body, and where it goes.
struct Fetch {
  SoupMessage* message = nullptr;
  GCancellable* cancellable = nullptr;
  GInputStream* stream = nullptr;
  std::vector<std::uint8_t> buffer;
  SoupFetcher::Done done;
  ~Fetch() {
    g_clear_object(&stream);
    g_clear_object(&cancellable);
    g_clear_object(&message);
  }
};

// The error's text, or none when the fetch was cancelled: then nobody is told.
std::optional<std::string> failure(GError* error) {
  const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
  std::string text = error ? error->message : "The answer could not be read";
  g_clear_error(&error);
  if (cancelled) {
    return std::nullopt;
  }
  return text;
}

}  // namespace

SoupFetcher::SoupFetcher(unsigned timeoutSeconds)
    : session_(soup_session_new_with_options("timeout", timeoutSeconds, "idle-timeout",
                                             timeoutSeconds, nullptr)),
      cancellable_(g_cancellable_new()) {}

SoupFetcher::~SoupFetcher() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  g_object_unref(session_);
}

void SoupFetcher::get(const std::string& url, std::size_t maxBytes, Done done) {
  SoupMessage* message = soup_message_new("GET", url.c_str());
  if (!message) {
    done(Answer{nullptr, 0, "Not a web address: " + url});
    return;
  }
  auto* pending = new Fetch{message, G_CANCELLABLE(g_object_ref(cancellable_)), nullptr,
                            std::vector<std::uint8_t>(maxBytes + 1), std::move(done)};
  soup_session_send_async(
      session_, message, G_PRIORITY_LOW, cancellable_,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Fetch> fetch(static_cast<Fetch*>(data));
        GError* error = nullptr;
        fetch->stream = soup_session_send_finish(SOUP_SESSION(source), result, &error);
        if (!fetch->stream) {
          if (auto text = failure(error)) {
            fetch->done(Answer{nullptr, 0, *text});
          }
          return;
        }
        GCancellable* cancellable = fetch->cancellable;
        GInputStream* stream = fetch->stream;
        Fetch* reading = fetch.release();
        g_input_stream_read_all_async(
            stream, reading->buffer.data(), reading->buffer.size(), G_PRIORITY_LOW, cancellable,
            [](GObject* streamObject, GAsyncResult* readResult, gpointer readData) {
              std::unique_ptr<Fetch> read(static_cast<Fetch*>(readData));
              gsize count = 0;
              GError* readError = nullptr;
              const bool ok = g_input_stream_read_all_finish(G_INPUT_STREAM(streamObject),
                                                             readResult, &count, &readError);
              const guint status = soup_message_get_status(read->message);
              if (!ok) {
                if (auto text = failure(readError)) {
                  read->done(Answer{nullptr, status, *text});
                }
                return;
              }
              g_clear_error(&readError);
              if (count >= read->buffer.size()) {
                read->done(Answer{nullptr, status,
                                  "The answer is larger than " +
                                      std::to_string(read->buffer.size() - 1) + " bytes"});
                return;
              }
              GBytes* bytes = g_bytes_new(read->buffer.data(), count);
              read->done(Answer{std::shared_ptr<GBytes>(bytes, &g_bytes_unref), status, ""});
            },
            reading);
      },
      pending);
}

}  // namespace orvel
