// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/NotificationCenter.h"

#include <utility>

namespace orvel {

NotificationCenter& NotificationCenter::shared() {
  static NotificationCenter center;
  return center;
}

ObserverToken NotificationCenter::addObserver(std::string name, Observer observer) {
  return observers_.add(
      [name = std::move(name), observer = std::move(observer)](const Notification& notification) {
        if (notification.name == name && observer) {
          observer(notification);
        }
      });
}

void NotificationCenter::post(std::string name, UserInfo userInfo) {
  observers_.notify(Notification{std::move(name), std::move(userInfo)});
}

}  // namespace orvel
