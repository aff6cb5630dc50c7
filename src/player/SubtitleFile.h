// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvel::SubtitleFile {

// The subtitle files the player shows: SubRip, Advanced SubStation (and its older form) and
// WebVTT, by their extensions in any case.
bool hasSubtitleExtension(std::string_view path);

// No subtitles of a feature film come near this; a larger file is refused unread.
inline constexpr std::size_t kLargest = 10 * 1024 * 1024;

// Why the file cannot be shown as subtitles, in words for the status line; none when it may be:
// it must be a readable regular file, no larger than kLargest, and text (junk with NUL bytes is
// refused, a file in UTF-16 is not).
std::optional<std::string> problem(const std::string& path);

// What the status line says of a file that was read and held no subtitle the player can show.
std::string noSubtitlesMessage(const std::string& path);

}  // namespace orvel::SubtitleFile
