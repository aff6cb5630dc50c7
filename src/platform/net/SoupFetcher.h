// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace orvel {

// Requests over one libsoup session, each answer read to at most a given size. Every request is
// given up when its whole answer has not come within the deadline, however slowly it trickles,
// and a redirect from https to anything else is refused. Requests still running when the
// fetcher goes are cancelled, and their `done` is never called.
class SoupFetcher {
 public:
  struct Answer {
    // None when the request failed or the answer was too large; `error` then says why.
    std::shared_ptr<GBytes> body;
    guint status = 0;
    std::string error;
  };
  using Done = std::function<void(Answer)>;

  // `trusted` replaces the system's certificate authorities (tests use their own).
  explicit SoupFetcher(unsigned deadlineSeconds, GTlsDatabase* trusted = nullptr);
  ~SoupFetcher();
  SoupFetcher(const SoupFetcher&) = delete;
  SoupFetcher& operator=(const SoupFetcher&) = delete;

  void get(const std::string& url, std::size_t maxBytes, Done done);
  // Sends the message, whose reference it takes. With `maxBytes` 0 the answer's body is not read
  // at all: only its status counts, and `body` is empty on success.
  void send(SoupMessage* message, std::size_t maxBytes, Done done);

 private:
  SoupSession* session_;
  GCancellable* cancellable_;
  unsigned deadlineSeconds_;
};

}  // namespace orvel
