// SPDX-License-Identifier: GPL-3.0-or-later

// M3U import: any text, any line breaks, any encoding. Every entry taken must be a link that
// plays, and the export of what was taken must be writable.
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistLinkResolver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using orvel::PlaylistLibrary;
  orvel::fuzz::silenceLogs();
  static const orvel::Url base = *orvel::Url::fileURL("/home/user/Playlists/");
  const auto& registry = orvel::StreamingProviderRegistry::shared();
  const auto items =
      PlaylistLibrary::parseM3U(std::string_view(reinterpret_cast<const char*>(data), size), base);
  for (const orvel::PlaylistNode& item : items) {
    orvel::fuzz::require(!item.isFolder() && item.url && registry.resolve(*item.url),
                         "every imported entry is a link that plays");
  }
  // A resolver of its own: the shared one remembers answers from one input to the next.
  const orvel::PlaylistLinkResolver resolver(registry);
  (void)PlaylistLibrary::m3u(items, resolver);
  return 0;
}
