// SPDX-License-Identifier: GPL-3.0-or-later

// The binary property lists of the defaults store, and what the program makes of the stored
// values: a value that reads must write back unchanged, and a store whose values are garbage must
// load without crashing and without losing any value it cannot use.
#include <cmath>

#include "core/NotificationCenter.h"
#include "fuzz/FuzzSupport.h"
#include "native/PlayerEqualizer.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistRepeat.h"
#include "settings/AppSettings.h"
#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

void loadStore(const PropertyList::Dictionary& stored) {
  MemoryDefaults defaults(MemoryDefaults::Values(stored.begin(), stored.end()));
  NotificationCenter center;
  {
    AppSettings settings(defaults, center, [] { return Date{0}; });
    for (const RecentVideoItem& item : settings.watchHistoryVideos()) {
      fuzz::require(item.watchLaterStars >= 0 && item.watchLaterStars <= 5,
                    "stars stay within 0...5");
    }
  }
  PlaylistLibrary::loadKeepingUnreadable(defaults);
  (void)storedPlaylistRepeat(defaults);
  (void)PlaylistLibrary::storedID(defaults, PlaylistLibrary::kLastPlayedKey);
  {
    PlayerEqualizer equalizer(defaults, {});
    fuzz::require(equalizer.gains().size() == PlayerEqualizer::kBandCount, "one gain per band");
    // Out-of-range gains are kept as stored (the filters hold them to the range), but only
    // numbers reach them.
    for (double gain : equalizer.gains()) {
      fuzz::require(std::isfinite(gain), "stored gains load as numbers");
    }
  }
  // A value the program could not use may be replaced, but only after it was kept aside.
  for (const auto& [key, value] : stored) {
    if (!defaults.values().contains(key)) {
      auto aside = defaults.values().find(key + ".corrupt");
      fuzz::require(aside != defaults.values().end() && aside->second == value,
                    "a removed value is kept aside as it was");
    }
  }
}

}  // namespace
}  // namespace orvel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using orvel::PropertyList;
  orvel::fuzz::silenceLogs();
  const auto value = PropertyList::fromBinary(data, size);
  if (!value) {
    return 0;
  }
  const auto written = value->binary();
  orvel::fuzz::require(written.has_value(), "every value read can be written");
  const auto reread = PropertyList::fromBinary(*written);
  orvel::fuzz::require(reread && *reread == *value, "a value written reads back unchanged");
  if (const auto* stored = value->get<PropertyList::Dictionary>()) {
    orvel::loadStore(*stored);
  }
  return 0;
}
