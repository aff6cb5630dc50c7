// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <utility>

namespace orvel {

// Owns something that can be called off: a scheduled task, an observer registration. Cancelling
// the handle, or dropping it, calls it off; cancelling again, or after a task ran, does nothing.
class Cancellable {
 public:
  Cancellable() = default;
  explicit Cancellable(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Cancellable(Cancellable&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
  Cancellable& operator=(Cancellable&& other) noexcept {
    if (this != &other) {
      cancel();
      cancel_ = std::exchange(other.cancel_, nullptr);
    }
    return *this;
  }
  Cancellable(const Cancellable&) = delete;
  Cancellable& operator=(const Cancellable&) = delete;
  ~Cancellable() { cancel(); }

  void cancel() {
    if (auto cancel = std::exchange(cancel_, nullptr)) {
      cancel();
    }
  }
  explicit operator bool() const { return static_cast<bool>(cancel_); }

 private:
  std::function<void()> cancel_;
};

// A scheduled task that does not run once its handle is cancelled or dropped.
using TaskHandle = Cancellable;
// An observer registration that ends when its token is cancelled or dropped.
using ObserverToken = Cancellable;

}  // namespace orvel
