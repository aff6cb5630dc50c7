// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/Date.h"

#include <chrono>

namespace orvel {

Date Date::now() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  return fromUnixTime(std::chrono::duration<double>(sinceEpoch).count());
}

}  // namespace orvel
