// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/Result.h"

namespace orvel {

// "Check for Updates…": the newest release an appcast feed offers, against the running version.
// Nothing is installed from here; on Linux the package manager installs.
namespace UpdateCheck {

// The feed the program reads; test builds may name another in $ORVEL_UPDATE_FEED.
inline constexpr std::string_view kFeedURL = "https://orvel-player.example.com/appcast.xml";
inline constexpr std::size_t kMaxFeedBytes = 1024 * 1024;
inline constexpr unsigned kTimeoutSeconds = 20;

struct Release {
  // As the feed shows it to people ("1.2.0"), else its build version.
  std::string version;
  std::optional<std::string> releaseNotesURL;
};

// The newest release of the feed's items; an error for a feed that is not one, or has none.
Result<Release> parseAppcast(std::string_view xml);

// Compares dotted versions part by part as numbers ("1.10" > "1.9"); missing parts count as 0.
int compareVersions(std::string_view a, std::string_view b);

struct Outcome {
  enum class Kind { newer, upToDate, failed };
  Kind kind;
  std::string title;
  std::string message;
  std::optional<std::string> releaseNotesURL;
};

// What the dialog says, from the fetched feed or the reason there is none.
Outcome judge(std::string_view currentVersion, const Result<Release>& feed);

// The reasons a fetch gives no feed.
std::string statusFailure(unsigned status);
std::string transportFailure(std::string_view error);

}  // namespace UpdateCheck
}  // namespace orvel
