#pragma once

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace orvel {

// GET requests over one libsoup session, each answer read to at most a given size. Requests
// still running when the fetcher goes are cancelled, and their `done` is never called.
class SoupFetcher {
 public:
  struct Answer {
    // None when the request failed or the answer was too large; `error` then says why.
    std::shared_ptr<GBytes> body;
    guint status = 0;
    std::string error;
  };
  using Done = std::function<void(Answer)>;

  explicit SoupFetcher(unsigned timeoutSeconds);
  ~SoupFetcher();
  SoupFetcher(const SoupFetcher&) = delete;
  SoupFetcher& operator=(const SoupFetcher&) = delete;

  void get(const std::string& url, std::size_t maxBytes, Done done);

 private:
  SoupSession* session_;
  GCancellable* cancellable_;
};

}  // namespace orvel
