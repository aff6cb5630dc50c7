// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/ChapterNavigation.h"

namespace orvel::ChapterNavigation {
namespace {

// A position reported a hair before a chapter's start (a seek lands on the frame before) is in
// that chapter.
constexpr double kSlack = 0.5;

}  // namespace

std::optional<double> next(const std::vector<MediaChapter>& chapters, double time) {
  for (const MediaChapter& chapter : chapters) {
    if (chapter.start > time + kSlack) {
      return chapter.start;
    }
  }
  return std::nullopt;
}

std::optional<double> previous(const std::vector<MediaChapter>& chapters, double time) {
  const MediaChapter* current = at(chapters, time);
  if (!current) {
    return chapters.empty() ? std::nullopt : std::optional(0.0);
  }
  if (time - current->start >= kRestartWindow || current == &chapters.front()) {
    return current->start;
  }
  return (current - 1)->start;
}

const MediaChapter* at(const std::vector<MediaChapter>& chapters, double time) {
  const MediaChapter* found = nullptr;
  for (const MediaChapter& chapter : chapters) {
    if (chapter.start <= time + kSlack) {
      found = &chapter;
    }
  }
  return found;
}

}  // namespace orvel::ChapterNavigation
