// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvel {

// A web server on the loopback that answers each path with a fixed response and remembers every
// path asked for; the end-to-end tests play hostile pages from it, with no network.
class LocalWebServer {
 public:
  struct Response {
    std::string contentType = "text/html";
    std::string body;
    std::string extraHeaders;  // whole lines, each ending in "\r\n"
    // The body goes one byte every 200 ms, as from a server that keeps a client waiting.
    bool trickle = false;
  };

  // A silent server takes connections and never says a word, as a hung one does.
  enum class Mode { answering, silent };

  explicit LocalWebServer(Mode mode = Mode::answering) {
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::listen(socket_, 16) == 0 &&
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
      if (mode == Mode::answering) {
        thread_ = std::thread([this] { serve(); });
      }
    }
  }
  ~LocalWebServer() {
    stopping_ = true;
    if (thread_.joinable()) {
      thread_.join();
    }
    ::close(socket_);
  }
  LocalWebServer(const LocalWebServer&) = delete;
  LocalWebServer& operator=(const LocalWebServer&) = delete;

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  void route(const std::string& path, Response response) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(response);
  }
  // Answers the path with this status line ("500 Internal Server Error") and an empty page.
  void fail(const std::string& path, const std::string& status) {
    std::lock_guard lock(mutex_);
    routes_[path] = Response{};
    failures_[path] = status;
  }
  bool wasAskedFor(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return std::find(asked_.begin(), asked_.end(), path) != asked_.end();
  }
  // The last request as it came, head and body.
  std::string lastRequest() const {
    std::lock_guard lock(mutex_);
    return lastRequest_;
  }
  std::vector<std::string> asked() const {
    std::lock_guard lock(mutex_);
    return asked_;
  }

 private:
  void serve() {
    while (!stopping_) {
      pollfd waiting{socket_, POLLIN, 0};
      if (::poll(&waiting, 1, 100) <= 0) {
        continue;
      }
      const int connection = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection >= 0) {
        answer(connection);
        ::close(connection);
      }
    }
  }

  // Reads what has come of the request; false when the client went quiet or away.
  static bool readMore(int connection, std::string& request) {
    pollfd readable{connection, POLLIN, 0};
    if (::poll(&readable, 1, 2000) <= 0) {
      return false;
    }
    char buffer[4096];
    const ssize_t got = ::read(connection, buffer, sizeof buffer);
    if (got <= 0) {
      return false;
    }
    request.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  void answer(int connection) {
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
      if (!readMore(connection, request)) {
        return;
      }
    }
    // A request with a body (a POST) is read whole before the answer, and kept.
    const std::size_t headEnd = request.find("\r\n\r\n") + 4;
    std::string lowered = request.substr(0, headEnd);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (const auto length = lowered.find("content-length:"); length != std::string::npos) {
      const std::size_t wanted = headEnd + std::strtoul(lowered.c_str() + length + 15, nullptr, 10);
      while (request.size() < wanted && request.size() < (1u << 22)) {
        if (!readMore(connection, request)) {
          return;
        }
      }
    }
    {
      std::lock_guard lock(mutex_);
      lastRequest_ = request;
    }
    const std::size_t start = request.find(' ') + 1;
    std::string path = request.substr(start, request.find(' ', start) - start);
    Response response;
    std::string status = "404 Not Found";
    {
      std::lock_guard lock(mutex_);
      asked_.push_back(path);
      if (auto route = routes_.find(path); route != routes_.end()) {
        response = route->second;
        auto failure = failures_.find(path);
        status = failure != failures_.end() ? failure->second : "200 OK";
      }
    }
    std::string head = "HTTP/1.1 " + status + "\r\nContent-Type: " + response.contentType +
                       "\r\nContent-Length: " + std::to_string(response.body.size()) +
                       "\r\nConnection: close\r\n" + response.extraHeaders + "\r\n";
    if (!response.trickle) {
      sendAll(connection, head + response.body);
      return;
    }
    if (!sendAll(connection, head)) {
      return;
    }
    for (std::size_t sent = 0; sent < response.body.size() && !stopping_; ++sent) {
      pollfd closed{connection, POLLRDHUP, 0};
      if (::poll(&closed, 1, 200) > 0 || !sendAll(connection, response.body.substr(sent, 1))) {
        return;
      }
    }
  }

  static bool sendAll(int connection, const std::string& data) {
    for (std::size_t sent = 0; sent < data.size();) {
      const ssize_t wrote =
          ::send(connection, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (wrote <= 0) {
        return false;
      }
      sent += static_cast<std::size_t>(wrote);
    }
    return true;
  }

  int socket_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_ = false;
  mutable std::mutex mutex_;
  std::map<std::string, Response> routes_;
  std::map<std::string, std::string> failures_;
  std::string lastRequest_;
  std::vector<std::string> asked_;
  std::thread thread_;
};

}  // namespace orvel
