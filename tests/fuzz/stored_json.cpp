// SPDX-License-Identifier: GPL-3.0-or-later

// The JSON that the store keeps: the recent list and watch history, and the playlist library.
// Whatever decodes must encode again and decode to the same records.
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "playlist/PlaylistLibrary.h"
#include "settings/AppSettings.h"
#include "settings/RecentVideoItem.h"

namespace orvel {
namespace {

void history(std::string_view json) {
  auto decoded = RecentVideoItem::decodeList(json);
  if (!decoded) {
    return;
  }
  const auto encoded = RecentVideoItem::encodeList(decoded->items);
  fuzz::require(encoded.has_value(), "decoded records encode");
  auto again = RecentVideoItem::decodeList(
      std::string_view(reinterpret_cast<const char*>(encoded->data()), encoded->size()));
  fuzz::require(again && again->skipped.empty() && again->items == decoded->items,
                "encoded records decode unchanged");
  const auto shown =
      AppSettings::normalizedVideos(decoded->items, AppSettings::maxWatchHistoryVideos);
  fuzz::require(shown.size() <= AppSettings::maxWatchHistoryVideos, "the history is bounded");
}

void playlist(std::string_view json) {
  auto library = PlaylistLibrary::decode(json);
  if (!library) {
    return;
  }
  const auto encoded = PlaylistLibrary::encode(*library);
  fuzz::require(encoded.has_value(), "a decoded library encodes");
  const auto again = PlaylistLibrary::decode(*encoded);
  fuzz::require(again && *again == *library, "an encoded library decodes unchanged");
}

}  // namespace
}  // namespace orvel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvel::fuzz::silenceLogs();
  const std::string_view json(reinterpret_cast<const char*>(data), size);
  orvel::history(json);
  orvel::playlist(json);
  return 0;
}
