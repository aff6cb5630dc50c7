// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/StreamingProviderRegistry.h"

namespace orvel {

// Playback keys of the player window, under the key codes the session speaks.
namespace PlaybackKeys {

inline constexpr std::uint16_t kSpace = 49;
inline constexpr std::uint16_t kLeftArrow = 123;
inline constexpr std::uint16_t kRightArrow = 124;
// Slower, faster and back to 1×, as mpv has them.
inline constexpr std::uint16_t kBracketLeft = 33;
inline constexpr std::uint16_t kBracketRight = 30;
inline constexpr std::uint16_t kBackspace = 51;
// The previous and the next chapter.
inline constexpr std::uint16_t kPageUp = 116;
inline constexpr std::uint16_t kPageDown = 121;

// What the window knows about one key press.
struct KeyPress {
  // The playback key code, or none for any other key.
  std::optional<std::uint16_t> keyCode;
  bool isAutoRepeat = false;
  // Shift, Control, Alt or Super held.
  bool hasModifiers = false;
  bool windowIsActive = true;
  // A dialog of the window, or any modal window of the program, is up.
  bool modalShown = false;
  // The focused widget takes these keys itself: a text field or a slider.
  bool focusTakesKeys = false;
};

enum class Verdict { passThrough, swallow, handle };

// Tells a key held down (the window system repeats its press) from a new press: a press of the
// key already down, with no release between, is a repeat.
class RepeatTracker {
 public:
  bool pressed(unsigned key) {
    const bool repeat = held_ == key;
    held_ = key;
    return repeat;
  }
  void released(unsigned key) {
    if (held_ == key) {
      held_.reset();
    }
  }

 private:
  std::optional<unsigned> held_;
};

// Space, Left, Right and the speed keys belong to playback only when nothing else in the window
// wants them; a held Space toggles once.
Verdict classify(const KeyPress& press);

}  // namespace PlaybackKeys

// What a drag carries, in the order it is tried: file URLs, URLs, then plain text.
struct DropPayload {
  std::vector<std::string> fileURLs;
  std::vector<std::string> urls;
  std::vector<std::string> texts;
};

// The first dropped item that resolves to media, as the text to open; none when nothing does.
std::optional<std::string> droppedURLString(const DropPayload& payload,
                                            const StreamingProviderRegistry& registry);
// The path of the first dropped local file named as subtitles; none when there is none.
std::optional<std::string> droppedSubtitlePath(const DropPayload& payload);

}  // namespace orvel
