// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "core/ObserverList.h"

namespace orvel {

using UserInfoValue = std::variant<bool, std::int64_t, double, std::string>;
using UserInfo = std::map<std::string, UserInfoValue, std::less<>>;

struct Notification {
  std::string name;
  UserInfo userInfo;

  // The value under the key when it holds a T, else nullptr.
  template <typename T>
  const T* value(std::string_view key) const {
    auto found = userInfo.find(key);
    return found == userInfo.end() ? nullptr : std::get_if<T>(&found->second);
  }
};

// Named notifications between the parts of the program, delivered synchronously to the observers
// of that name on the thread that posts them.
class NotificationCenter {
 public:
  using Observer = std::function<void(const Notification&)>;

  // The program's one centre.
  static NotificationCenter& shared();

  [[nodiscard]] ObserverToken addObserver(std::string name, Observer observer);
  void post(std::string name, UserInfo userInfo = {});

 private:
  ObserverList<const Notification&> observers_;
};

}  // namespace orvel
