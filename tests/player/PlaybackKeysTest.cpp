// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlaybackKeys.h"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using namespace PlaybackKeys;

TEST(PlaybackKeys, OnlyUnmodifiedPlaybackKeysInAnActiveWindowBelongToPlayback) {
  EXPECT_EQ(classify({.keyCode = kSpace}), Verdict::handle);
  EXPECT_EQ(classify({.keyCode = kLeftArrow}), Verdict::handle);
  EXPECT_EQ(classify({.keyCode = kRightArrow, .isAutoRepeat = true}), Verdict::handle);
  // A held Space toggles once: its repeats are swallowed.
  EXPECT_EQ(classify({.keyCode = kSpace, .isAutoRepeat = true}), Verdict::swallow);

  EXPECT_EQ(classify({.keyCode = kSpace, .hasModifiers = true}), Verdict::passThrough);
  EXPECT_EQ(classify({.keyCode = kLeftArrow, .windowIsActive = false}), Verdict::passThrough);
  EXPECT_EQ(classify({.keyCode = kSpace, .modalShown = true}), Verdict::passThrough);
  EXPECT_EQ(classify({.keyCode = kRightArrow, .focusTakesKeys = true}), Verdict::passThrough);
  EXPECT_EQ(classify({.keyCode = std::nullopt}), Verdict::passThrough);
  // The speed's keys: Backspace in a text field is the field's.
  for (const auto key : {kBracketLeft, kBracketRight, kBackspace}) {
    EXPECT_EQ(classify({.keyCode = key, .isAutoRepeat = true}), Verdict::handle);
    EXPECT_EQ(classify({.keyCode = key, .focusTakesKeys = true}), Verdict::passThrough);
  }
  EXPECT_EQ(classify({.keyCode = 36}), Verdict::passThrough);
}

TEST(PlaybackKeys, OnlyAKeyStillHeldDownRepeats) {
  RepeatTracker keys;
  EXPECT_FALSE(keys.pressed(kSpace));
  EXPECT_TRUE(keys.pressed(kSpace));
  keys.released(kSpace);
  // Pressing Space again after letting go toggles again.
  EXPECT_FALSE(keys.pressed(kSpace));
  EXPECT_FALSE(keys.pressed(kLeftArrow));
  keys.released(kSpace);
  EXPECT_TRUE(keys.pressed(kLeftArrow));
}

TEST(DroppedURLString, TheFirstResolvableItemWinsFilesFirst) {
  const auto& registry = StreamingProviderRegistry::shared();
  DropPayload several{
      .fileURLs = {"file:///home/a/notes.txt", "file:///home/a/film.mkv", "file:///home/a/b.webm"},
      .urls = {"https://youtu.be/dQw4w9WgXcQ"},
      .texts = {}};
  EXPECT_EQ(droppedURLString(several, registry), "file:///home/a/film.mkv");

  DropPayload text{.fileURLs = {}, .urls = {}, .texts = {"  https://youtu.be/dQw4w9WgXcQ \n"}};
  EXPECT_EQ(droppedURLString(text, registry), "https://youtu.be/dQw4w9WgXcQ");

  DropPayload words{.fileURLs = {},
                    .urls = {"https://example.com/page"},
                    .texts = {"hello there", "https://youtu.be/dQw4w9WgXcQ"}};
  EXPECT_FALSE(droppedURLString(words, registry));
  EXPECT_FALSE(droppedURLString(DropPayload{}, registry));
}

}  // namespace
}  // namespace orvel
