// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Geometry.h"

namespace orvel {

// Keeping windows on a screen: the helpers every player window uses with a margin of 12 points.
namespace WindowGeometry {

inline constexpr double kScreenMargin = 12;

// The screen whose visible frame overlaps the rectangle most (the earlier one on a tie), or the
// main screen (the first) when none overlaps; none without screens.
std::optional<std::size_t> bestScreen(const std::vector<Screen>& screens, const Rect& rect);

// The part of the screen a window may cover: the visible frame inset by the margin, at most a
// quarter of the width and of the height.
Rect allowedArea(const Screen& screen, double margin);

// The frame moved and shrunk into the allowed area; a frame off every screen is centred when
// asked, otherwise pushed to the nearest edge.
Rect clampToVisibleScreen(const Rect& frame, const Rect& area, bool centerIfOffscreen);
Rect centerOnVisibleScreen(const Rect& frame, const Rect& area);

// The rectangle notation frames are stored in: "{{x, y}, {w, h}}".
std::string rectangleString(const Rect& rect);
// Reads the notation back; none for anything else.
std::optional<Rect> parseRectangle(std::string_view text);

// The content height that makes a width 16:9, rounded to whole points with halves away from
// zero.
double lockedHeight(double width);

}  // namespace WindowGeometry
}  // namespace orvel
