// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/Translation.h"

#include <gtest/gtest.h>

namespace orvel {
namespace {

TEST(Translation, FormattedPutsValuesInOrderOrWhereATranslationMovedThem) {
  EXPECT_EQ(formatted("Move %s to a folder", {"Trip"}), "Move Trip to a folder");
  EXPECT_EQ(formatted("%s of %s", {"3", "10"}), "3 of 10");
  EXPECT_EQ(formatted("%2$s, then %1$s", {"first", "second"}), "second, then first");
  EXPECT_EQ(formatted("Importing… %s %%", {"40"}), "Importing… 40 %");
  // A value is never read as a pattern, and what has no value stays as written.
  EXPECT_EQ(formatted("%s and %s", {"%s"}), "%s and %s");
  EXPECT_EQ(formatted("%3$s %d %", {"a"}), "%3$s %d %");
  // Without a catalogue the English text is the text.
  EXPECT_EQ(translated("Add URL"), "Add URL");
}

}  // namespace
}  // namespace orvel
