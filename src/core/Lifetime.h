// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <utility>

namespace orvel {

// Lets work queued on the main loop find out that its owner has gone: wrap the work with
// `guard`, and it does nothing once the owner (and with it this member) is destroyed. Owners and
// their queued work live on the main thread.
class Lifetime {
 public:
  Lifetime() = default;
  Lifetime(const Lifetime&) = delete;
  Lifetime& operator=(const Lifetime&) = delete;

  template <typename Function>
  auto guard(Function function) const {
    return [alive = std::weak_ptr<int>(alive_),
            function = std::move(function)](auto&&... arguments) mutable {
      if (alive.lock()) {
        function(std::forward<decltype(arguments)>(arguments)...);
      }
    };
  }

 private:
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace orvel
