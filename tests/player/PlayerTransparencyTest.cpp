// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerTransparency.h"

#include <gtest/gtest.h>

#include "support/FakePlayerWindow.h"
#include "support/ManualMainQueue.h"
#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

struct TransparencyFixture : ::testing::Test {
  ManualMainQueue queue;
  MemoryDefaults defaults;
  NotificationCenter center;
  std::optional<AppSettings> settings;
  FakePlayerWindow window;
  std::vector<std::string> messages;
  std::vector<std::string> scripts;
  std::vector<std::string> announced;
  std::vector<ObserverToken> tokens;
  bool dropTargeted = false;
  bool sourceErrorShown = false;
  std::optional<std::string> mediaID = std::string("webm:file:///a.webm");
  std::optional<PlayerTransparency> transparency;

  PlayerTransparency& start() {
    settings.emplace(defaults, center);
    for (const char* name : {"setEightyTransparency", "setHoverTransparency"}) {
      tokens.push_back(center.addObserver(name, [this, name](const Notification& note) {
        announced.push_back(std::string(name) + (*note.value<bool>("enabled") ? " on" : " off"));
      }));
    }
    window.currentFrame = Rect{100, 100, 640, 360};
    window.receivesMouseEvents = true;
    transparency.emplace(
        queue, *settings, center, window,
        [this](const std::string& text, double) { messages.push_back(text); },
        PlayerTransparency::Hooks{
            .evaluatePageScript = [this](const std::string& script) { scripts.push_back(script); },
            .isDropTargeted = [this] { return dropTargeted; },
            .isSourceErrorShown = [this] { return sourceErrorShown; },
            .currentMediaID = [this] { return mediaID; },
            .changed = nullptr,
        });
    return *transparency;
  }

  void pointAt(double x, double y) {
    window.screenPointer = Point{x, y};
    queue.advance(PlayerTransparency::kHoverPollInterval);
  }
};

TEST_F(TransparencyFixture, EightyPercentEndsHoverModeAndTheToggleEndsBoth) {
  start();
  settings->setEnabled(AppSettings::Switch::hoverTransparency, true);
  queue.runUntilIdle();
  ASSERT_TRUE(transparency->isTransparent());
  announced.clear();
  messages.clear();

  settings->setEnabled(AppSettings::Switch::eightyTransparency, true);
  queue.runUntilIdle();
  EXPECT_FALSE(transparency->isTransparent());
  EXPECT_FALSE(settings->hoverTransparencyEnabled());
  EXPECT_EQ(announced,
            (std::vector<std::string>{"setEightyTransparency on", "setHoverTransparency off"}));
  EXPECT_EQ(window.contentOpacity, 0.2);
  EXPECT_TRUE(window.receivesMouseEvents);
  EXPECT_EQ(messages.back(), "Transparency 80% enabled");
  EXPECT_EQ(
      scripts.back(),
      "window.setNativeTransparentPlayerMode && window.setNativeTransparentPlayerMode(true);");

  // From 80 % the toggle dims to 25 %, and 80 % is off and announced.
  announced.clear();
  transparency->toggleOpacity();
  queue.runUntilIdle();
  EXPECT_EQ(announced, (std::vector<std::string>{"setEightyTransparency off"}));
  EXPECT_FALSE(settings->eightyTransparencyEnabled());
  EXPECT_TRUE(transparency->isDimmed());
  EXPECT_EQ(window.contentOpacity, 0.25);
  EXPECT_EQ(messages.back(), "Opacity 25%");
  transparency->toggleOpacity();
  queue.runUntilIdle();
  EXPECT_EQ(window.contentOpacity, 1.0);
  EXPECT_EQ(messages.back(), "Opacity 100%");
  EXPECT_EQ(
      scripts.back(),
      "window.setNativeTransparentPlayerMode && window.setNativeTransparentPlayerMode(false);");
}

