// SPDX-License-Identifier: GPL-3.0-or-later

#include "chrome/WindowGeometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace orvel {

namespace WindowGeometry {

std::optional<std::size_t> bestScreen(const std::vector<Screen>& screens, const Rect& rect) {
  if (screens.empty()) {
    return std::nullopt;
  }
  std::size_t best = 0;
  double bestArea = -1;
  for (std::size_t index = 0; index < screens.size(); ++index) {
    const double area = screens[index].visibleFrame.intersectionArea(rect);
    if (area > bestArea) {
      best = index;
      bestArea = area;
    }
  }
  return bestArea > 0 ? best : 0;
}

Rect allowedArea(const Screen& screen, double margin) {
  const Rect& frame = screen.visibleFrame;
  const double inset = std::max(margin, 0.0);
  const double dx = std::min(inset, frame.width / 4);
  const double dy = std::min(inset, frame.height / 4);
  return Rect{frame.x + dx, frame.y + dy, frame.width - 2 * dx, frame.height - 2 * dy};
}

Rect clampToVisibleScreen(const Rect& frame, const Rect& area, bool centerIfOffscreen) {
  Rect result{frame.x, frame.y, std::min(frame.width, area.width),
              std::min(frame.height, area.height)};
  if (centerIfOffscreen && !result.intersects(area)) {
    result.x = area.midX() - result.width / 2;
    result.y = area.midY() - result.height / 2;
  }
  result.x = std::min(std::max(result.x, area.minX()), area.maxX() - result.width);
  result.y = std::min(std::max(result.y, area.minY()), area.maxY() - result.height);
  return result;
}

Rect centerOnVisibleScreen(const Rect& frame, const Rect& area) {
  const double width = std::min(frame.width, area.width);
  const double height = std::min(frame.height, area.height);
  return Rect{area.midX() - width / 2, area.midY() - height / 2, width, height};
}

namespace {

// With a point whatever the user's locale, as readNumber reads it.
std::string number(double value) {
  char buffer[32];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return std::string(buffer, written.ptr);
}

// Reads one number after optional spaces, advancing the position.
bool readNumber(std::string_view text, std::size_t& position, double& value) {
  while (position < text.size() && text[position] == ' ') {
    ++position;
  }
  const char* begin = text.data() + position;
  auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  if (error != std::errc() || !std::isfinite(value)) {
    return false;
  }
  position += static_cast<std::size_t>(end - begin);
  return true;
}

bool expect(std::string_view text, std::size_t& position, char wanted) {
  while (position < text.size() && text[position] == ' ') {
    ++position;
  }
  if (position >= text.size() || text[position] != wanted) {
    return false;
  }
  ++position;
  return true;
}

}  // namespace

std::string rectangleString(const Rect& rect) {
  return "{{" + number(rect.x) + ", " + number(rect.y) + "}, {" + number(rect.width) + ", " +
         number(rect.height) + "}}";
}

std::optional<Rect> parseRectangle(std::string_view text) {
  Rect rect;
  std::size_t at = 0;
  if (expect(text, at, '{') && expect(text, at, '{') && readNumber(text, at, rect.x) &&
      expect(text, at, ',') && readNumber(text, at, rect.y) && expect(text, at, '}') &&
      expect(text, at, ',') && expect(text, at, '{') && readNumber(text, at, rect.width) &&
      expect(text, at, ',') && readNumber(text, at, rect.height) && expect(text, at, '}') &&
      expect(text, at, '}')) {
    while (at < text.size() && text[at] == ' ') {
      ++at;
    }
    if (at == text.size()) {
      return rect;
    }
  }
  return std::nullopt;
}

double lockedHeight(double width) {
  return std::round(width * 9.0 / 16.0);
}

}  // namespace WindowGeometry
}  // namespace orvel
