// SPDX-License-Identifier: GPL-3.0-or-later

// Pasted, dropped and stored text on its way to a media source: the normalisation, the link
// detector and the providers behind the registry.
#include <string_view>

#include "core/Url.h"
#include "fuzz/FuzzSupport.h"
#include "media/LinkDetector.h"
#include "media/StreamingProviderRegistry.h"
#include "media/URLHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using orvel::fuzz::require;
  orvel::fuzz::silenceLogs();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto& registry = orvel::StreamingProviderRegistry::shared();

  if (const auto link = orvel::LinkDetector::firstLink(text)) {
    const auto url = orvel::Url::parse(*link);
    require(url && url->hasHost(), "a detected link is a URL with a host");
  }
  if (const auto normalized = orvel::StreamingProviderRegistry::normalizedInput(text)) {
    require(orvel::Url::parse(*normalized).has_value(), "normalized input is a URL");
  }
  // Start times come from the same bytes: none, zero, or a few seconds.
  const orvel::StartTime startTime =
      size == 0 || data[0] % 3 == 0 ? orvel::StartTime() : orvel::StartTime(data[0] % 7);
  if (const auto media = registry.resolve(text, startTime)) {
    const orvel::StreamingProvider* provider = registry.provider(media->mediaID);
    require(provider != nullptr && provider->id() == media->providerID,
            "a media ID leads back to its provider");
    (void)provider->playbackURL(media->mediaID, startTime);
    (void)provider->thumbnailURL(media->mediaID);
    (void)orvel::URLHelper::makeWatchURL(media->mediaID, startTime);
  }
  return 0;
}