TEST_F(TransparencyFixture, HoverModeVanishesBelowTheTopStripAndComesBackWhenThePointerLeaves) {
  start().setHoverTransparency(true);
  queue.runUntilIdle();
  EXPECT_EQ(messages.back(), "Hover mode enabled");

  pointAt(300, 100 + 27);  // in the top strip
  EXPECT_EQ(window.contentOpacity, 1.0);
  EXPECT_TRUE(window.receivesMouseEvents);
  EXPECT_TRUE(transparency->isHovering());

  pointAt(300, 100 + 28);
  EXPECT_EQ(window.contentOpacity, 0.0);
  EXPECT_FALSE(window.receivesMouseEvents);

  pointAt(90, 200);  // left of the window
  EXPECT_EQ(window.contentOpacity, 1.0);
  EXPECT_TRUE(window.receivesMouseEvents);
  EXPECT_FALSE(transparency->isHovering());

  transparency->setHoverTransparency(false);
  queue.runUntilIdle();
  pointAt(300, 300);
  EXPECT_EQ(window.contentOpacity, 1.0);
  EXPECT_EQ(messages.back(), "Hover mode disabled");
}

TEST_F(TransparencyFixture, NothingVanishesWhileAButtonIsHeldADropHoversAnAlertOrADialogIsUp) {
  start().setHoverTransparency(true);
  queue.runUntilIdle();
  for (bool* blocker : {&window.buttonPressed, &dropTargeted, &sourceErrorShown, &window.sheet}) {
    *blocker = true;
    pointAt(300, 300);
    EXPECT_EQ(window.contentOpacity, 1.0);
    EXPECT_TRUE(window.receivesMouseEvents);
    *blocker = false;
  }
  pointAt(300, 301);
  EXPECT_EQ(window.contentOpacity, 0.0);
  // A held button freezes whatever state there is.
  window.buttonPressed = true;
  pointAt(10, 10);
  EXPECT_EQ(window.contentOpacity, 0.0);
}

// A failed source's alert is read over a solid picture; once it closes, the mode the user chose
// is back.
TEST_F(TransparencyFixture, HeldSolidTheContentIsOpaqueAndClickableAndTheModeComesBackAfter) {
  start().setEightyTransparency(true);
  queue.runUntilIdle();
  transparency->holdContentSolid(true);
  EXPECT_EQ(window.contentOpacity, 1.0);
  EXPECT_TRUE(window.receivesMouseEvents);
  EXPECT_EQ(scripts.back(),
            "window.setNativeTransparentPlayerMode && "
            "window.setNativeTransparentPlayerMode(false);");
  transparency->holdContentSolid(false);
  EXPECT_EQ(window.contentOpacity, 0.2);

  transparency->toggleOpacity();
  queue.runUntilIdle();
  transparency->holdContentSolid(true);
  EXPECT_EQ(window.contentOpacity, 1.0);
  transparency->holdContentSolid(false);
  EXPECT_EQ(window.contentOpacity, 0.25);
}

TEST_F(TransparencyFixture, SwitchesWithoutAWindowChangeOnlyTheStateAndSayNothing) {
  window.usable = false;
  start().setEightyTransparency(true);
  transparency->setHoverTransparency(true);
  queue.runUntilIdle();
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(transparency->isTransparent());
  EXPECT_EQ(window.contentOpacity, 1.0);
}

TEST(PlayerTransparencyBars, ShowWhileHoveringScrubbingOrNotPlayingExceptOnDisneyPlus) {
  using T = PlayerTransparency;
  const std::optional<std::string> webm = "webm:file:///a.webm";
  const std::optional<std::string> disney = "disneyplus:/video/1";
  EXPECT_FALSE(T::barsVisible(false, false, 1, webm));
  EXPECT_TRUE(T::barsVisible(true, false, 1, webm));
  EXPECT_TRUE(T::barsVisible(false, true, 1, webm));
  EXPECT_TRUE(T::barsVisible(false, false, 2, webm));
  EXPECT_TRUE(T::barsVisible(false, false, -1, std::nullopt));
  EXPECT_FALSE(T::barsVisible(false, false, 2, disney));
  EXPECT_TRUE(T::barsVisible(true, false, 2, disney));
}

}  // namespace
}  // namespace orvel
