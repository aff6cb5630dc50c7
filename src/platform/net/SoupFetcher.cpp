// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/net/SoupFetcher.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "core/Translation.h"

namespace orvel {
namespace {

// One fetch in flight: the message, what has been read of its body, and where it goes. It has
// a cancellable of its own, cancelled by its deadline, by a refused redirect, or when the
// fetcher goes (`fetcherGone`).
struct Fetch {
  using Answer = SoupFetcher::Answer;

  SoupMessage* message = nullptr;
  GCancellable* fetcherGone = nullptr;
  GCancellable* cancellable = g_cancellable_new();
  gulong goneHandler = 0;
  gulong redirectHandler = 0;
  guint deadline = 0;
  unsigned deadlineSeconds = 0;
  GInputStream* stream = nullptr;
  std::vector<std::uint8_t> buffer;
  SoupFetcher::Done done;
  // Why the fetch was cut short, when it was not the fetcher going.
  std::string cutShort;

  ~Fetch() {
    if (deadline != 0) {
      g_source_remove(deadline);
    }
    if (redirectHandler != 0) {
      g_signal_handler_disconnect(message, redirectHandler);
    }
    g_cancellable_disconnect(fetcherGone, goneHandler);
    g_clear_object(&stream);
    g_clear_object(&cancellable);
    g_clear_object(&fetcherGone);
    g_clear_object(&message);
  }

  void cutShortBecause(std::string reason) {
    if (cutShort.empty()) {
      cutShort = std::move(reason);
    }
    g_cancellable_cancel(cancellable);
  }

  // Tells `done` of a failure, unless the fetcher went: then nobody is told.
  void fail(GError* error, guint status) {
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    std::string text = error ? error->message : _("The answer could not be read");
    g_clear_error(&error);
    if (g_cancellable_is_cancelled(fetcherGone)) {
      return;
    }
    done(Answer{nullptr, status, cancelled && !cutShort.empty() ? cutShort : text});
  }
};

void readBody(std::unique_ptr<Fetch> fetch) {
  GCancellable* cancellable = fetch->cancellable;
  GInputStream* stream = fetch->stream;
  Fetch* reading = fetch.release();
  g_input_stream_read_all_async(
      stream, reading->buffer.data(), reading->buffer.size(), G_PRIORITY_LOW, cancellable,
      [](GObject* streamObject, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Fetch> read(static_cast<Fetch*>(data));
        gsize count = 0;
        GError* error = nullptr;
        const bool ok =
            g_input_stream_read_all_finish(G_INPUT_STREAM(streamObject), result, &count, &error);
        const guint status = soup_message_get_status(read->message);
        if (!ok) {
          read->fail(error, status);
          return;
        }
        if (count >= read->buffer.size()) {
          read->done(Fetch::Answer{nullptr, status,
                                   formatted(_("The answer is larger than %s bytes"),
                                             {std::to_string(read->buffer.size() - 1)})});
          return;
        }
        GBytes* bytes = g_bytes_new(read->buffer.data(), count);
        read->done(Fetch::Answer{std::shared_ptr<GBytes>(bytes, &g_bytes_unref), status, ""});
      },
      reading);
}

}  // namespace

SoupFetcher::SoupFetcher(unsigned deadlineSeconds, GTlsDatabase* trusted)
    : session_(soup_session_new_with_options("timeout", deadlineSeconds, "idle-timeout",
                                             deadlineSeconds, nullptr)),
      cancellable_(g_cancellable_new()),
      deadlineSeconds_(deadlineSeconds) {
  if (trusted) {
    soup_session_set_tls_database(session_, trusted);
  }
}

SoupFetcher::~SoupFetcher() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  g_object_unref(session_);
}

void SoupFetcher::get(const std::string& url, std::size_t maxBytes, Done done) {
  SoupMessage* message = soup_message_new("GET", url.c_str());
  if (!message) {
    done(Answer{nullptr, 0, formatted(_("Not a web address: %s"), {url})});
    return;
  }
  send(message, maxBytes, std::move(done));
}

void SoupFetcher::send(SoupMessage* message, std::size_t maxBytes, Done done) {
  auto* pending = new Fetch;
  pending->message = message;
  pending->fetcherGone = G_CANCELLABLE(g_object_ref(cancellable_));
  pending->buffer.resize(maxBytes == 0 ? 0 : maxBytes + 1);
  pending->done = std::move(done);
  pending->goneHandler = g_cancellable_connect(
      cancellable_,
      G_CALLBACK(+[](GCancellable*, gpointer own) { g_cancellable_cancel(G_CANCELLABLE(own)); }),
      g_object_ref(pending->cancellable), g_object_unref);
  pending->deadlineSeconds = deadlineSeconds_;
  pending->deadline = g_timeout_add_seconds_full(
      G_PRIORITY_DEFAULT, deadlineSeconds_,
      +[](gpointer data) {
        auto* fetch = static_cast<Fetch*>(data);
        fetch->deadline = 0;
        fetch->cutShortBecause(formatted(_("The whole answer did not come within %s seconds"),
                                         {std::to_string(fetch->deadlineSeconds)}));
        return G_SOURCE_REMOVE;
      },
      pending, nullptr);
  // A page reached over https that sends the player on to plain http could be anyone's.
  if (g_strcmp0(g_uri_get_scheme(soup_message_get_uri(message)), "https") == 0) {
    pending->redirectHandler = g_signal_connect(
        message, "notify::uri",
        G_CALLBACK(+[](SoupMessage* redirected, GParamSpec*, gpointer data) {
          if (g_strcmp0(g_uri_get_scheme(soup_message_get_uri(redirected)), "https") != 0) {
            static_cast<Fetch*>(data)->cutShortBecause(
                _("The server sent the request on from https to an address that is not https"));
          }
        }),
        pending);
  }
  soup_session_send_async(
      session_, message, G_PRIORITY_LOW, pending->cancellable,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Fetch> fetch(static_cast<Fetch*>(data));
        GError* error = nullptr;
        fetch->stream = soup_session_send_finish(SOUP_SESSION(source), result, &error);
        if (!fetch->stream) {
          fetch->fail(error, 0);
          return;
        }
        if (fetch->buffer.empty()) {
          // Only the status counts; the body is left unread and the connection closed with it.
          const guint status = soup_message_get_status(fetch->message);
          GBytes* empty = g_bytes_new(nullptr, 0);
          fetch->done(Fetch::Answer{std::shared_ptr<GBytes>(empty, &g_bytes_unref), status, ""});
          return;
        }
        readBody(std::move(fetch));
      },
      pending);
}

}  // namespace orvel
