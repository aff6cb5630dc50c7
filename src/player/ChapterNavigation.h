// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <vector>

#include "native/MediaEnginePlayer.h"

namespace orvel::ChapterNavigation {

// Into a chapter this far, going back starts it over; nearer its start, going back goes to the
// chapter before, as players do.
inline constexpr double kRestartWindow = 2.0;

// Where the chapter after the one playing begins; none in the last.
std::optional<double> next(const std::vector<MediaChapter>& chapters, double time);
// Where the chapter playing begins, or the one before it near its start; none without chapters.
std::optional<double> previous(const std::vector<MediaChapter>& chapters, double time);
// The chapter playing at the time, or null before the first.
const MediaChapter* at(const std::vector<MediaChapter>& chapters, double time);

}  // namespace orvel::ChapterNavigation
