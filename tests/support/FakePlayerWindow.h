// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <vector>

#include "player/PlayerWindow.h"

namespace orvel {

// A window on imaginary screens; records what its behaviour did to it.
class FakePlayerWindow final : public PlayerWindow {
 public:
  bool isUsable() const override { return usable; }
  Rect frame() const override { return currentFrame; }
  void setFrame(const Rect& frame) override {
    framesSet.push_back(frame);
    if (appliesFramesLate) {
      return;
    }
    currentFrame = frame;
    ++frameChanges;
    if (frameObserver && reportsMoves) {
      frameObserver(frame);
    }
  }
  std::vector<Screen> screens() const override { return screenList; }
  void setKeepAbove(bool above) override { levels.push_back(above); }
  void setSticky(bool value) override { sticky = value; }
  void present() override { ++presents; }
  bool hasAttachedSheet() const override { return sheet; }
  bool isMouseButtonPressed() const override { return buttonPressed; }
  void setReceivesMouseEvents(bool receives) override { receivesMouseEvents = receives; }
  void setFrameObserver(std::function<void(const Rect&)> observer) override {
    frameObserver = std::move(observer);
  }
  void setAspectRatioLocked(bool locked) override { aspectLocked = locked; }
  void setContentOpacity(double opacity) override { contentOpacity = opacity; }
  std::optional<Pointer> pointer() const override {
    if (!screenPointer) {
      return std::nullopt;
    }
    const Point location{screenPointer->x - currentFrame.minX(),
                         screenPointer->y - currentFrame.minY()};
    return Pointer{location,
                   location.x >= 0 && location.x < currentFrame.width && location.y >= 0 &&
                       location.y < currentFrame.height,
                   buttonPressed};
  }

  bool usable = true;
  // Window systems may not report moves made while the window is being shown.
  bool reportsMoves = true;
  // An X server applies a move after the request returns: reading back gives the old frame.
  bool appliesFramesLate = false;
  std::vector<Rect> framesSet;
  Rect currentFrame{0, 0, 200, 200};
  int frameChanges = 0;
  std::vector<Screen> screenList{Screen{Rect{0, 0, 1440, 900}}};
  std::vector<bool> levels;
  bool sticky = false;
  int presents = 0;
  bool sheet = false;
  bool buttonPressed = false;
  bool receivesMouseEvents = false;
  std::function<void(const Rect&)> frameObserver;
  bool aspectLocked = false;
  double contentOpacity = 1;
  // Where the pointer is on the screen.
  std::optional<Point> screenPointer;
};

}  // namespace orvel
