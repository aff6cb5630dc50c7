// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/NotificationCenter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel {
namespace {

TEST(NotificationCenterTest, DeliversByNameWithUserInfo) {
  NotificationCenter center;
  std::vector<std::string> seen;
  ObserverToken played = center.addObserver("played", [&](const Notification& notification) {
    seen.push_back("played");
    ASSERT_NE(notification.value<std::string>("mediaID"), nullptr);
    EXPECT_EQ(*notification.value<std::string>("mediaID"), "abc");
    EXPECT_EQ(*notification.value<std::int64_t>("position"), -3);
    EXPECT_EQ(notification.value<double>("position"), nullptr);
    EXPECT_EQ(notification.value<bool>("missing"), nullptr);
  });
  ObserverToken paused =
      center.addObserver("paused", [&](const Notification&) { seen.push_back("paused"); });

  center.post("played", {{"mediaID", std::string("abc")}, {"position", std::int64_t{-3}}});
  center.post("unheard");
  EXPECT_EQ(seen, (std::vector<std::string>{"played"}));
}

TEST(NotificationCenterTest, TokensEndRegistrationWhenDroppedOrCancelled) {
  NotificationCenter center;
  int first = 0;
  int second = 0;
  ObserverToken kept = center.addObserver("tick", [&](const Notification&) { ++first; });
  {
    ObserverToken scoped = center.addObserver("tick", [&](const Notification&) { ++second; });
    center.post("tick");
  }
  center.post("tick");
  kept.cancel();
  kept.cancel();
  center.post("tick");
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 1);
}

TEST(NotificationCenterTest, ObserversDroppedDuringDeliveryAreNotCalledAfterwards) {
  NotificationCenter center;
  std::vector<std::string> calls;
  ObserverToken self;
  ObserverToken later;
  ObserverToken added;
  self = center.addObserver("tick", [&](const Notification&) {
    calls.push_back("self");
    self.cancel();
    later.cancel();
    // Joins from the next notification on.
    added = center.addObserver("tick", [&](const Notification&) { calls.push_back("added"); });
  });
  later = center.addObserver("tick", [&](const Notification&) { calls.push_back("later"); });

  center.post("tick");
  center.post("tick");
  EXPECT_EQ(calls, (std::vector<std::string>{"self", "added"}));
}

TEST(NotificationCenterTest, ObserverOwningAnotherTokenCanBeDropped) {
  NotificationCenter center;
  int calls = 0;
  auto inner = std::make_shared<ObserverToken>(
      center.addObserver("tick", [&](const Notification&) { ++calls; }));
  ObserverToken outer = center.addObserver("tock", [inner](const Notification&) {});
  inner.reset();
  // Dropping the outer registration destroys its callback, which ends the inner one.
  outer.cancel();
  center.post("tick");
  EXPECT_EQ(calls, 0);
}

TEST(NotificationCenterTest, TokenMayOutliveTheCenter) {
  auto center = std::make_unique<NotificationCenter>();
  int calls = 0;
  ObserverToken token = center->addObserver("tick", [&](const Notification&) { ++calls; });
  center->post("tick");
  center.reset();
  token.cancel();
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace orvel
