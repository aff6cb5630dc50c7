// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <string_view>

namespace orvel::MediaHosts {

// YouTube's main web domain, its privacy-enhanced embed domain and its short-link domain, in the
// order links are tested against them.
inline constexpr std::array<std::string_view, 3> kYouTubeHosts = {
    "youtube.com", "youtube-nocookie.com", "youtu.be"};
inline constexpr std::string_view kYouTubeShortLinkHost = "youtu.be";
inline constexpr std::string_view kYouTubeCanonicalHost = "www.youtube.com";
inline constexpr std::string_view kYouTubeThumbnailHost = "i.ytimg.com";

inline constexpr std::string_view kDisneyPlusDomain = "disneyplus.com";
inline constexpr std::string_view kDisneyPlusOrigin = "https://www.disneyplus.com";

}  // namespace orvel::MediaHosts
