// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerWindowBehaviour.h"

#include <gtest/gtest.h>

#include "support/FakePlayerWindow.h"
#include "support/ManualMainQueue.h"
#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

struct WindowFixture : ::testing::Test {
  ManualMainQueue queue;
  MemoryDefaults defaults;
  NotificationCenter center;
  std::optional<AppSettings> settings;
  FakePlayerWindow window;
  std::vector<std::string> messages;
  std::optional<PlayerWindowBehaviour> behaviour;

  PlayerWindowBehaviour& start() {
    settings.emplace(defaults, center);
    behaviour.emplace(queue, defaults, *settings, center, window,
                      [this](const std::string& text, double) { messages.push_back(text); });
    return *behaviour;
  }

  std::optional<std::string> storedFrame() const {
    auto found = defaults.values().find(PlayerWindowBehaviour::kFrameKey);
    return found == defaults.values().end() ? std::nullopt
                                            : std::optional(*found->second.get<std::string>());
  }
};

TEST_F(WindowFixture, TheFirstWindowIs1024By576CentredAndRemembered) {
  start().configureWindow();
  queue.runUntilIdle();
  EXPECT_EQ(window.currentFrame, (Rect{208, 162, 1024, 576}));
  EXPECT_EQ(storedFrame(), "{{208, 162}, {1024, 576}}");
  EXPECT_TRUE(window.sticky);
  EXPECT_EQ(window.levels, std::vector<bool>{true});

  window.setFrame(Rect{300, 200, 800, 450});
  EXPECT_EQ(storedFrame(), "{{300, 200}, {800, 450}}");
}

TEST_F(WindowFixture, AFrameIsRememberedEvenWhenTheWindowSystemReportsNothing) {
  window.currentFrame = Rect{640, 400, 1, 1};
  window.reportsMoves = false;
  start().configureWindow();
  EXPECT_EQ(storedFrame(), "{{208, 162}, {1024, 576}}");

  // The frame the window closes with is kept, moved or not.
  window.currentFrame = Rect{50, 60, 700, 400};
  behaviour->windowWillClose();
  EXPECT_EQ(storedFrame(), "{{50, 60}, {700, 400}}");

  // A single point is never stored as the frame.
  window.reportsMoves = true;
  window.setFrame(Rect{640, 400, 1, 1});
  EXPECT_EQ(storedFrame(), "{{50, 60}, {700, 400}}");
}

TEST_F(WindowFixture, AFrameTheWindowSystemHasNotAppliedYetIsNotClampedFromTheOldOne) {
  window.currentFrame = Rect{0, 0, 1024, 576};
  window.appliesFramesLate = true;
  start().configureWindow();
  ASSERT_FALSE(window.framesSet.empty());
  EXPECT_EQ(window.framesSet.back(), (Rect{208, 162, 1024, 576}));
  EXPECT_EQ(storedFrame(), "{{208, 162}, {1024, 576}}");
}

TEST_F(WindowFixture, AStoredFrameIsRestoredInsideTheScreen) {
  defaults.set("settings.lockAspectRatio16x9Enabled", false);
  defaults.set(PlayerWindowBehaviour::kFrameKey, std::string("{{1300, 100}, {640, 360}}"));
  start().configureWindow();
  EXPECT_EQ(window.currentFrame, (Rect{788, 100, 640, 360}));

  window.currentFrame = Rect{0, 0, 200, 200};
  defaults.set(PlayerWindowBehaviour::kFrameKey, std::string("{{10, 10}, {0, 300}}"));
  start().configureWindow();
  EXPECT_EQ(window.currentFrame, (Rect{12, 12, 200, 200}));
}

TEST_F(WindowFixture, SetUpWaitsForTheWindowAboutHalfASecond) {
  window.usable = false;
  start().configureWindow();
  queue.advance(0.3);
  EXPECT_EQ(window.presents, 0);
  window.usable = true;
  queue.advance(0.06);
  EXPECT_EQ(window.presents, 1);

  window.usable = false;
  window.presents = 0;
  behaviour->configureWindow();
  queue.advance(5);
  EXPECT_EQ(window.presents, 0);
  EXPECT_EQ(queue.pendingCount(), 0u);
}

