#include <gtest/gtest.h>

#include <optional>

#include "platform/WidgetHelpers.h"

namespace orvel {
namespace {

void runPendingTurns() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

// A window closed while its later work is queued must not be reached by that work.
TEST(LaterTurns, WorkRunsOnALaterTurnAndIsDroppedOnceItsOwnerHasGone) {
  int ran = 0;
  std::optional<LaterTurns> owner{std::in_place};
  owner->post([&] { ++ran; });
  EXPECT_EQ(ran, 0);
  runPendingTurns();
  EXPECT_EQ(ran, 1);

  owner->post([&] { ++ran; });
  owner.reset();
  runPendingTurns();
  EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace orvel
