// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlaybackKeys.h"

#include "core/Text.h"
#include "core/Url.h"
#include "player/SubtitleFile.h"

namespace orvel {

PlaybackKeys::Verdict PlaybackKeys::classify(const KeyPress& press) {
  if (!press.keyCode || !press.windowIsActive || press.modalShown || press.focusTakesKeys ||
      press.hasModifiers) {
    return Verdict::passThrough;
  }
  switch (*press.keyCode) {
    case kSpace:
    case kLeftArrow:
    case kRightArrow:
    case kBracketLeft:
    case kBracketRight:
    case kBackspace:
    case kPageUp:
    case kPageDown:
      break;
    default:
      return Verdict::passThrough;
  }
  if (*press.keyCode == kSpace && press.isAutoRepeat) {
    return Verdict::swallow;
  }
  return Verdict::handle;
}

std::optional<std::string> droppedSubtitlePath(const DropPayload& payload) {
  for (const std::string& link : payload.fileURLs) {
    if (auto url = Url::parse(link);
        url && url->isFileURL() && SubtitleFile::hasSubtitleExtension(url->path())) {
      return url->path();
    }
  }
  return std::nullopt;
}

std::optional<std::string> droppedURLString(const DropPayload& payload,
                                            const StreamingProviderRegistry& registry) {
  for (const auto* list : {&payload.fileURLs, &payload.urls}) {
    for (const std::string& url : *list) {
      if (registry.resolve(url)) {
        return url;
      }
    }
  }
  if (!payload.texts.empty()) {
    std::string text(trimmedWhitespace(payload.texts.front()));
    if (!text.empty() && registry.resolve(text)) {
      return text;
    }
  }
  return std::nullopt;
}

}  // namespace orvel
