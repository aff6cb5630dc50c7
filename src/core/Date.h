// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <compare>

namespace orvel {

// A point in time as seconds since 2001-01-01 00:00:00 UTC, the reference date that stored
// timestamps count from.
struct Date {
  // Seconds from the Unix epoch to the reference date.
  static constexpr double kUnixEpochOffset = 978307200.0;

  double timeIntervalSinceReferenceDate = 0;

  static Date now();
  static Date fromUnixTime(double seconds) { return Date{seconds - kUnixEpochOffset}; }
  double unixTime() const { return timeIntervalSinceReferenceDate + kUnixEpochOffset; }

  auto operator<=>(const Date&) const = default;
};

}  // namespace orvel