TEST_F(WindowFixture, OverlappingOverlaysKeepTheNormalLevelUntilBothClose) {
  start().configureWindow();
  queue.runUntilIdle();
  behaviour->suspendAlwaysOnTopForOverlay();
  behaviour->suspendAlwaysOnTopForOverlay();
  EXPECT_FALSE(behaviour->isKeptAbove());
  behaviour->restoreAlwaysOnTopAfterOverlay();
  queue.runUntilIdle();
  EXPECT_FALSE(behaviour->isKeptAbove());
  behaviour->restoreAlwaysOnTopAfterOverlay();
  behaviour->restoreAlwaysOnTopAfterOverlay();
  queue.runUntilIdle();
  EXPECT_TRUE(behaviour->isKeptAbove());
  EXPECT_EQ(behaviour->overlayPresentationCount(), 0);
  EXPECT_EQ(window.levels, (std::vector<bool>{true, false, true}));
}

TEST_F(WindowFixture, TheSwitchIsFollowedAndAnnounced) {
  start().configureWindow();
  queue.runUntilIdle();
  settings->setEnabled(AppSettings::Switch::alwaysOnTop, false);
  queue.runUntilIdle();
  EXPECT_FALSE(behaviour->isKeptAbove());
  EXPECT_EQ(messages, std::vector<std::string>{"Always on top disabled"});

  // Without a window only the wish changes.
  window.usable = false;
  behaviour->setAlwaysOnTop(true);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(behaviour->isAlwaysOnTop());
}

TEST_F(WindowFixture, TheLockMakesTheWindow16By9KeepingItsTopAndFollowsEveryResize) {
  defaults.set("settings.lockAspectRatio16x9Enabled", false);
  defaults.set(PlayerWindowBehaviour::kFrameKey, "{{100, 50}, {1000, 1000}}");
  window.screenList = {Screen{Rect{0, 0, 2560, 1600}}};
  start().configureWindow();
  queue.runUntilIdle();
  EXPECT_FALSE(window.aspectLocked);

  settings->setEnabled(AppSettings::Switch::lockAspectRatio16x9, true);
  queue.runUntilIdle();
  EXPECT_TRUE(window.aspectLocked);
  EXPECT_EQ(window.currentFrame, (Rect{100, 50, 1000, 563}));
  EXPECT_EQ(storedFrame(), "{{100, 50}, {1000, 563}}");
  EXPECT_EQ(messages.back(), "16:9 resize lock enabled");

  // The window manager gave another size: it ends at 16:9, and only the end is corrected.
  const auto before = window.framesSet.size();
  window.setFrame(Rect{100, 50, 800, 700});
  EXPECT_EQ(window.currentFrame, (Rect{100, 50, 800, 450}));
  EXPECT_EQ(window.framesSet.size(), before + 2);

  settings->setEnabled(AppSettings::Switch::lockAspectRatio16x9, false);
  queue.runUntilIdle();
  window.setFrame(Rect{100, 50, 800, 700});
  EXPECT_EQ(window.currentFrame, (Rect{100, 50, 800, 700}));
  EXPECT_FALSE(window.aspectLocked);
  EXPECT_EQ(messages.back(), "16:9 resize lock disabled");
}

TEST_F(WindowFixture, FillModeGoesToThePageWithItsMessage) {
  std::vector<std::string> scripts;
  start().setPageScriptRunner([&](const std::string& script) { scripts.push_back(script); });
  behaviour->configureWindow();
  settings->setEnabled(AppSettings::Switch::fillPlayerWindow, false);
  queue.runUntilIdle();
  EXPECT_EQ(scripts,
            std::vector<std::string>{
                "window.setNativeFillPlayerWindow && window.setNativeFillPlayerWindow(false);"});
  EXPECT_EQ(messages.back(), "Fill player window disabled");
  EXPECT_FALSE(behaviour->isFillPlayerWindowEnabled());
}

TEST_F(WindowFixture, ActivationKeepsTheWindowOnScreenAndNewMonitorsCentreALostOne) {
  start().configureWindow();
  queue.runUntilIdle();
  window.setFrame(Rect{1400, 100, 800, 450});  // half off the right edge
  behaviour->windowDidBecomeActive();
  EXPECT_EQ(window.currentFrame.maxX(), 1440 - 12);
  window.setFrame(Rect{5000, 3000, 800, 450});  // its monitor is gone
  behaviour->screensDidChange();
  queue.runUntilIdle();
  EXPECT_EQ(window.currentFrame, (Rect{320, 225, 800, 450}));
}

}  // namespace
}  // namespace orvel
